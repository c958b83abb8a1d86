// Test support of the cards and summaries: shopper and staff records made where the character headers can be
// seen (they cannot meet the toolkit's in one file).
#pragma once

#include <memory>
#include <vector>

#include "ui/game/popups_records.h"

// A shopper record of these figures; the test owns it.
std::shared_ptr<ShopperRecord> PopupTestShopper(const ShopperFigures& figures);
// Sets the needs of a test's shopper record.
void PopupTestShopperSetNeeds(ShopperRecord* record, uint16_t h, uint16_t e, uint16_t b);
// A staff member the test owns until it hands it to the object manager; record gets its record.
CFerroxObject* PopupTestStaffMember(StaffRecord** record);
// Sets a record's title, image, grade, base wage and jobs; its member stays.
void PopupTestSetStaff(StaffRecord* record, uint16_t title, uint16_t image, uint16_t grade, uint16_t wage,
                       uint16_t jobs);
// 1 while the member follows the pointer to a new post.
bool PopupTestIsMoving(CFerroxObject* member);
// A staff record of no member; the test owns it.
std::shared_ptr<StaffRecord> PopupTestStaffRecord(uint16_t title, uint16_t image);
