// The contracts panel: one row per contract category with its level, the offered contract's price and
// duration or the running contract's progress, and an OK button that signs the offered contract.
#include "ui/game/management.h"

#include <algorithm>

#include "engine/data/techtree.h"
#include "ui/game/management_local.h"

using namespace management;

namespace {

constexpr const char* kCategoriesList = "contractcategories";
constexpr const char* kOkPicture = "./images/panels/contractors/ok.png";
constexpr float kBarLength = 32.0f;
constexpr int32_t kLevelWage = 100;
constexpr int32_t kFullPercent = 100;
constexpr int32_t kNameFont = 1;
constexpr int32_t kFiguresFont = 2;

CFerroxTechTree* Tree() { return g_pFerroxGame ? g_pFerroxGame->GetTechTree() : nullptr; }

uint16_t CategoryCount()
{
    CFerroxTechTree* tree = Tree();
    return tree ? tree->GetCategoryCount() : 0;
}

FerroxTechEntry* FirstContract(uint16_t category)
{
    CFerroxTechTree* tree = Tree();
    const uint32_t id = static_cast<uint32_t>(kContractIdStep) * (category + 1u);
    return tree && id <= UINT16_MAX ? tree->FindEntry(static_cast<uint16_t>(id)) : nullptr;
}

// A running contract's share done; one of no length is done.
uint8_t ProgressPercent(const FerroxTechEntry* entry)
{
    if (entry->duration == 0)
        return kFullPercent;
    return static_cast<uint8_t>(std::min<int32_t>(entry->progress * kFullPercent / entry->duration, kFullPercent));
}

}  // namespace

CContractsPanel::CContractsPanel() : m_pBar(nullptr) { CContractsPanel::Init(); }

CContractsPanel::~CContractsPanel() { CContractsPanel::Release(); }

void CContractsPanel::Init()
{
    m_categoryList = kFerroxNoTextList;
    m_firstButton = 0;
    m_pBar = nullptr;
}

void CContractsPanel::Release()
{
    m_slots.clear();
    m_pBar.reset();
    CFerroxCanvas::Release();
    Init();
}

void CContractsPanel::Build(const char* path, float x, float y, int32_t scaled)
{
    CRowButtonPanel::Build(path, x, y, scaled);
    m_categoryList = FindList(kCategoriesList);
    // Slots and buttons stay aligned with the categories: a category without contracts keeps an empty slot
    // and a hidden button, so button k always signs category k.
    const uint16_t count = CategoryCount();
    m_slots.assign(count, nullptr);
    for (uint16_t k = 0; k < count; k++) {
        AddRowButton(kOkPicture, kContractOkX, kContractOkY - kContractRowStep * k);
        m_slots[k] = FirstContract(k);
        ShowButton(k);
    }
    m_pBar = FerroxMakeBar(kBarPicture, kBarLength, scaled);
}

void CContractsPanel::LoadContracts()
{
    for (uint16_t k = 0; k < m_slots.size(); k++)
        m_slots[k] = FirstContract(k);
}

void CContractsPanel::AdvanceContract(uint16_t category)
{
    if (category >= m_slots.size() || !m_slots[category])
        return;
    CFerroxTechTree* tree = Tree();
    const uint32_t next = m_slots[category]->id + 1u;
    m_slots[category] = tree && next <= UINT16_MAX ? tree->FindEntry(static_cast<uint16_t>(next)) : nullptr;
}

void CContractsPanel::ShowButton(uint16_t category)
{
    CFerroxWidget* button = GetWidget(m_firstButton + category);
    if (!button)
        return;
    const FerroxTechEntry* slot = category < m_slots.size() ? m_slots[category] : nullptr;
    button->m_visible = category < CategoryCount() && slot && slot->state == FERROX_TECH_WAITING ? 1 : 0;
}

void CContractsPanel::OnWidgetEvent(int32_t index, int32_t event)
{
    const bool handled = HoverOrClose(index, event, CONTRACTS_CLOSE);
    if (!IsRowButton(index))
        return;
    const uint16_t k = static_cast<uint16_t>(index - m_firstButton);
    if (!handled && event == FERROX_WIDGET_PRESSED) {
        FerroxReleaseButton();
        EndPress();
        FerroxTechEntry* slot = k < m_slots.size() && k < CategoryCount() ? m_slots[k] : nullptr;
        CFerroxTechTree* tree = Tree();
        if (slot && slot->state == FERROX_TECH_WAITING && tree && tree->Activate(slot)) {
            if (CStatistics* stats = CDynamicObjectManager::PeekStatistics())
                stats->m_contractExpenses += slot->extra;
        }
    }
    ShowButton(k);
}

void CContractsPanel::Render()
{
    CFerroxCanvas::Render();
    const CStatistics* stats = CDynamicObjectManager::PeekStatistics();
    const uint16_t count = CategoryCount();
    for (uint16_t k = 0; k < count; k++) {
        const float y = kContractRowY - kContractRowStep * k;
        const int32_t level = static_cast<int16_t>(CategoryLevel(stats, k));
        DrawListText(kNameFont, m_categoryList, k, kContractNameX, y);
        DrawNumber(kFiguresFont, level, kContractLevel.x, y, FERROX_ALIGN_RIGHT);
        DrawNumber(kFiguresFont, level * kLevelWage, kContractWage.x, y, FERROX_ALIGN_RIGHT);
        const FerroxTechEntry* slot = k < m_slots.size() ? m_slots[k] : nullptr;
        if (!slot) {
            DrawString(kFiguresFont, "-", kContractPriceDashX, y, FERROX_ALIGN_LEFT);
            DrawString(kFiguresFont, "-", kContractTimeDashX, y, FERROX_ALIGN_LEFT);
            continue;
        }
        DrawNumber(kFiguresFont, slot->extra, kContractPrice.x, y, FERROX_ALIGN_RIGHT);
        if (slot->progress == 0) {
            DrawNumber(kFiguresFont, slot->duration / kContractStepsPerUnit, kContractTime.x, y, FERROX_ALIGN_RIGHT);
        } else if (m_pBar) {
            m_pBar->SetPercent(ProgressPercent(slot));
            m_pBar->SetColour(kYellow);
            m_pBar->Draw(kContractBarX, y + kContractBarDy);
        }
    }
}
