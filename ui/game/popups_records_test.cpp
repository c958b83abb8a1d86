// The cards' reading of the staff record, and the records the card and summary tests use.
#include <gtest/gtest.h>

#include "game/figures/shopper.h"
#include "game/figures/staff.h"
#include "ui/game/popups_testing_local.h"

std::shared_ptr<ShopperRecord> PopupTestShopper(const ShopperFigures& figures)
{
    auto record = std::make_shared<ShopperRecord>();
    *record = {};
    record->M = figures.money;
    record->visits = figures.bags;
    record->age = figures.age;
    record->starSign = figures.starSign;
    record->G = figures.sex;
    record->arrival = figures.arrival;
    record->H = figures.H;
    record->E = figures.E;
    record->B = figures.B;
    return record;
}

void PopupTestShopperSetNeeds(ShopperRecord* record, uint16_t h, uint16_t e, uint16_t b)
{
    record->H = h;
    record->E = e;
    record->B = b;
}

CFerroxObject* PopupTestStaffMember(StaffRecord** record)
{
    auto* member = new CStaff();
    *record = &member->GetRecord();
    return member;
}

void PopupTestSetStaff(StaffRecord* record, uint16_t title, uint16_t image, uint16_t grade, uint16_t wage,
                       uint16_t jobs)
{
    *record = {title, image, grade, wage, jobs, record->owner};
}

bool PopupTestIsMoving(CFerroxObject* member)
{
    auto* staff = dynamic_cast<CStaff*>(member);
    return staff && staff->m_moving;
}

std::shared_ptr<StaffRecord> PopupTestStaffRecord(uint16_t title, uint16_t image)
{
    return std::make_shared<StaffRecord>(StaffRecord{title, image, 0, 100, 0, nullptr});
}

namespace {

// The wage shown is the base wage plus 50 a level; a member hired without a level counts as level 0, not as
// the 65535 its grade holds.
TEST(PopupRecordsTest, StaffWageAddsTheLevelAndNoLevelCountsAsZero)
{
    struct Case {
        uint16_t grade;
        uint32_t level, wage;
    };
    for (const Case& c : {Case{0, 0, 300}, Case{2, 2, 400}, Case{kNoGrade, 0, 300}}) {
        const StaffRecord record = {3, 2, c.grade, 300, 7, nullptr};
        const StaffFigures figures = PopupStaffFigures(record);
        EXPECT_EQ(figures.level, c.level) << c.grade;
        EXPECT_EQ(figures.wage, c.wage) << c.grade;
        EXPECT_EQ(figures.title, 3);
        EXPECT_EQ(figures.image, 2);
        EXPECT_EQ(figures.jobs, 7);
    }
}

}  // namespace
