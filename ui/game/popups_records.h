// The cards' view of the shopper and staff records and their staff actions. The character headers cannot
// meet the toolkit's in one file, so the records are read here and handed over as plain figures.
#pragma once

#include <cstdint>

class CFerroxObject;
class CStaff;
struct ShopperRecord;
struct StaffRecord;

struct ShopperFigures {
    uint16_t money, bags, age, starSign, sex, arrival, H, E, B;
};

struct StaffFigures {
    uint16_t title, image;
    uint32_t level;  // a member hired without a level counts as level 0
    uint32_t wage;   // base wage plus the level's share
    uint16_t jobs;
};

ShopperFigures PopupShopperFigures(const ShopperRecord& record);
StaffFigures PopupStaffFigures(const StaffRecord& record);
CStaff* PopupStaffOfRecord(const StaffRecord& record);
// The staff member the object stands for, or null for any other object.
CStaff* PopupAsStaff(CFerroxObject* object);
// Removes the member through the game's object manager, queued until its next update.
void PopupFireStaff(CStaff* member);
// The member drops its task and follows the pointer until the player puts it down.
void PopupMoveStaff(CStaff* member);
