// The staff hire page: one row per job with its title, picture, level and wage, and an OK button that starts
// placing a new member of that job.
#include "ui/game/management.h"

#include <memory>
#include <utility>

#include "engine/data/convert.h"
#include "engine/data/random.h"
#include "engine/world/asset.h"
#include "engine/world/dynobject.h"
#include "engine/world/level.h"
#include "game/figures/spawner.h"
#include "game/figures/staff.h"
#include "ui/game/management_local.h"

using namespace management;

namespace {

constexpr const char* kJobTitlesList = "jobtitles";
constexpr const char* kOkPicture = "./images/panels/hire/ok.png";
constexpr const char* kJobPictures[] = {
    "./images/panels/staff/clean.png",
    "./images/panels/staff/maint.png",
    "./images/panels/staff/security.png",
};
// The rows in screen order: template category, factory name text, and the job's level among the statistics'
// per-category levels, where the engineers' comes before the gardeners' (the row index would show the gardener
// the engineer's level and wage).
struct HireRowJob {
    const char* category;
    const char* factory;
    size_t level;
};
constexpr HireRowJob kRows[] = {
    {"CLEANING", "cleaner", kCleanerLevel},
    {"GARDENER", "maintenance", kGardenerLevel},
    {"ENGINEER", "maintenance", kEngineerLevel},
    {"SECURITY", "security", kSecurityLevel},
};
static_assert(sizeof(kRows) / sizeof(kRows[0]) == HIRE_ROWS, "one job per hire row");
constexpr int32_t kTextFont = 1;

}  // namespace

void HireReadValues(const std::vector<std::string>& values, HireEntry* entry)
{
    uint16_t* fields[] = {&entry->titleIndex, &entry->imageIndex, &entry->baseWage};
    for (size_t i = 0; i < sizeof(fields) / sizeof(fields[0]); i++) {
        // A value that is absent or no 16-bit number reads as 0.
        unsigned short value = 0;
        *fields[i] = i < values.size() && FromString<unsigned short>(values[i], value) ? value : 0;
    }
}

CStaffHirePanel::CStaffHirePanel() { CStaffHirePanel::Init(); }

CStaffHirePanel::~CStaffHirePanel() { CStaffHirePanel::Release(); }

void CStaffHirePanel::Init()
{
    m_titleList = 0;
    m_firstButton = 0;
}

void CStaffHirePanel::Release()
{
    m_entries.clear();
    m_jobImages.clear();
    CFerroxCanvas::Release();
    Init();
}

void CStaffHirePanel::Build(const char* path, float x, float y, int32_t scaled)
{
    CRowButtonPanel::Build(path, x, y, scaled);
    m_titleList = FindList(kJobTitlesList);
    for (const HireRowJob& row : kRows)
        AddHireEntry(row.category, row.factory);
    AddPictures(m_jobImages, kJobPictures, scaled);
}

void CStaffHirePanel::AddHireEntry(const char* category, const char* factoryName)
{
    auto entry = std::make_unique<HireEntry>();
    CDynamicObjectManager* manager = CDynamicObjectManager::Peek();
    if (manager) {
        entry->templateA = manager->FindTemplate(category, 0);
        entry->templateB = manager->FindTemplate(category, 1);
        entry->factory = manager->FindFactory(factoryName, nullptr);
    }
    if (entry->templateA)
        HireReadValues(entry->templateA->GetValues(), entry.get());
    AddRowButton(kOkPicture, kHireOkX, kHireOkY - kHireRowStep * static_cast<float>(m_entries.size()));
    m_entries.push_back(std::move(entry));
}

void CStaffHirePanel::HireStaff(uint16_t row)
{
    if (row >= m_entries.size())
        return;
    HireEntry* entry = m_entries[row].get();
    CFerroxAssetSet* chosen = (FerroxRand() & 1) ? entry->templateA : entry->templateB;
    CSpawner* spawner = CSpawner::GetInstance();
    if (!entry->factory || !spawner)
        return;
    CFerroxLevelManager* levels = g_pFerroxGame ? g_pFerroxGame->GetLevelManager() : nullptr;
    entry->factory->SetOwner(levels ? levels->GetWorld() : nullptr);
    spawner->BeginStaffHire(chosen, entry->factory);
}

void CStaffHirePanel::OnWidgetEvent(int32_t index, int32_t event)
{
    if (HoverOrClose(index, event, HIRE_CLOSE) || event != FERROX_WIDGET_PRESSED || !IsRowButton(index))
        return;
    HireStaff(static_cast<uint16_t>(index - m_firstButton));
    FerroxReleaseButton();
    EndPress();
    if (CInterface* ui = InterfaceGet())
        ui->CloseCanvases();
}

void CStaffHirePanel::Render()
{
    CFerroxCanvas::Render();
    const CStatistics* stats = CDynamicObjectManager::PeekStatistics();
    for (size_t k = 0; k < m_entries.size(); k++) {
        const HireEntry* entry = m_entries[k].get();
        const float y = kHireRowY - kHireRowStep * static_cast<float>(k);
        DrawListText(kTextFont, m_titleList, entry->titleIndex, kHireTitleX, y);
        if (entry->imageIndex < m_jobImages.size())
            m_jobImages[entry->imageIndex]->Draw(kHirePictureX, y + kHirePictureDy);
        const size_t job = k < HIRE_ROWS ? kRows[k].level : k;
        const int32_t level = static_cast<int16_t>(CategoryLevel(stats, job));
        DrawNumber(kTextFont, level, kHireLevel.x, y, FERROX_ALIGN_RIGHT);
        DrawNumber(kTextFont, entry->baseWage + kHireWageStep * level, kHireWage.x, y, FERROX_ALIGN_RIGHT);
    }
}
