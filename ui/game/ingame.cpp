// The in-game interface: making and tearing down the panels, the per-frame message and selection steps, the
// delayed tooltip and the cursor value.
//
// Sections: seams; lifecycle; panels opening and closing; frame.
#include "ui/game/ingame.h"

#include <algorithm>
#include <string>
#include <utility>

#include "engine/application/mouse.h"
#include "engine/data/locale.h"
#include "engine/data/tagtree.h"
#include "engine/data/utf.h"
#include "engine/world/object.h"
#include "ui/frontend/endgame.h"
#include "ui/game/buildmenu.h"
#include "ui/game/loadpanel.h"
#include "ui/game/management.h"
#include "ui/game/panels.h"
#include "ui/game/popups.h"
#include "ui/game/savepanel.h"
#include "ui/toolkit/font.h"
#include "ui/toolkit/node.h"

// ---- Seams ----

namespace {

constexpr const char* kGeneralTooltips = "general_tooltips";
constexpr const char* kFontsNode = "FONTS";
constexpr int16_t kNoCursorValue = -1;
constexpr int32_t kCursorFont = 0;
constexpr int32_t kTooltipFont = 3;
constexpr int16_t kFirstMessage = 0;
constexpr int32_t kFullVolume = 255;

// The kind of a selected object and the record its popup shows, as the game tells them apart.
InterfaceSelectionKind ClassifyAsTheGame(CFerroxObject* object, const void** record)
{
    switch (GameClassifySelection(object, record)) {
    case GAME_SELECTION_SHOPPER:
        return INTERFACE_SELECTION_SHOPPER;
    case GAME_SELECTION_SHOP:
        return INTERFACE_SELECTION_SHOP;
    case GAME_SELECTION_STAFF:
        return INTERFACE_SELECTION_STAFF;
    default:
        return INTERFACE_SELECTION_OTHER;
    }
}

InterfaceSelectionClassifier g_classifier = ClassifyAsTheGame;
InterfaceBuildMenuMaker g_buildMenuMaker = MakeBuildCanvasManager;

// Allocates a panel, sets it up and builds it from its picture (none: set up only).
template <typename T>
std::unique_ptr<T> MakePanel(const char* picture)
{
    auto panel = std::make_unique<T>();
    panel->Init();
    if (picture)
        panel->Build(picture, 0.0f, 0.0f, 0);
    return panel;
}

// A file panel, set up and built from its picture; it becomes the one its questions' answers act on.
template <typename T>
std::unique_ptr<T> MakeFilePanel(const char* picture)
{
    auto panel = std::make_unique<T>();
    panel->Init();
    panel->BuildPanel(picture, 0.0f, 0.0f);
    return panel;
}

}  // namespace

void InterfaceSetSelectionClassifier(InterfaceSelectionClassifier classifier)
{
    g_classifier = classifier ? classifier : ClassifyAsTheGame;
}

void InterfaceSetBuildMenuMaker(InterfaceBuildMenuMaker maker)
{
    g_buildMenuMaker = maker ? maker : MakeBuildCanvasManager;
}

const char* const kInterfacePanelPictures[] = {
    "./images/panels/main/base/base.png",
    nullptr,  // build menus: made by their manager
    "./images/panels/main/manage/00_start.png",
    "./images/panels/main/options/00_start.png",
    "./images/panels/finance/finance.png",
    "./images/panels/shoppers/shoppers.png",
    "./images/panels/staff/staff.png",
    "./images/panels/hire/hire.png",
    "./images/panels/contractors/contractors.png",
    "./images/panels/message/messages.png",
    "./images/panels/load/load.png",
    "./images/panels/save/save.png",
    "./images/panels/confirm/confirm.png",
    "./images/panels/shopperpopup/shopperpopup.png",
    "./images/panels/shoppopup/shoppopup.png",
    "./images/panels/staffpopup/staffpopup.png",
    nullptr,  // end of game: built when the game ends
};

CInterface* InterfaceGet()
{
    return g_pFerroxGame ? dynamic_cast<CInterface*>(g_pFerroxGame->GetInterface()) : nullptr;
}

// ---- Lifecycle ----

CInterface::CInterface() { CInterface::Reset(); }

CInterface::~CInterface()
{
    CInterface::DestroyCanvases();
    if (g_pGame && g_pGame->GetNotices() == this)
        g_pGame->SetNotices(nullptr);
}

void CInterface::Reset()
{
    CFerroxInterface::Reset();
    m_tooltipDelay = kInterfaceTooltipDelay;
    // The count and the list go together: fonts loaded after a reset take their indices from 0.
    m_fonts.clear();
    m_fontCount = 0;
    // The stack only points at the panels; none of them may stay on it.
    m_stack.Clear();
    m_pMainPanel.reset();
    m_pBuildMenu.reset();
    m_pManagementPanel.reset();
    m_pOptionsPanel.reset();
    m_pMallSummaryPanel.reset();
    m_pShopperSummaryPanel.reset();
    m_pStaffSummaryPanel.reset();
    m_pContractsPanel.reset();
    m_pHistoryPanel.reset();
    m_pLoadPanel.reset();
    m_pSavePanel.reset();
    m_pShopperPopup.reset();
    m_pShopPopup.reset();
    m_pStaffPopup.reset();
    m_pStaffHirePanel.reset();
    m_pConfirmPanel.reset();
    m_pEndGameCanvas.reset();
    m_lastFrameTime = 0.0f;
    m_cursorValue = kNoCursorValue;
}

int CInterface::Create(int32_t) { return Create(g_pFerroxGame ? g_pFerroxGame->GetGameData() : nullptr); }

int CInterface::Create(CFerroxTagTree* data)
{
    const int result = CFerroxInterface::Create(0);
    CFerroxLocale* locale = FerroxGameLocale();
    if (locale)
        m_defaultTooltipList = locale->FindTextList(kGeneralTooltips);
    if (g_pGame)
        g_pGame->SetNotices(this);

    const char* const* picture = kInterfacePanelPictures;
    m_pMainPanel = MakePanel<CMainPanel>(*picture++);
    m_stack.Push(m_pMainPanel.get(), 0);
    if (g_buildMenuMaker)
        m_pBuildMenu = g_buildMenuMaker();
    picture++;
    m_pManagementPanel = MakePanel<CManagementPanel>(*picture++);
    m_pOptionsPanel = MakePanel<COptionsPanel>(*picture++);
    m_pMallSummaryPanel = MakePanel<CMallSummaryPanel>(*picture++);
    m_pShopperSummaryPanel = MakePanel<CShopperSummaryPanel>(*picture++);
    m_pStaffSummaryPanel = MakePanel<CStaffSummaryPanel>(*picture++);
    m_pStaffHirePanel = MakePanel<CStaffHirePanel>(*picture++);
    m_pContractsPanel = MakePanel<CContractsPanel>(*picture++);
    m_pHistoryPanel = MakePanel<CMessageHistoryPanel>(*picture++);
    m_pLoadPanel = MakeFilePanel<CLoadPanel>(*picture++);
    m_pSavePanel = MakeFilePanel<CSavePanel>(*picture++);
    m_pConfirmPanel = MakePanel<CConfirmPanel>(*picture++);
    PlaceAboveMainBar(m_pConfirmPanel.get());
    auto shopperPopup = MakePanel<CShopperPopupPanel>(*picture++);
    if (auto* summary = dynamic_cast<CShopperSummaryPanel*>(m_pShopperSummaryPanel.get()))
        summary->SetShopperPopup(shopperPopup.get());
    m_pShopperPopup = std::move(shopperPopup);
    m_pShopPopup = MakePanel<CShopPopupPanel>(*picture++);
    m_pStaffPopup = MakePanel<CStaffPopupPanel>(*picture++);
    m_pEndGameCanvas = MakePanel<CEndGameCanvas>(*picture++);

    LoadFonts(data);
    QueueMessage(kFirstMessage);
    return result;
}

void CInterface::CreateBuildMenus(CFerroxTagTree* data)
{
    if (!m_pBuildMenu)
        return;
    const float* rect = m_pMainPanel ? m_pMainPanel->GetWidgetRect(0) : nullptr;
    m_pBuildMenu->SetPosition(data, 0.0f, (rect ? rect[3] : 0.0f) - kInterfacePanelOverlap);
}

void CInterface::LoadFonts(CFerroxTagTree* data)
{
    if (!data || !data->FindNode(kFontsNode, 1))
        return;
    CFerroxTagValues* values = data->GetValues();
    if (!values)
        return;
    const char* start = g_pFerroxGame ? g_pFerroxGame->GetStartDirectory() : nullptr;
    for (const CFerroxTagValue& line : *values) {
        // A font that reads nothing stays in its place and draws nothing, so the others keep their indices.
        auto font = std::make_unique<CFerroxFont>();
        font->Load(((start ? std::string(start) : std::string()) + line.str()).c_str(), 0, 0);
        m_fonts.push_back(std::move(font));
        m_fontCount++;
    }
}

void CInterface::DestroyCanvases() { Reset(); }

void CInterface::ClearData()
{
    if (m_pHistoryPanel)
        m_pHistoryPanel->Clear();
    if (m_pMainPanel)
        m_pMainPanel->ClearQueue();
    // A new game offers each category's first contract again.
    if (auto* contracts = dynamic_cast<CContractsPanel*>(m_pContractsPanel.get()))
        contracts->LoadContracts();
}

void CInterface::AdvanceContract(uint16_t category)
{
    if (auto* contracts = dynamic_cast<CContractsPanel*>(m_pContractsPanel.get()))
        contracts->AdvanceContract(category);
}

CFerroxFont* CInterface::GetFont(int32_t index)
{
    if (index < 0 || index >= m_fontCount || static_cast<size_t>(index) >= m_fonts.size())
        return nullptr;
    return m_fonts[static_cast<size_t>(index)].get();
}

void CInterface::QueueMessage(int16_t number)
{
    if (m_pMainPanel)
        m_pMainPanel->QueueMessage(number);
}

// ---- Panels opening and closing ----

void CInterface::PlaceAboveMainBar(CFerroxCanvas* canvas, float overlap)
{
    if (!canvas)
        return;
    const float* rect = m_pMainPanel ? m_pMainPanel->GetWidgetRect(0) : nullptr;
    const float height = rect ? rect[3] : 0.0f;
    canvas->SetPosition(0.0f, height - overlap, 1);
}

void CInterface::OpenPanel(CFerroxCanvas* canvas, float overlap)
{
    CloseCanvases();
    if (!canvas)
        return;
    m_stack.Push(canvas, 0);
    PlaceAboveMainBar(canvas, overlap);
}

std::array<CFerroxCanvas*, kInterfaceOpenablePanels> CInterface::OpenablePanels() const
{
    return {m_pManagementPanel.get(),     m_pOptionsPanel.get(),      m_pMallSummaryPanel.get(),
            m_pShopperSummaryPanel.get(), m_pStaffSummaryPanel.get(), m_pStaffHirePanel.get(),
            m_pContractsPanel.get(),      m_pHistoryPanel.get(),      m_pShopperPopup.get(),
            m_pShopPopup.get(),           m_pStaffPopup.get()};
}

void CInterface::CloseCanvases()
{
    for (CFerroxCanvas* canvas : OpenablePanels()) {
        if (canvas)
            m_stack.Remove(canvas);
    }
    if (m_pBuildMenu)
        m_pBuildMenu->OpenNode(nullptr, 0);
}

void CInterface::RemovePopups()
{
    // A closed card forgets its record: the object it stood for may be gone.
    for (CSelectionPopup* popup : {m_pShopperPopup.get(), m_pShopPopup.get(), m_pStaffPopup.get()}) {
        if (!popup)
            continue;
        m_stack.Remove(popup);
        popup->SetRecord(nullptr);
    }
}

void CInterface::ClosePopups() { RemovePopups(); }

void CInterface::AskConfirmation(GameConfirmCallback callback, uint16_t textIndex, int16_t list, int32_t closeBoth,
                                 const char16_t* extraText)
{
    if (m_pConfirmPanel)
        m_pConfirmPanel->SetRequest(callback, textIndex, list, closeBoth, extraText);
}

void CInterface::AskConfirmation(GameConfirmCallback yes, uint16_t textIndex, int16_t list, int32_t closeBoth,
                                 const char* extraText)
{
    if (!m_pConfirmPanel)
        return;
    m_extraText = extraText ? FerroxUtf8ToUtf16(extraText) : std::u16string();
    m_stack.Push(m_pConfirmPanel.get(), 1);
    AskConfirmation(yes, textIndex, list, closeBoth, extraText ? m_extraText.c_str() : nullptr);
}

void CInterface::OpenPopup(CSelectionPopup* popup, const void* record)
{
    CloseCanvases();
    FerroxReleaseButton();
    if (!popup)
        return;
    popup->SetRecord(record);
    m_stack.Push(popup, 0);
    PlaceAboveMainBar(popup);
}

// ---- Frame ----

void CInterface::UpdateSelection()
{
    if (!g_pGame || !g_pGame->HasSelectionChanged())
        return;
    CFerroxObject* selected = g_pGame->GetSelectedObject();
    if (!selected) {
        RemovePopups();
        return;
    }
    const void* record = nullptr;
    switch (g_classifier(selected->GetLinkedObject(), &record)) {
    case INTERFACE_SELECTION_SHOPPER:
        OpenPopup(m_pShopperPopup.get(), record);
        break;
    case INTERFACE_SELECTION_SHOP:
        OpenPopup(m_pShopPopup.get(), record);
        g_pGame->PlaySample(kInterfaceShopSample, kFullVolume);
        break;
    case INTERFACE_SELECTION_STAFF:
        OpenPopup(m_pStaffPopup.get(), record);
        break;
    case INTERFACE_SELECTION_OTHER:
        RemovePopups();
        FerroxReleaseButton();
        break;
    case INTERFACE_SELECTION_NONE:
        break;
    }
}

void CInterface::Update(float frameTime)
{
    CFerroxInterface::Update(frameTime);
    m_lastFrameTime = frameTime;
    if (m_pMainPanel) {
        const int32_t id = m_pMainPanel->NextMessage(frameTime);
        if (m_pHistoryPanel)
            m_pHistoryPanel->AddMessage(id, g_pGame ? g_pGame->GetDayCounter() : 0);
    }
    UpdateSelection();
}

void CInterface::Render()
{
    CFerroxInterface::Render();
    CFerroxMouse* mouse = FerroxGameMouse();
    const FerroxMousePosition* position = mouse ? mouse->GetPosition() : nullptr;
    const float screenHeight = g_pFerroxGame ? static_cast<float>(g_pFerroxGame->GetScreenHeight()) : 0.0f;
    const float mouseX = position ? position->x : 0.0f;
    const float mouseY = position ? screenHeight - position->y : 0.0f;
    StepTooltip(static_cast<int16_t>(m_tooltipText) >= 0 && m_fontCount > 0, GetFont(kTooltipFont), &m_tooltipDelay,
                m_lastFrameTime, kInterfaceTooltipDelay);
    CFerroxFont* font = GetFont(kCursorFont);
    if (m_cursorValue < 0 || !font)
        return;
    const std::string value = std::to_string(m_cursorValue);
    const std::u16string text(value.begin(), value.end());
    font->DrawWideText(text.c_str(), mouseX, static_cast<int>(mouseY), 0, FERROX_ALIGN_LEFT, kFerroxTooltipMiddleX, 0,
                       nullptr);
}
