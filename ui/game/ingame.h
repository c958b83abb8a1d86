// The in-game interface: every canvas of a running game, the interface fonts, the delayed tooltip and the
// value drawn beside the pointer while an object is placed.
//
// It draws on the toolkit (ui/toolkit/) and reads and commands the game through its operations
// (game/shell/game.h); the game reaches it through its shell, which the program implements over this class
// (main/shell.h), and through the notice seam, which Create installs. Single-threaded. Ownership: the interface
// owns its panels and fonts and deletes them in DestroyCanvases; the game's base holds the interface and deletes
// it.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "game/shell/game.h"
#include "ui/toolkit/interface.h"

class CFerroxCanvasNodeManager;
class CFerroxTagTree;
class CMainPanel;
class COptionsPanel;
class CConfirmPanel;
class CMessageHistoryPanel;
class CSelectionPopup;

// The tooltip shows after the pointer has rested this long on a hot-spot.
constexpr float kInterfaceTooltipDelay = 0.6f;
// Opened panels overlap the main bar by this much.
constexpr float kInterfacePanelOverlap = 8.0f;
// Panels and popups a player opens and closes over the main bar.
constexpr size_t kInterfaceOpenablePanels = 11;
// Sound effects of the interface.
constexpr int32_t kInterfaceShopSample = 3;

// What a selected object stands for, for the selection popups.
enum InterfaceSelectionKind : int32_t {
    INTERFACE_SELECTION_NONE = 0,  // not a world object: nothing changes
    INTERFACE_SELECTION_SHOPPER = 1,
    INTERFACE_SELECTION_SHOP = 2,
    INTERFACE_SELECTION_STAFF = 3,
    INTERFACE_SELECTION_OTHER = 4,  // scenery, doors: the popups close and the click is consumed
};

// Tells the kind of a selected object and the record its popup shows: by default as the game tells them apart
// (GameClassifySelection); only ingame_test installs another, to select plain objects. Null puts the default back.
typedef InterfaceSelectionKind (*InterfaceSelectionClassifier)(CFerroxObject* object, const void** record);
void InterfaceSetSelectionClassifier(InterfaceSelectionClassifier classifier);

// Makes the build-menu manager, set up and empty: by default the build menus' own (ui/game/buildmenu.h); only
// ingame_test installs another. Null puts the default back.
typedef std::unique_ptr<CFerroxCanvasNodeManager> (*InterfaceBuildMenuMaker)();
void InterfaceSetBuildMenuMaker(InterfaceBuildMenuMaker maker);

// Background pictures of the panels, in the order Create makes them.
extern const char* const kInterfacePanelPictures[];

class CInterface : public CFerroxInterface, public CGameNotices {
public:
    CInterface();
    ~CInterface() override;

    void CloseCanvases() override;
    // A level left: the message queue and history empty, and the first contracts are offered again.
    void ClearData() override;
    CFerroxFont* GetFont(int32_t index) override;
    void Update(float frameTime) override;
    // Over the mall just drawn: the open panels, the delayed tooltip and the cursor value.
    void Render() override;
    // Builds every panel, pushes the main bar, loads the fonts of "FONTS" and queues the first message.
    int Create(CFerroxTagTree* data);
    int Create(int32_t argument) override;
    // The game's set-up, right after Create: the build menus read the game data and open above the main bar.
    void CreateBuildMenus(CFerroxTagTree* data);
    void DestroyCanvases() override;
    void Reset() override;
    void QueueMessage(int16_t number) override;

    // Hands the request to the confirmation panel; the caller pushes the panel itself.
    void AskConfirmation(GameConfirmCallback callback, uint16_t textIndex, int16_t list, int32_t closeBoth,
                         const char16_t* extraText);
    // The game's form: pushes the panel modally too; the UTF-8 extra line is kept by the interface.
    void AskConfirmation(GameConfirmCallback yes, uint16_t textIndex, int16_t list, int32_t closeBoth,
                         const char* extraText) override;
    void ClosePopups() override;
    // A technology of contract category k completed: the contracts panel offers its next contract.
    void AdvanceContract(uint16_t category);

    // Places an opened panel above the main bar.
    void PlaceAboveMainBar(CFerroxCanvas* canvas, float overlap = kInterfacePanelOverlap);
    // Closes the open panels and pushes this one above the main bar, reaching down over it by the overlap.
    void OpenPanel(CFerroxCanvas* canvas, float overlap = kInterfacePanelOverlap);
    uint16_t GetFontCount() const { return m_fontCount; }
    float GetTooltipDelay() const { return m_tooltipDelay; }

    std::vector<std::unique_ptr<CFerroxFont>> m_fonts;
    uint16_t m_fontCount;
    float m_tooltipDelay;
    float m_lastFrameTime;
    int16_t m_cursorValue;  // drawn at the pointer when not negative; the placement controller writes it

    // The panels, deleted by Reset in its order once the stack has let go of them.
    std::unique_ptr<CFerroxCanvasNodeManager> m_pBuildMenu;
    std::unique_ptr<CMainPanel> m_pMainPanel;
    std::unique_ptr<CFerroxCanvas> m_pManagementPanel;
    std::unique_ptr<COptionsPanel> m_pOptionsPanel;
    std::unique_ptr<CFerroxCanvas> m_pMallSummaryPanel;
    std::unique_ptr<CFerroxCanvas> m_pShopperSummaryPanel;
    std::unique_ptr<CFerroxCanvas> m_pStaffSummaryPanel;
    std::unique_ptr<CFerroxCanvas> m_pStaffHirePanel;
    std::unique_ptr<CFerroxCanvas> m_pContractsPanel;
    std::unique_ptr<CMessageHistoryPanel> m_pHistoryPanel;
    std::unique_ptr<CSelectionPopup> m_pShopperPopup;
    std::unique_ptr<CSelectionPopup> m_pShopPopup;
    std::unique_ptr<CSelectionPopup> m_pStaffPopup;
    std::unique_ptr<CFerroxCanvas> m_pEndGameCanvas;
    std::unique_ptr<CFerroxCanvas> m_pLoadPanel;
    std::unique_ptr<CFerroxCanvas> m_pSavePanel;
    std::unique_ptr<CConfirmPanel> m_pConfirmPanel;

private:
    void LoadFonts(CFerroxTagTree* data);
    void UpdateSelection();
    void OpenPopup(CSelectionPopup* popup, const void* record);
    void RemovePopups();
    // The panels CloseCanvases closes, the build page apart.
    std::array<CFerroxCanvas*, kInterfaceOpenablePanels> OpenablePanels() const;

    std::u16string m_extraText;  // the extra line of a confirmation asked through the seam
};

// The in-game interface the game holds, or null.
CInterface* InterfaceGet();
