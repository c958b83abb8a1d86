// Reads shopper and staff records for the cards, and fires and moves staff members.
#include "ui/game/popups_records.h"

#include "game/figures/shopper.h"
#include "game/figures/spawner.h"
#include "game/figures/staff.h"
#include "game/world/objectmgr.h"

ShopperFigures PopupShopperFigures(const ShopperRecord& record)
{
    return {record.M,       record.visits, record.age, record.starSign, record.G,
            record.arrival, record.H,      record.E,   record.B};
}

StaffFigures PopupStaffFigures(const StaffRecord& record)
{
    const uint32_t level = record.grade == kNoGrade ? 0u : record.grade;
    return {record.value0, record.value1, level, record.wage + kWagePerGrade * level, record.jobs};
}

CStaff* PopupStaffOfRecord(const StaffRecord& record) { return record.owner; }

CStaff* PopupAsStaff(CFerroxObject* object) { return dynamic_cast<CStaff*>(object); }

void PopupFireStaff(CStaff* member)
{
    // Through the game's manager, which also takes the member off its class and floor lists.
    if (member)
        CDynamicObjectManager::Instance()->RemoveObject(member, 0);
}

void PopupMoveStaff(CStaff* member)
{
    if (!member)
        return;
    member->BeginMove();
    if (CSpawner* spawner = CSpawner::GetInstance())
        spawner->BeginStaffMove(member);
}
