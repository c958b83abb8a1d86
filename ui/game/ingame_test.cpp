// The in-game interface: making and tearing down the panels, fonts, tooltips and the selection popups.
#include "ui/game/ingame_testing_local.h"

#include <algorithm>
#include <memory>
#include <tuple>

#include "engine/data/locale.h"

#include "ui/game/loadpanel.h"
#include "ui/game/savepanel.h"
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
    EXPECT_NE(dynamic_cast<CLoadPanel*>(ui->m_pLoadPanel.get()), nullptr);
    EXPECT_NE(dynamic_cast<CSavePanel*>(ui->m_pSavePanel.get()), nullptr);
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

// Tooltips with the catalogue's own texts: general ones, and the main bar's hot-spot text.
class TooltipTest : public UiGameTest {
protected:
    void SetUp() override
    {
        UiGameTest::SetUp();
        if (HasFatalFailure())
            return;
        const std::string texts = "<LANGUAGE>\n<general_tooltips>\n<0>\nManage the mall\n</0>\n"
                                  "</general_tooltips>\n<base>\n<0>\nMessages\n</0>\n</base>\n</LANGUAGE>\n";
        CFerroxTagTree tree;
        ASSERT_TRUE(tree.LoadFromMemory(texts.data(), texts.size()));
        auto catalogue = std::make_unique<CLocale>();
        catalogue->LoadTextsFromTree(tree);
        game->m_pLocale = std::move(catalogue);
        locale = nullptr;
        CreateWithFonts();
    }
    // One frame with the pointer at (x, bottom-up y), asking for text `text` of `list` unless it is negative.
    std::vector<UiDrawRecord> Rest(float x, float y, int text, float seconds = 0.25f, int16_t list = -1)
    {
        PointAt(x, y);
        ui->Update(seconds);
        if (text >= 0)
            ui->SetTooltip(static_cast<uint16_t>(text), list);
        uiDrawRecords.clear();
        ui->Render();
        std::vector<UiDrawRecord> tips;
        for (const UiDrawRecord& record : uiDrawRecords)
            if (record.picture == "Manage the mall" || record.picture == "Messages")
                tips.push_back(record);
        return tips;
    }
};

// The tooltip shows once the pointer has rested; a drawn tooltip puts the general list back, so a request without
// a list of its own reads it.
TEST_F(TooltipTest, ShowsOnceRestedThenARequestWithoutAListReadsTheGeneralList)
{
    const std::array<int32_t, 4> manage = UiMainButton(MAIN_MANAGE);
    const float x = static_cast<float>(manage[0] + manage[2] / 2), y = static_cast<float>(manage[1] + manage[3] / 2);
    const int16_t general = ui->m_defaultTooltipList;
    EXPECT_LT(ui->m_tooltipList, 0) << "no list is requested before a tooltip is drawn";
    EXPECT_TRUE(Rest(x, y, 0, 0.5f, general).empty());
    for (int16_t list : {general, int16_t{-1}}) {
        const std::vector<UiDrawRecord> shown = Rest(x, y, 0, 0.25f, list);
        ASSERT_EQ(shown.size(), 1u) << list;
        EXPECT_EQ(shown[0].picture, "Manage the mall");
    }
}

// Under a question the main bar is not routed: it keeps the hot-spot its last update found, and that hot-spot
// still asks for its text every frame the bar is drawn.
TEST_F(TooltipTest, AHotSpotUnderAQuestionKeepsAsking)
{
    EXPECT_TRUE(Rest(710.0f, 65.0f, -1).empty());
    std::vector<UiDrawRecord> shown = Rest(710.0f, 65.0f, -1, 1.0f);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].picture, "Messages");
    ui->GetStack().Push(ui->m_pConfirmPanel.get(), 1);
    for (int frame = 0; frame < 4; frame++) {
        shown = Rest(710.0f, 65.0f, -1);
        ASSERT_EQ(shown.size(), 1u) << frame;
        EXPECT_EQ(shown[0].picture, "Messages");
    }
    ui->GetStack().Remove(ui->m_pConfirmPanel.get());
}

// The cost at the pointer whenever it is not negative, over the 3D view and over panels alike, unclamped at the
// screen's edges, in font 0 with nothing under it.
TEST_F(InGameInterfaceTest, CursorValueStandsAtThePointer)
{
    CreateWithFonts();
    auto drawnAt = [&](float x, float y, int32_t overInterface) {
        uiDrawRecords.clear();
        PointAt(x, y);
        mouse->GetPosition()->overInterface = overInterface;
        ui->Render();
        return TextsOf("1000");
    };
    ui->m_cursorValue = 1000;
    for (const auto& [x, y, over] :
         {std::tuple{300.0f, 300.0f, 0}, std::tuple{795.0f, 595.0f, 0}, std::tuple{300.0f, 50.0f, 1}}) {
        const std::vector<UiDrawRecord> shown = drawnAt(x, y, over);
        ASSERT_EQ(shown.size(), 1u) << x << ", " << y;
        EXPECT_FLOAT_EQ(shown[0].x, x);
        EXPECT_FLOAT_EQ(shown[0].y, y);
        EXPECT_EQ(shown[0].alignment, FERROX_ALIGN_LEFT);
    }
    // 0 is a value too; -1 is none.
    const auto atPointer = [] {
        return std::count_if(uiDrawRecords.begin(), uiDrawRecords.end(),
                             [](const UiDrawRecord& record) { return record.x == 300.0f && record.y == 300.0f; });
    };
    ui->m_cursorValue = 0;
    drawnAt(300.0f, 300.0f, 0);
    EXPECT_EQ(atPointer(), 1);
    ui->m_cursorValue = -1;
    drawnAt(300.0f, 300.0f, 0);
    EXPECT_EQ(atPointer(), 0);
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
