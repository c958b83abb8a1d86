// The in-game interface: making and tearing down the panels, fonts, tooltips and the selection popups.
#include "ui/game/ingame_testing_local.h"

#include <memory>

#include "ui/game/buildmenu.h"
#include "ui/toolkit/node.h"

namespace {

using InGameInterfaceTest = UiGameTest;

// A build-menu manager that only notes what it is asked.
class LoggingBuildMenu : public CFerroxCanvasNodeManager {
public:
    void RefreshButton(CFerroxCanvasNode*, int32_t) override {}
    void OnLeafButton(int16_t, int32_t, int32_t) override {}
    void OnButtonHover(int32_t) override {}
    int32_t GetFirstItemId() override { return 0; }
    void OpenRoot(int32_t) override { roots++; }
    void OpenNode(CFerroxCanvasNode*, int32_t) override { closes++; }
    int roots = 0;
    int closes = 0;
};

LoggingBuildMenu* g_buildMenu = nullptr;

std::unique_ptr<CFerroxCanvasNodeManager> MakeBuildMenu()
{
    uiLoadLog.push_back("build menu");
    auto menu = std::make_unique<LoggingBuildMenu>();
    g_buildMenu = menu.get();
    return menu;
}

TEST_F(InGameInterfaceTest, CreateMakesThePanelsInOrderAndOpensOnlyTheMainBar)
{
    InterfaceSetBuildMenuMaker(MakeBuildMenu);
    CreateWithFonts();

    // Backgrounds load in the table's order, the build menus in second place.
    std::vector<std::string> made;
    // Buttons, seasons, bars and the panels' own pictures are not backgrounds.
    for (const std::string& name : uiLoadLog) {
        bool background = name == "build menu";
        for (int k = 0; k < 17; k++)
            background = background || (kInterfacePanelPictures[k] && name == kInterfacePanelPictures[k]);
        if (background)
            made.push_back(name);
    }
    std::vector<std::string> expected;
    for (int k = 0; k < 17; k++) {
        if (k == 1)
            expected.push_back("build menu");
        else if (kInterfacePanelPictures[k])
            expected.push_back(kInterfacePanelPictures[k]);
    }
    EXPECT_EQ(made, expected);

    CFerroxCanvas* const panels[] = {
        ui->m_pMainPanel.get(),        ui->m_pManagementPanel.get(),     ui->m_pOptionsPanel.get(),
        ui->m_pMallSummaryPanel.get(), ui->m_pShopperSummaryPanel.get(), ui->m_pStaffSummaryPanel.get(),
        ui->m_pStaffHirePanel.get(),   ui->m_pContractsPanel.get(),      ui->m_pHistoryPanel.get(),
        ui->m_pShopperPopup.get(),     ui->m_pShopPopup.get(),           ui->m_pStaffPopup.get(),
        ui->m_pEndGameCanvas.get(),    ui->m_pLoadPanel.get(),           ui->m_pSavePanel.get(),
        ui->m_pConfirmPanel.get()};
    for (CFerroxCanvas* panel : panels)
        EXPECT_NE(panel, nullptr);
    EXPECT_EQ(ui->m_pBuildMenu.get(), g_buildMenu);
    EXPECT_EQ(ui->m_pMainPanel->GetWidgetCount(), 12);
    EXPECT_EQ(ui->m_pConfirmPanel->GetWidgetCount(), 3);

    EXPECT_EQ(ui->GetStack().GetNormalCount(), 1);
    EXPECT_EQ(ui->GetStack().GetModalCount(), 0);
    EXPECT_EQ(ui->m_pConfirmPanel->GetX(), 0.0f);
    EXPECT_EQ(ui->m_pConfirmPanel->GetY(), kUiMainBarHeight - 8.0f);
    EXPECT_EQ(ui->m_defaultTooltipList, 0);
    EXPECT_EQ(ui->m_pMainPanel->GetQueue(), std::list<int32_t>{0});
    EXPECT_EQ(game->GetNotices(), ui);

    // The fonts of the block, in its order; nothing past the fourth.
    ASSERT_EQ(ui->GetFontCount(), 4);
    for (int i = 0; i < 4; i++)
        EXPECT_EQ(ui->GetFont(i), ui->m_fonts[static_cast<size_t>(i)].get());
    EXPECT_EQ(ui->GetFont(4), nullptr);
    EXPECT_EQ(ui->GetFont(-1), nullptr);

    ui->m_cursorValue = 12;
    ui->DestroyCanvases();
    EXPECT_EQ(ui->GetFontCount(), 0);
    EXPECT_EQ(ui->m_cursorValue, -1);
    EXPECT_EQ(ui->GetFont(0), nullptr);
    EXPECT_EQ(ui->m_pBuildMenu, nullptr);
    EXPECT_EQ(ui->m_pMainPanel, nullptr);
    EXPECT_EQ(ui->m_pManagementPanel, nullptr);
    EXPECT_EQ(ui->m_pLoadPanel, nullptr);
    EXPECT_EQ(ui->m_pEndGameCanvas, nullptr);
    EXPECT_EQ(ui->m_pConfirmPanel, nullptr);
    EXPECT_EQ(ui->m_pHistoryPanel, nullptr);
    EXPECT_EQ(ui->m_pShopPopup, nullptr);
    EXPECT_EQ(ui->GetStack().GetNormalCount(), 0);
    // A frame after the teardown touches nothing freed.
    Frame(0.1f);

    // A reset over made panels and fonts lets the stack go of the panels before they go, and the fonts made
    // after it count from the first again.
    CreateWithFonts();
    ASSERT_EQ(ui->GetStack().GetNormalCount(), 1);
    ui->Reset();
    EXPECT_EQ(ui->m_pMainPanel, nullptr);
    EXPECT_EQ(ui->GetStack().GetNormalCount(), 0);
    EXPECT_EQ(ui->GetFont(0), nullptr);
    Frame(0.1f);
    CreateWithFonts();
    ASSERT_EQ(ui->GetFontCount(), 4);
    EXPECT_EQ(ui->GetFont(3), ui->m_fonts[3].get());
    EXPECT_EQ(ui->m_fonts.size(), 4u);
}

TEST_F(InGameInterfaceTest, BuildMenusAreTheDefaultAndSetUpAfterCreate)
{
    CreateWithFonts();
    auto* menus = dynamic_cast<CBuildCanvasManager*>(ui->m_pBuildMenu.get());
    ASSERT_NE(menus, nullptr);
    ui->CreateBuildMenus(&data);  // no menus in the data: none built, nothing breaks
    ui->CloseCanvases();
    EXPECT_EQ(ui->GetStack().GetNormalCount(), 1);
}

TEST_F(InGameInterfaceTest, MissingOrTooFewFontsDrawNothingAndNeverCrash)
{
    for (int fonts : {0, 1, 2, 3}) {
        uiDrawRecords.clear();
        locale->texts.clear();
        if (fonts == 0) {
            LoadData({}, false);
            ASSERT_EQ(ui->Create(&data), 1);
        } else {
            CreateWithFonts(fonts);
        }
        EXPECT_EQ(ui->GetFontCount(), fonts);
        ui->m_cursorValue = 7;
        ui->m_pHistoryPanel->AddMessage(4, 14);
        ui->OpenPanel(ui->m_pHistoryPanel.get());
        const char16_t extra[] = u"extra";
        ui->GetStack().Push(ui->m_pConfirmPanel.get(), 1);
        ui->AskConfirmation(nullptr, 3, 1, 0, extra);
        for (int frame = 0; frame < 10; frame++) {
            ui->SetTooltip(1, 0);
            Frame(0.25f);
        }
        // Only a font that is there draws: the cursor value needs font 0, the dates and extra line fonts 2 and 1.
        EXPECT_EQ(!TextsOf("7").empty(), fonts >= 1) << fonts;
        EXPECT_EQ(!TextsOf("extra").empty(), fonts >= 2) << fonts;
        EXPECT_EQ(!TextsOf("3.2005").empty(), fonts >= 3) << fonts;
        for (const UiTextRecord& text : locale->texts)
            EXPECT_NE(text.font, nullptr);
        ui->DestroyCanvases();
        data.Init();
    }

    // A font whose files are missing keeps its place and draws nothing.
    LoadData({"bigFont", "/images/fonts/figures"});
    ASSERT_EQ(ui->Create(&data), 1);
    EXPECT_EQ(ui->GetFontCount(), 2);
    uiDrawRecords.clear();
    ui->m_cursorValue = 7;
    Frame(0.1f);
    EXPECT_TRUE(TextsOf("7").empty());
    EXPECT_FALSE(TextsOf("1/2004").empty());
}

TEST_F(InGameInterfaceTest, TooltipWaitsThenStaysWhereItFirstShowed)
{
    CreateWithFonts();
    CFerroxFont* tooltipFont = ui->GetFont(3);
    auto tooltips = [&]() {
        std::vector<UiTextRecord> found;
        for (const UiTextRecord& text : locale->texts)
            if (text.font == tooltipFont)
                found.push_back(text);
        locale->texts.clear();
        return found;
    };
    auto request = [&](uint16_t text, float x, float y) {
        PointAt(x, y);
        ui->Update(0.25f);
        ui->SetTooltip(text, -1);
        ui->Render();
    };
    request(2, 300.0f, 300.0f);
    request(2, 300.0f, 300.0f);
    EXPECT_TRUE(tooltips().empty());  // 0.5 s
    request(2, 310.0f, 320.0f);
    std::vector<UiTextRecord> shown = tooltips();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].index, 2);
    EXPECT_EQ(shown[0].list, 0);  // the default list: general_tooltips
    EXPECT_EQ(shown[0].x, 310.0f);
    EXPECT_EQ(shown[0].y, 320);
    request(2, 350.0f, 340.0f);
    shown = tooltips();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].x, 310.0f);  // anchored

    // Hopping to another hot-spot draws its text at once, at the new place.
    request(3, 500.0f, 200.0f);
    shown = tooltips();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].index, 3);
    EXPECT_EQ(shown[0].x, 500.0f);

    // Leaving: the delay starts over; a request left during it draws once when it runs out.
    PointAt(100.0f, 100.0f);
    Frame(0.25f);
    EXPECT_FLOAT_EQ(ui->GetTooltipDelay(), 0.6f);
    request(4, 100.0f, 100.0f);
    PointAt(120.0f, 130.0f);
    Frame(0.25f);
    EXPECT_TRUE(tooltips().empty());
    Frame(0.25f);
    shown = tooltips();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].index, 4);
    Frame(0.25f);
    EXPECT_TRUE(tooltips().empty());
    EXPECT_FLOAT_EQ(ui->GetTooltipDelay(), 0.6f);
}

// The cost beside the pointer: over the 3D view only, and kept whole on the screen at its edges.
TEST_F(InGameInterfaceTest, CursorValueStaysOnTheScreenAndOffThePanels)
{
    CreateWithFonts();
    ui->m_cursorValue = 1000;
    const float width = 4 * CRecordingFontImpl::kCharWidth;
    auto drawnAt = [&](float x, float y, int32_t overInterface) {
        uiDrawRecords.clear();
        PointAt(x, y);
        mouse->GetPosition()->overInterface = overInterface;
        ui->Render();
        return TextsOf("1000");
    };
    std::vector<UiDrawRecord> shown = drawnAt(300.0f, 300.0f, 0);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_FLOAT_EQ(shown[0].x, 300.0f);
    shown = drawnAt(795.0f, 595.0f, 0);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_FLOAT_EQ(shown[0].x, 800.0f - width) << "pushed back from the right edge";
    EXPECT_FLOAT_EQ(shown[0].y, 600.0f - CRecordingFontImpl::kHeight) << "and from the top";
    EXPECT_TRUE(drawnAt(300.0f, 50.0f, 1).empty()) << "over a panel the panel's tooltips show instead";
    mouse->GetPosition()->overInterface = 0;
}

int g_shopRecord = 1;

InterfaceSelectionKind ClassifyByName(CFerroxObject* object, const void** record)
{
    const std::string name = object->GetName() ? object->GetName() : "";
    *record = &g_shopRecord;
    if (name == "shop")
        return INTERFACE_SELECTION_SHOP;
    if (name == "shopper")
        return INTERFACE_SELECTION_SHOPPER;
    if (name == "marker")
        return INTERFACE_SELECTION_NONE;
    return INTERFACE_SELECTION_OTHER;
}

TEST_F(InGameInterfaceTest, SelectedShopOpensItsCardAndSceneryClosesTheCards)
{
    InterfaceSetSelectionClassifier(ClassifyByName);
    CreateWithFonts();
    ui->OpenPanel(ui->m_pOptionsPanel.get());
    CFerroxObject shop, scenery, marker;
    shop.SetName("shop");
    scenery.SetName("bench");
    marker.SetName("marker");
    auto select = [&](CFerroxObject* object) {
        game->m_pSelectedObject = object;
        game->m_selectionChanged = 1;
        mouse->GetPosition()->left = FERROX_BUTTON_DOWN;
        ui->Update(0.01f);
        game->m_selectionChanged = 0;
    };

    select(&shop);
    EXPECT_EQ(ui->GetStack().GetNormalCount(), 2);  // main bar and the shop's card
    EXPECT_EQ(ui->samples, std::vector<int32_t>{kInterfaceShopSample});
    EXPECT_EQ(ui->m_pShopPopup->GetRecord(), &g_shopRecord);
    EXPECT_EQ(ui->m_pShopPopup->GetY(), kUiMainBarHeight - 8.0f);
    EXPECT_NE(mouse->GetPosition()->left, FERROX_BUTTON_DOWN);

    // An object that is none of the kinds changes nothing.
    select(&marker);
    EXPECT_EQ(ui->GetStack().GetNormalCount(), 2);
    EXPECT_EQ(mouse->GetPosition()->left, FERROX_BUTTON_DOWN);

    select(&scenery);
    EXPECT_EQ(ui->GetStack().GetNormalCount(), 1);
    EXPECT_NE(mouse->GetPosition()->left, FERROX_BUTTON_DOWN);

    // The game's own closing reaches the cards through the notice seam.
    select(&shop);
    EXPECT_EQ(ui->GetStack().GetNormalCount(), 2);
    game->ClosePopups();
    EXPECT_EQ(ui->GetStack().GetNormalCount(), 1);
    EXPECT_EQ(game->m_pSelectedObject, nullptr);
    ui->Update(0.01f);  // the changed flag with nothing selected
    EXPECT_EQ(ui->GetStack().GetNormalCount(), 1);
}

TEST_F(InGameInterfaceTest, GameNoticesQueueMessagesAndAskWithTheConfirmation)
{
    CreateWithFonts();
    game->QueueMessage(9);
    EXPECT_EQ(ui->m_pMainPanel->GetQueue(), (std::list<int32_t>{0, 9}));
    static int asked = 0;
    game->GetNotices()->AskConfirmation([]() { asked++; }, 35, 1, 0, "Stadt.fds");
    EXPECT_EQ(ui->GetStack().GetModalCount(), 1);
    uiDrawRecords.clear();
    ui->Render();
    EXPECT_FALSE(TextsOf("Stadt.fds").empty());
    ASSERT_NE(ui->m_pConfirmPanel->GetCallback(), nullptr);
    ui->m_pConfirmPanel->GetCallback()();
    EXPECT_EQ(asked, 1);

    // ClearData empties the queue and the history.
    ui->m_pHistoryPanel->AddMessage(1, 0);
    ui->ClearData();
    EXPECT_TRUE(ui->m_pMainPanel->GetQueue().empty());
    EXPECT_EQ(ui->m_pHistoryPanel->GetCount(), 0);
}

}  // namespace
