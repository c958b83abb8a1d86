// Shops: set-up and placement from the template, the daily charge and debt, takings, charge buttons, appeal.
#include "game/buildings/shop.h"

#include <algorithm>
#include <cstdint>
#include <string>

#include "engine/navigation/blockmesh.h"
#include "game/buildings/building_local.h"
#include "game/world/objectmgr.h"
#include "gfx/2d/charset.h"

int32_t g_shopCounter = 0;

namespace {

// Values the placement reads after the footprint: grade, charge value, price and the appeal table.
constexpr int kPlacementValues = 3 + kShopAppealCount;

}  // namespace

CShop::CShop() { CShop::Init(); }

CShop::~CShop() { CShop::Release(); }

void CShop::Init()
{
    m_debtDays = 0;
    m_record = ShopRecord();
    m_record.owner = this;
}

void CShop::Release()
{
    CStatistics* statistics = CDynamicObjectManager::PeekStatistics();
    if (m_placed && statistics)
        statistics->RemoveShop(&m_record, static_cast<uint32_t>(m_rows * m_columns));
    CShop::Init();
    CPathableObject::Release();
}

void CShop::Setup(const FerroxObjectDescriptor* descriptor)
{
    CPathableObject::Setup(descriptor);
    NextValue(&m_record.balance);
    int32_t value = 0;
    if (NextValue(&value))
        m_record.category = static_cast<uint16_t>(value);
    m_record.owner = this;
}

int CShop::Place(CPlacementRecord* record)
{
    if (!CPathableObject::Place(record))
        return 0;
    CFerroxBlockMesh* mesh = dynamic_cast<CFerroxBlockMesh*>(m_pFloor);
    CFerroxBlockMesh* above = mesh ? mesh->GetUpper() : nullptr;
    if (above)
        for (int cell : CoveredCells())
            if (!above->IsAreaTiled(cell, 1, 1))
                BuildingSetFloorArea(record ? record->controller : nullptr, above, cell, cell);
    uint16_t* targets[kPlacementValues] = {&m_record.grade, &m_record.rentValue, &m_record.price};
    for (int i = 0; i < kShopAppealCount; i++)
        targets[3 + i] = &m_record.appeal[i];
    for (uint16_t* target : targets) {
        int32_t value = 0;
        if (!NextValue(&value))
            break;
        *target = static_cast<uint16_t>(value);
    }
    m_record.chargesPaid = 0;
    m_record.salesCount = 0;
    m_record.takingsTotal = 0;
    m_record.paymentCount = 0;
    g_shopCounter++;
    m_record.shopNumber = static_cast<uint16_t>(g_shopCounter);
    m_record.capacity = m_slotCount;
    m_record.chargeAdjust = static_cast<int16_t>(m_record.rentValue);
    CStatistics* statistics = CDynamicObjectManager::PeekStatistics();
    if (statistics)
        statistics->AddShop(&m_record, static_cast<uint32_t>(m_rows * m_columns));
    m_record.balance = kShopStartBalance;
    return 1;
}

void CShop::Update(float dt)
{
    if (!m_placed)
        return;
    CPathableObject::Update(dt);
    if (BuildingIsNewDay())
        PayCharge();
    CStatistics* statistics = CDynamicObjectManager::PeekStatistics();
    const int32_t baseCharge = statistics ? statistics->m_baseCharge : 0;
    const int32_t lowest = std::max(-baseCharge, static_cast<int32_t>(INT16_MIN));
    if (m_record.chargeAdjust < lowest)
        m_record.chargeAdjust = static_cast<int16_t>(lowest);
}

void CShop::PayCharge()
{
    CStatistics* statistics = CDynamicObjectManager::PeekStatistics();
    const int32_t sum = (statistics ? statistics->m_baseCharge : 0) + m_record.chargeAdjust;
    const uint16_t amount = static_cast<uint16_t>(sum > 0 ? sum : 0);
    m_record.balance -= amount;
    m_record.chargesPaid += amount;
    m_record.paymentCount++;
    if (statistics)
        statistics->AddCharge(m_record.rentValue, amount);
    if (m_debtDays > kShopDebtDaysAllowed) {
        BuildingMessage(kMessageShopClosed);
        CDynamicObjectManager* manager = CDynamicObjectManager::Peek();
        if (manager)
            manager->RemoveObject(this, 0);
    }
    if (m_record.balance < 0) {
        if (statistics)
            statistics->m_dailyShopCounter++;
        m_debtDays++;
    } else {
        m_debtDays = 0;
    }
}

void CShop::AddTakings(int16_t amount)
{
    m_record.balance += amount;
    m_record.takingsTotal += amount;
    if (amount < 0)
        return;
    m_record.salesCount++;
    CStatistics* statistics = CDynamicObjectManager::PeekStatistics();
    if (statistics)
        statistics->AddTakings(amount);
}

void CShop::DrawDebugInfo(GxRaster* charset)
{
    CPathableObject::DrawDebugInfo();
    if (!charset)
        return;
    const std::string text = std::to_string(m_record.shopNumber) + ", F:" + std::to_string(m_record.balance) +
                             " A:" + std::to_string(m_record.paymentCount) +
                             " I:" + std::to_string(m_record.takingsTotal);
    GxCharsetPrint(charset, text.c_str(), kShopDebugX, kShopDebugY);
}

void CShop::IncreaseCharge()
{
    if (m_record.chargeAdjust + kChargeStep <= kChargeAdjustMax)
        m_record.chargeAdjust = static_cast<int16_t>(m_record.chargeAdjust + kChargeStep);
}

void CShop::DecreaseCharge()
{
    CStatistics* statistics = CDynamicObjectManager::PeekStatistics();
    const int32_t baseCharge = statistics ? statistics->m_baseCharge : 0;
    if (baseCharge + m_record.chargeAdjust - kChargeStep >= 0)
        m_record.chargeAdjust = static_cast<int16_t>(m_record.chargeAdjust - kChargeStep);
}

uint16_t CShop::GetAppeal(uint16_t age, int16_t sex) const
{
    int band = 3;
    if (age < kAppealAgeYoung)
        band = 0;
    else if (age < kAppealAgeAdult)
        band = 1;
    else if (age < kAppealAgeSenior)
        band = 2;
    return m_record.appeal[band * 2 + (sex != 0 ? 1 : 0)];
}

int CShop::Save(CFerroxFile* file)
{
    CPathableObject::Save(file);
    if (!file)
        return 0;
    WriteBuildingLine(file, m_record.balance);
    WriteBuildingLine(file, m_record.salesCount);
    WriteBuildingLine(file, m_record.chargeAdjust);
    WriteBuildingLine(file, m_record.takingsTotal);
    WriteBuildingLine(file, m_record.chargesPaid);
    WriteBuildingLine(file, m_record.paymentCount);
    WriteBuildingLine(file, m_record.shopNumber);
    return 0;
}

int CShop::Load(CFerroxFile* file)
{
    CPathableObject::Load(file);
    if (!file)
        return 0;
    ReadBuildingLine(file, &m_record.balance);
    ReadBuildingLine(file, &m_record.salesCount);
    ReadBuildingLine(file, &m_record.chargeAdjust);
    ReadBuildingLine(file, &m_record.takingsTotal);
    ReadBuildingLine(file, &m_record.chargesPaid);
    ReadBuildingLine(file, &m_record.paymentCount);
    ReadBuildingLine(file, &m_record.shopNumber);
    return 0;
}
