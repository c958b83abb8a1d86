// Tests of the management menu, the finance page, the contracts panel and the hire page, drawn with the
// recording twins; the statistics and the technology tree are set by each test.
#include "ui/game/management.h"

#include <fstream>
#include <tuple>

#include "engine/testsupport/objects.h"

#include "engine/data/techtree.h"
#include "engine/world/clumpext.h"
#include "game/buildings/shop.h"
#include "game/world/templates.h"
#include "gfx/world/userdata.h"
#include "ui/game/ingame_testing_local.h"
#include "ui/game/popups.h"

namespace {

// Three contract categories; the second lacks its first contract.
constexpr char kContracts[] = "<TECHNOLOGIES>\n"
                              "<cleaning>\n<c1>\n1000\n299\n500\n</c1>\n<c2>\n1001\n300\n700\n</c2>\n</cleaning>\n"
                              "<engineering>\n<e2>\n2001\n150\n900\n</e2>\n</engineering>\n"
                              "<gardening>\n<g1>\n3000\n0\n100\n</g1>\n</gardening>\n"
                              "</TECHNOLOGIES>\n";

class ManagementTest : public UiGameTest {
protected:
    void SetUp() override
    {
        UiGameTest::SetUp();
        if (HasFatalFailure())
            return;
        std::vector<std::array<int32_t, 4>> five, fourteen;
        for (int k = 0; k < 5; k++)
            five.push_back({10 + 30 * k, 10, 20, 20});
        for (int k = 0; k < 14; k++)
            fourteen.push_back({10 + 30 * k, 300, 20, 20});
        UiPaintPanel("images/panels/main/manage/00_start.png", 200, 60, five);
        UiPaintPanel("images/panels/finance/finance.png", 700, 340, fourteen);
        UiPaintPanel("images/panels/contractors/contractors.png", 400, 260, {{370, 230, 20, 20}});
        UiPaintPanel("images/panels/hire/hire.png", 300, 230, {{270, 200, 20, 20}});
        // The pictures at the sizes the game's have.
        for (const char* button : {"images/panels/contractors/ok.png", "images/panels/hire/ok.png"})
            ASSERT_TRUE(UiPicture(20, 12, {200, 120, 0, 255}).Write(button));
        for (const char* button : {"images/panels/shoppopup/plus.png", "images/panels/shoppopup/minus.png"})
            ASSERT_TRUE(UiPicture(14, 12, {200, 120, 0, 255}).Write(button));
        for (const char* category : {"images/panels/finance/shopcat-fashion.png",
                                     "images/panels/finance/shopcat-food.png", "images/panels/staff/clean.png"})
            ASSERT_TRUE(UiPicture(14, 14, {200, 120, 0, 255}).Write(category));
        stats = CDynamicObjectManager::Instance()->GetStatistics();
        game->m_pTechTree = std::make_unique<CFerroxTechTree>();
        CFerroxTagTree technologies;
        ASSERT_TRUE(technologies.LoadFromMemory(kContracts, sizeof(kContracts) - 1));
        ASSERT_EQ(game->m_pTechTree->LoadTechnologies(&technologies, nullptr), 1);
        for (uint16_t id : {1000, 1001, 2001, 3000})
            game->m_pTechTree->FindEntry(id)->state = FERROX_TECH_WAITING;
        stats->m_categories = {0, 0, 0};
    }
    void TearDown() override
    {
        stats = nullptr;
        UiGameTest::TearDown();
    }
    CMallSummaryPanel* Finance() { return dynamic_cast<CMallSummaryPanel*>(ui->m_pMallSummaryPanel.get()); }
    CContractsPanel* Contracts() { return dynamic_cast<CContractsPanel*>(ui->m_pContractsPanel.get()); }
    CStaffHirePanel* Hire() { return dynamic_cast<CStaffHirePanel*>(ui->m_pStaffHirePanel.get()); }
    void Shops(uint16_t count)
    {
        records.assign(count, ShopRecord{});
        stats->m_shops.clear();
        for (ShopRecord& record : records)
            stats->m_shops.push_back(&record);
        stats->m_shopCount = count;
    }
    int VisibleRowButtons()
    {
        int visible = 0;
        for (int32_t i = Finance()->GetFirstRowButton(); i < Finance()->GetWidgetCount(); i++)
            visible += Finance()->GetWidget(i)->m_visible;
        return visible;
    }
    // Whether the panel's background is drawn with the open canvases.
    bool OnScreen(const std::string& picture)
    {
        uiDrawRecords.clear();
        ui->Render();
        return Drew(picture);
    }

    CStatistics* stats = nullptr;
    std::vector<ShopRecord> records;
};

// ---- Management menu ----

TEST_F(ManagementTest, MenuOpensThePanelsAndAFurtherWidgetClosesAll)
{
    ASSERT_NO_FATAL_FAILURE(CreateWithFonts());
    CFerroxCanvas* menu = ui->m_pManagementPanel.get();
    ASSERT_EQ(menu->GetWidgetCount(), 6);

    Open(menu);
    Press(menu, MANAGEMENT_FINANCE);
    ui->Update(0.01f);
    EXPECT_TRUE(OnScreen("finance.png"));
    EXPECT_FALSE(OnScreen("manage/00_start.png"));
    EXPECT_EQ(std::count(ui->samples.begin(), ui->samples.end(), kManagementFinanceSample), 1);

    Open(menu);
    Press(menu, MANAGEMENT_CONTRACTS);
    EXPECT_TRUE(OnScreen("contractors.png"));
    EXPECT_FALSE(OnScreen("finance.png"));
    EXPECT_EQ(std::count(ui->samples.begin(), ui->samples.end(), kManagementFinanceSample), 1);

    // The fifth widget closes the menu with everything else; hovering it shows no tooltip.
    Open(menu);
    ui->GetStack().Push(ui->m_pHistoryPanel.get(), 0);
    ui->m_tooltipText = 0xFFFF;
    menu->OnWidgetEvent(5, FERROX_WIDGET_OVER);
    EXPECT_EQ(ui->m_tooltipText, 0xFFFF);
    menu->OnWidgetEvent(MANAGEMENT_CONTRACTS, FERROX_WIDGET_OVER);
    EXPECT_EQ(ui->m_tooltipText, 3);
    Press(menu, 5);
    EXPECT_FALSE(OnScreen("manage/00_start.png"));
    EXPECT_FALSE(OnScreen("messages.png"));
    EXPECT_TRUE(OnScreen("base.png"));

    // Each panel the menu opens stands on top of the main bar, its bottom on the bar's top.
    const std::pair<int32_t, CFerroxCanvas*> opened[] = {{MANAGEMENT_FINANCE, Finance()},
                                                         {MANAGEMENT_SHOPPERS, ui->m_pShopperSummaryPanel.get()},
                                                         {MANAGEMENT_STAFF, ui->m_pStaffSummaryPanel.get()},
                                                         {MANAGEMENT_CONTRACTS, Contracts()}};
    for (const auto& [button, panel] : opened) {
        Open(menu);
        panel->SetPosition(0.0f, 0.0f, 1);
        Press(menu, button);
        EXPECT_EQ(panel->GetX(), 0.0f) << button;
        EXPECT_EQ(panel->GetY(), kUiMainBarHeight) << button;
    }
}

// ---- Finance ----

TEST_F(ManagementTest, FinanceSettingsStayWithinTheirBounds)
{
    ASSERT_NO_FATAL_FAILURE(CreateWithFonts());
    CMallSummaryPanel* finance = Finance();
    ASSERT_NE(finance, nullptr);
    ASSERT_EQ(finance->GetFirstRowButton(), 15);

    stats->m_baseCharge = 0;
    Press(finance, FINANCE_CHARGE_DOWN);
    EXPECT_EQ(stats->m_baseCharge, 0);
    stats->m_baseCharge = 1000;
    Press(finance, FINANCE_CHARGE_UP);
    EXPECT_EQ(stats->m_baseCharge, 1000);
    stats->m_baseCharge = 100;
    for (int i = 0; i < 3; i++)
        Press(finance, FINANCE_CHARGE_UP);
    EXPECT_EQ(stats->m_baseCharge, 250);
    // A loaded charge off the steps never wraps below 0.
    stats->m_baseCharge = 30;
    Press(finance, FINANCE_CHARGE_DOWN);
    EXPECT_EQ(stats->m_baseCharge, 0);
    stats->m_baseCharge = 250;

    stats->m_bonusUnit = 10000;
    Press(finance, FINANCE_STAKE_UP);
    EXPECT_EQ(stats->m_bonusUnit, 10000);
    stats->m_bonusUnit = 0;
    Press(finance, FINANCE_STAKE_DOWN);
    EXPECT_EQ(stats->m_bonusUnit, 0);
    Press(finance, FINANCE_STAKE_UP);
    EXPECT_EQ(stats->m_bonusUnit, 1000);

    // The inert buttons change nothing.
    Press(finance, 8);
    EXPECT_EQ(stats->m_baseCharge, 250);
    EXPECT_EQ(stats->m_bonusUnit, 1000);
}

TEST_F(ManagementTest, FinanceListPagesAndShowsOnlyListedShops)
{
    ASSERT_NO_FATAL_FAILURE(CreateWithFonts());
    CMallSummaryPanel* finance = Finance();
    Shops(20);
    for (uint16_t expected : {9, 18, 18}) {
        Press(finance, FINANCE_LIST_DOWN);
        EXPECT_EQ(finance->GetFirstRow(), expected);
    }
    RenderOnly(finance);
    EXPECT_EQ(VisibleRowButtons(), 4);
    Press(finance, FINANCE_LIST_UP);
    Press(finance, FINANCE_LIST_UP);
    EXPECT_EQ(finance->GetFirstRow(), 0);

    // When the shops below the first shown row vanish, no row shows and the next event goes back to the top.
    Press(finance, FINANCE_LIST_DOWN);
    Press(finance, FINANCE_LIST_DOWN);
    Shops(5);
    RenderOnly(finance);
    EXPECT_EQ(VisibleRowButtons(), 0);
    finance->OnWidgetEvent(1, FERROX_WIDGET_NOT_OVER);
    EXPECT_EQ(finance->GetFirstRow(), 0);

    RenderOnly(finance);
    EXPECT_EQ(VisibleRowButtons(), 10);
    // A hidden pair ignores presses (its records have no shop to charge).
    Press(finance, finance->GetFirstRowButton() + 12);
    // Pair k charges the shop of row k: plus raises its charge by a step, minus lowers it.
    CShop shop;
    stats->m_shops[1] = &shop.GetRecord();
    stats->m_baseCharge = 100;
    const int16_t charge = shop.GetRecord().chargeAdjust;
    Press(finance, finance->GetFirstRowButton() + 2);
    EXPECT_EQ(shop.GetRecord().chargeAdjust, charge + 50);
    Press(finance, finance->GetFirstRowButton() + 3);
    Press(finance, finance->GetFirstRowButton() + 3);
    EXPECT_EQ(shop.GetRecord().chargeAdjust, charge - 50);
    stats->m_shops[1] = &records[1];

    // Category pictures outside the table draw nothing.
    records[0].category = 0;
    records[1].category = 5;
    records[2].category = kShopCategoryCount;
    records[3].category = 0xFFFF;
    records[4].category = kShopCategoryCount + 1;
    RenderOnly(finance);
    EXPECT_EQ(TextsOf("shopcat").size(), 0u);
    int pictures = 0;
    for (const UiDrawRecord& record : uiDrawRecords)
        pictures += record.picture.find("shopcat-") != std::string::npos;
    EXPECT_EQ(pictures, 2);
}

// Shop line k stands at (25, 165 - 15k) of the page: its number there, its name 25 further, its category picture
// at (410, -16) from the line, on the page and clear of every line's figures; its charge buttons at (509, 159 -
// 15k) and (557, 159 - 15k).
TEST_F(ManagementTest, FinanceShopLinesStandWhereThePagePutsThem)
{
    ASSERT_TRUE(UiPicture(14, 14, {200, 120, 0, 255}).Write("images/panels/finance/shopcat-fashion.png"));
    ASSERT_NO_FATAL_FAILURE(CreateWithFonts());
    CMallSummaryPanel* finance = Finance();
    Shops(3);
    for (uint16_t k = 0; k < 3; k++)
        records[k].shopNumber = static_cast<uint16_t>(97 + k);
    Open(finance);
    locale->texts.clear();
    RenderOnly(finance);
    ASSERT_EQ(locale->texts.size(), 3u);
    std::vector<UiDrawRecord> pictures;
    for (const UiDrawRecord& record : uiDrawRecords)
        if (record.picture.find("shopcat-") != std::string::npos)
            pictures.push_back(record);
    ASSERT_EQ(pictures.size(), 3u);
    const float x = finance->GetX(), y = finance->GetY();
    for (uint16_t k = 0; k < 3; k++) {
        const float row = y + 165.0f - 15.0f * k;
        const std::vector<UiDrawRecord> number = TextsOf(std::to_string(97 + k));
        ASSERT_EQ(number.size(), 1u);
        EXPECT_FLOAT_EQ(number[0].x, x + 25.0f);
        EXPECT_FLOAT_EQ(number[0].y, row);
        EXPECT_FLOAT_EQ(locale->texts[k].x, x + 50.0f);
        EXPECT_FLOAT_EQ(static_cast<float>(locale->texts[k].y), row);
        // The picture's own clear columns and rows bring what it shows onto the line.
        EXPECT_FLOAT_EQ(pictures[k].x, x + 25.0f - 365.0f);
        EXPECT_FLOAT_EQ(pictures[k].y, row - 16.0f);
        for (int32_t side = 0; side < 2; side++) {
            const float* button = finance->GetWidgetRect(finance->GetFirstRowButton() + 2 * k + side);
            ASSERT_NE(button, nullptr);
            EXPECT_FLOAT_EQ(button[0], side ? 557.0f : 509.0f) << "charge button " << side << " of line " << k;
            EXPECT_FLOAT_EQ(button[1], 159.0f - 15.0f * k) << "charge button " << side << " of line " << k;
        }
    }
}

TEST_F(ManagementTest, FinanceBarsAndAverages)
{
    ASSERT_NO_FATAL_FAILURE(CreateWithFonts());
    CMallSummaryPanel* finance = Finance();
    stats->m_dirtPenalty = 0;
    stats->m_criminalsPresent = 0;

    stats->m_rating = -1000;
    RenderOnly(finance);
    EXPECT_TRUE(Bars().empty());
    stats->m_rating = 0;
    RenderOnly(finance);
    ASSERT_EQ(Bars().size(), 1u);
    EXPECT_EQ(Bars()[0].tint.green, 255);
    EXPECT_EQ(Bars()[0].tint.red, 0);
    stats->m_rating = -1;
    RenderOnly(finance);
    ASSERT_EQ(Bars().size(), 1u);
    EXPECT_EQ(Bars()[0].tint.red, 255);

    stats->m_dirtPenalty = 1;
    stats->m_criminalsPresent = 3;
    RenderOnly(finance);
    ASSERT_EQ(Bars().size(), 2u);
    EXPECT_EQ(Bars()[1].tint.red, 190);

    // Month 0 divides by one: every average equals its total.
    stats->m_chargesReceived = 4321;
    stats->m_rentExpense = 7000;
    game->m_dayCounter = 0;
    RenderOnly(finance);
    EXPECT_EQ(TextsOf("4321").size(), 2u);
    EXPECT_EQ(TextsOf("7000").size(), 2u);
    game->m_dayCounter = 1;
    RenderOnly(finance);
    EXPECT_EQ(TextsOf("4321").size(), 1u);
    EXPECT_EQ(TextsOf("2160").size(), 1u);

    // Where the page puts them: right ends from its corner, and the bars' corners.
    const float x = finance->GetX(), y = finance->GetY();
    stats->m_baseCharge = 350;
    stats->m_baseRating = 77;
    stats->m_ratingPlus = 64;
    RenderOnly(finance);
    const auto right = [this](const char* text, float atX, float atY) {
        const std::vector<UiDrawRecord> drawn = TextsOf(text);
        ASSERT_EQ(drawn.size(), 1u) << text;
        EXPECT_FLOAT_EQ(drawn[0].x + drawn[0].width, atX) << text;
        EXPECT_FLOAT_EQ(drawn[0].y, atY) << text;
    };
    right("4321", x + 120.0f, y + 287.0f);
    right("2160", x + 172.0f, y + 287.0f);
    right("7000", x + 293.0f, y + 290.0f);
    right("3500", x + 345.0f, y + 290.0f);
    right("350", x + 555.0f, y + 291.0f);
    right("77", x + 593.0f, y + 230.0f);
    right("64", x + 460.0f, y + 255.0f);
    right("32", x + 508.0f, y + 255.0f);
    right("2/2004", x + 565.0f, y + 320.0f);
    ASSERT_EQ(Bars().size(), 2u);
    EXPECT_FLOAT_EQ(Bars()[0].x, x + 400.0f);
    EXPECT_FLOAT_EQ(Bars()[0].y, y + 225.0f);
    EXPECT_FLOAT_EQ(Bars()[1].x, x + 400.0f);
    EXPECT_FLOAT_EQ(Bars()[1].y, y + 210.0f);
}

// A mall of some storeys shown from one of them.
class Storeys : public CGameFloors {
public:
    void GoDown() override {}
    void GoUp() override {}
    void SelectTile(int32_t) override {}
    int32_t GetCurrentFloor() override { return shown; }
    int32_t GetBuiltFloors() override { return built; }
    int32_t shown = 0, built = 3;
};

// The finance page counts the storeys built: the same from each storey, one figure following the count.
TEST_F(ManagementTest, FinanceFloorsCountTheStoreysBuiltWhicheverIsShown)
{
    ASSERT_NO_FATAL_FAILURE(CreateWithFonts());
    Storeys floors;
    game->SetFloors(&floors);
    auto figures = [&]() {
        RenderOnly(Finance());
        std::vector<std::tuple<std::string, float, float>> drawn;
        for (const UiDrawRecord& record : uiDrawRecords)
            drawn.emplace_back(record.picture, record.x, record.y);
        return drawn;
    };
    figures();  // the first drawing hides the row buttons of no shop
    const auto fromGround = figures();
    floors.shown = 2;
    EXPECT_EQ(figures(), fromGround);
    floors.built = 7;
    const auto sevenStoreys = figures();
    game->SetFloors(nullptr);
    ASSERT_EQ(sevenStoreys.size(), fromGround.size());
    std::vector<std::string> changed;
    for (size_t i = 0; i < fromGround.size(); i++)
        if (sevenStoreys[i] != fromGround[i])
            changed.push_back(std::get<0>(fromGround[i]) + ">" + std::get<0>(sevenStoreys[i]));
    EXPECT_EQ(changed, std::vector<std::string>{"3>7"});
}

// The figures of a running game keep apart where the finance page puts them: drawn as wide as the game's fonts
// draw figures, no two on a row come within 4 pixels. The contracts and the hire page hold the widest figures
// they can show, each in its own column.
TEST_F(ManagementTest, PanelsKeepTheirFiguresApart)
{
    constexpr float kGap = 4.0f;
    // The contract rows' figures stand closer: a running contract's bar starts where the level's daily cost ends.
    constexpr float kTouching = 0.0f;
    // Figures as high as their digits stand over the baseline, pictures and bars as they are.
    const auto digits = [](std::vector<UiDrawRecord> drawn) {
        constexpr float kDigitsHeight = 9.0f;
        for (UiDrawRecord& record : drawn)
            if (record.picture.find(".png") == std::string::npos && record.picture.rfind("text ", 0) != 0)
                record.height = kDigitsHeight;
        return drawn;
    };
    constexpr uint16_t kMost = 0xFFFF;
    constexpr int16_t kShopNames = 6, kCategories = 7, kJobTitles = 8;  // lists of the recording locale
    locale->lists.insert(locale->lists.end(), {"shopnames", "contractcategories", "jobtitles"});
    ASSERT_NO_FATAL_FAILURE(CreateWithFonts());
    MeasureLikeTheGame();
    Storeys floors;
    floors.built = 99;
    game->SetFloors(&floors);
    game->m_startYear = 2004;
    stats->m_startingFunds = 0;
    stats->m_bonusCount = kMost;
    stats->m_bonusUnit = 10000;
    stats->m_baseCharge = 1000;
    stats->m_ratingPlus = -9999;
    stats->m_baseRating = INT16_MIN;
    Shops(2);
    stats->m_shopCount = kMost;
    for (ShopRecord& record : records) {
        record.shopNumber = 99;
        record.salesCount = 9999;
        record.takingsTotal = 999999;
        record.chargesPaid = 99999;
        record.chargeAdjust = 1000;
    }
    CMallSummaryPanel* finance = Finance();
    PointAt(790.0f, 590.0f);
    finance->Update();
    RenderOnly(finance);
    // The first month, whose totals are a month's and equal their averages, then December of a long game.
    for (uint16_t counter : {uint16_t{0}, uint16_t{95}}) {
        game->m_dayCounter = counter;
        for (uint32_t* total : {&stats->m_incomeTotal, &stats->m_chargesReceived, &stats->m_yearlyBonuses,
                                &stats->m_expenseTotal, &stats->m_rentExpense, &stats->m_staffWages,
                                &stats->m_buildingCosts, &stats->m_contractExpenses, &stats->m_interest})
            *total = counter ? 9599999u : 999999u;
        locale->texts.clear();
        RenderOnly(finance);
        ASSERT_EQ(TextsOf(counter ? "9599999" : "999999").size(), counter ? 9u : 20u);
        ASSERT_EQ(TextsOf(counter ? "12/2011" : "1/2004").size(), 1u);
        ASSERT_EQ(TextsOf("99").size(), 3u);  // the storeys and the two shops' numbers
        ExpectApart(Figures(DrawnOn("finance.png", kShopNames, kShopNameRoom)), kGap, finance->GetX());
    }
    game->SetFloors(nullptr);

    // The contracts and the hire page at the widest figures a running game shows: the last level of the content's
    // three contracts a category, its dearest and longest contract, and its dearest job.
    CContractsPanel* contracts = Contracts();
    constexpr uint16_t kLastLevel = 3;
    stats->m_categories = {kLastLevel, kLastLevel, kLastLevel};
    for (uint16_t id : {1000, 3000}) {
        game->m_pTechTree->FindEntry(id)->extra = 8000;
        game->m_pTechTree->FindEntry(id)->duration = 900;
    }
    contracts->Update();
    locale->texts.clear();
    RenderOnly(contracts);
    ASSERT_EQ(TextsOf("300").size(), 3u);
    ASSERT_EQ(TextsOf("6").size(), 2u);
    ExpectApart(digits(DrawnOn("contractors.png", kCategories, kContractNameRoom)), kTouching, 0.0f);
    game->m_pTechTree->FindEntry(1000)->progress = 450;  // running: its bar takes the time's place
    locale->texts.clear();
    RenderOnly(contracts);
    ASSERT_EQ(Bars().size(), 1u);
    ExpectApart(digits(DrawnOn("contractors.png", kCategories, kContractNameRoom)), kTouching, 0.0f);

    CStaffHirePanel* hire = Hire();
    stats->m_categories = {kLastLevel, kLastLevel, kLastLevel, kLastLevel};
    for (const auto& entry : hire->GetEntries())
        entry->baseWage = 250;
    hire->Update();
    locale->texts.clear();
    RenderOnly(hire);
    ASSERT_EQ(TextsOf("400").size(), 4u);
    ExpectApart(DrawnOn("hire.png", kJobTitles, kHireTitleRoom), kGap, 0.0f);
}

TEST_F(ManagementTest, PanelsDrawNoFiguresWithoutTheirFonts)
{
    ASSERT_NO_FATAL_FAILURE(CreateWithFonts(1));
    Shops(3);
    stats->m_chargesReceived = 4321;
    for (CFerroxCanvas* panel :
         {ui->m_pMallSummaryPanel.get(), ui->m_pContractsPanel.get(), ui->m_pStaffHirePanel.get()}) {
        RenderOnly(panel);
        for (const UiDrawRecord& record : uiDrawRecords)
            EXPECT_NE(record.picture.find(".png"), std::string::npos) << record.picture;
    }
    EXPECT_TRUE(locale->texts.empty());
}

// ---- Contracts ----

TEST_F(ManagementTest, ContractsKeepOneSlotAndButtonPerCategory)
{
    ASSERT_NO_FATAL_FAILURE(CreateWithFonts());
    CContractsPanel* contracts = Contracts();
    ASSERT_NE(contracts, nullptr);
    const uint16_t first = contracts->GetFirstButton();
    ASSERT_EQ(contracts->GetSlots().size(), 3u);
    ASSERT_EQ(contracts->GetWidgetCount(), first + 3);
    EXPECT_EQ(contracts->GetSlots()[1], nullptr);
    EXPECT_FALSE(contracts->GetWidget(first + 1)->m_visible);
    EXPECT_TRUE(contracts->GetWidget(first + 2)->m_visible);

    // The third button signs the third category, not the one after the gap.
    Press(contracts, first + 1);
    EXPECT_EQ(stats->m_contractExpenses, 0u);
    Press(contracts, first + 2);
    EXPECT_EQ(game->m_pTechTree->FindEntry(3000)->state, FERROX_TECH_DEVELOPING);
    EXPECT_EQ(stats->m_contractExpenses, 100u);
    EXPECT_FALSE(contracts->GetWidget(first + 2)->m_visible);
    // A signed contract cannot be signed again.
    Press(contracts, first + 2);
    EXPECT_EQ(stats->m_contractExpenses, 100u);

    // A running contract of no length shows a full yellow bar, and no duration.
    game->m_pTechTree->FindEntry(3000)->progress = 1;
    RenderOnly(contracts);
    ASSERT_EQ(Bars().size(), 1u);
    EXPECT_EQ(Bars()[0].tint.blue, 0);
    EXPECT_EQ(Bars()[0].tint.green, 255);

    // An empty slot stays empty when advanced; an index past the slots is ignored.
    contracts->AdvanceContract(1);
    contracts->AdvanceContract(7);
    EXPECT_EQ(contracts->GetSlots()[1], nullptr);
    contracts->LoadContracts();
    EXPECT_EQ(contracts->GetSlots()[0], game->m_pTechTree->FindEntry(1000));
}

TEST_F(ManagementTest, ContractRowsShowLevelPriceDurationOrDashes)
{
    ASSERT_NO_FATAL_FAILURE(CreateWithFonts());
    CContractsPanel* contracts = Contracts();
    stats->m_categories = {3, 0};
    RenderOnly(contracts);
    // The category past the level list shows -1; the one without contracts shows two dashes.
    EXPECT_EQ(TextsOf("-1").size(), 1u);
    EXPECT_EQ(TextsOf("-").size(), 2u);

    // After the last contract of the first category, its row shows dashes too.
    contracts->AdvanceContract(0);
    EXPECT_EQ(contracts->GetSlots()[0], game->m_pTechTree->FindEntry(1001));
    contracts->AdvanceContract(0);
    EXPECT_EQ(contracts->GetSlots()[0], nullptr);
    RenderOnly(contracts);
    EXPECT_EQ(TextsOf("-").size(), 4u);
    EXPECT_EQ(locale->texts.size(), 6u);

    // Closing touches no contract.
    Open(contracts);
    Click(contracts->GetX() + 380.0f, contracts->GetY() + 240.0f);
    EXPECT_FALSE(OnScreen("contractors.png"));
    EXPECT_EQ(game->m_pTechTree->FindEntry(3000)->state, FERROX_TECH_WAITING);
    EXPECT_EQ(stats->m_contractExpenses, 0u);
}

// The rows stand at their places on the screen wherever the panel is, each figure aligned on its column; each OK
// button, in the panel, covers the middle of its row's digits once the management menu has opened the panel on
// top of the main bar.
TEST_F(ManagementTest, ContractRowsAndOkButtonsStandWhereThePanelPutsThem)
{
    ASSERT_NO_FATAL_FAILURE(CreateWithFonts());
    CContractsPanel* contracts = Contracts();
    stats->m_categories = {2, 3, 4};
    game->m_pTechTree->FindEntry(3000)->progress = 1;  // the third row's contract runs
    Open(ui->m_pManagementPanel.get());
    Press(ui->m_pManagementPanel.get(), MANAGEMENT_CONTRACTS);
    ASSERT_TRUE(OnScreen("contractors.png"));
    const auto expectAt = [this](const std::string& text, float column, float row, int32_t alignment) {
        const std::vector<UiDrawRecord> drawn = TextsOf(text);
        ASSERT_EQ(drawn.size(), 1u) << text;
        EXPECT_EQ(drawn[0].y, row) << text;
        EXPECT_EQ(drawn[0].alignment, alignment) << text;
        EXPECT_EQ(alignment == FERROX_ALIGN_RIGHT ? drawn[0].x + drawn[0].width : drawn[0].x, column) << text;
    };
    for (const auto& [x, y] : {std::pair{0.0f, kUiMainBarHeight}, std::pair{40.0f, 100.0f}}) {
        contracts->SetPosition(x, y, 1);
        locale->texts.clear();
        RenderOnly(contracts);
        ASSERT_EQ(locale->texts.size(), 3u);
        for (uint16_t k = 0; k < 3; k++) {
            EXPECT_EQ(locale->texts[k].index, k);
            EXPECT_EQ(locale->texts[k].x, 25.0f);
            EXPECT_EQ(locale->texts[k].y, static_cast<int>(238 - 15 * k));
        }
        expectAt("2", 215.0f, 238.0f, FERROX_ALIGN_RIGHT);
        expectAt("200", 280.0f, 238.0f, FERROX_ALIGN_RIGHT);
        expectAt("500", 250.0f, 238.0f, FERROX_ALIGN_RIGHT);
        expectAt("1", 312.0f, 238.0f, FERROX_ALIGN_RIGHT);  // 299 steps
        expectAt("3", 215.0f, 223.0f, FERROX_ALIGN_RIGHT);
        expectAt("300", 280.0f, 223.0f, FERROX_ALIGN_RIGHT);
        const std::vector<UiDrawRecord> dashes = TextsOf("-");
        ASSERT_EQ(dashes.size(), 2u);
        for (const auto& [dash, column] : {std::pair{dashes[0], 233.0f}, std::pair{dashes[1], 295.0f}}) {
            EXPECT_EQ(dash.x, column);
            EXPECT_EQ(dash.y, 223.0f);
            EXPECT_EQ(dash.alignment, FERROX_ALIGN_LEFT);
        }
        expectAt("4", 215.0f, 208.0f, FERROX_ALIGN_RIGHT);
        expectAt("400", 280.0f, 208.0f, FERROX_ALIGN_RIGHT);
        expectAt("100", 250.0f, 208.0f, FERROX_ALIGN_RIGHT);
        ASSERT_EQ(Bars().size(), 1u);
        EXPECT_EQ(Bars()[0].x, 280.0f);
        EXPECT_EQ(Bars()[0].y, 203.0f);
    }

    contracts->SetPosition(0.0f, kUiMainBarHeight, 1);
    constexpr float kDigitsMiddle = 4.5f;  // the figures' digits' middle over their baseline
    const uint16_t first = contracts->GetFirstButton();
    for (uint16_t k = 0; k < 3; k++) {
        const float* ok = contracts->GetWidgetRect(first + k);
        ASSERT_NE(ok, nullptr);
        EXPECT_EQ(ok[0], 315.0f);
        EXPECT_EQ(ok[1], 152.0f - 15.0f * k);
        const float middle = 238.0f - 15.0f * k + kDigitsMiddle;
        EXPECT_LT(contracts->GetY() + ok[1], middle) << "OK button " << k;
        EXPECT_GT(contracts->GetY() + ok[1] + ok[3], middle) << "OK button " << k;
    }
}

// ---- Hire ----

// The contracts and hire pages share their rows' OK buttons: white under the mouse and orange off it, while the
// page's own hot spots show only under it; the close widget takes the page off the screen.
TEST_F(ManagementTest, RowPagesLightTheirButtonsAndCloseThemselves)
{
    ASSERT_NO_FATAL_FAILURE(CreateWithFonts());
    const struct {
        CRowButtonPanel* page;
        int32_t close;
        const char* picture;
        const char* ok;
    } pages[] = {{Contracts(), CONTRACTS_CLOSE, "contractors.png", "contractors/ok.png"},
                 {Hire(), HIRE_CLOSE, "hire.png", "hire/ok.png"}};
    for (const auto& p : pages) {
        ASSERT_NE(p.page, nullptr);
        const int32_t ok = p.page->GetFirstButton();
        for (const auto& [event, green] :
             {std::pair{FERROX_WIDGET_OVER, 255}, std::pair{FERROX_WIDGET_NOT_OVER, 128}}) {
            p.page->OnWidgetEvent(ok, event);
            RenderOnly(p.page);
            const std::vector<UiDrawRecord> buttons = DrawsOf(p.ok);
            ASSERT_FALSE(buttons.empty()) << p.picture;
            EXPECT_EQ(buttons[0].tint.green, green) << p.picture;
            EXPECT_EQ(buttons[0].tint.red, 255) << p.picture;
        }
        CFerroxWidget* close = p.page->GetWidget(p.close);
        p.page->OnWidgetEvent(p.close, FERROX_WIDGET_OVER);
        EXPECT_TRUE(close->m_visible) << p.picture;
        p.page->OnWidgetEvent(p.close, FERROX_WIDGET_NOT_OVER);
        EXPECT_FALSE(close->m_visible) << p.picture;
        Open(p.page);
        EXPECT_TRUE(OnScreen(p.picture));
        const float* rect = p.page->GetWidgetRect(p.close);
        ASSERT_NE(rect, nullptr);
        Click(p.page->GetX() + rect[0] + rect[2] / 2.0f, p.page->GetY() + rect[1] + rect[3] / 2.0f);
        EXPECT_FALSE(OnScreen(p.picture)) << p.picture;
    }
}

TEST_F(ManagementTest, HireValuesDefaultToZero)
{
    HireEntry entry{7, 7, 0, 7, nullptr, nullptr, nullptr};
    HireReadValues({"2", "1"}, &entry);
    EXPECT_EQ(entry.titleIndex, 2);
    EXPECT_EQ(entry.imageIndex, 1);
    EXPECT_EQ(entry.baseWage, 0);
    HireReadValues({"x", "70000", "300"}, &entry);
    EXPECT_EQ(entry.titleIndex, 0);
    EXPECT_EQ(entry.imageIndex, 0);
    EXPECT_EQ(entry.baseWage, 300);
}

TEST_F(ManagementTest, HireRowsWithoutTemplatesShowZerosAndHireNothing)
{
    ASSERT_NO_FATAL_FAILURE(CreateWithFonts());
    CStaffHirePanel* hire = Hire();
    ASSERT_NE(hire, nullptr);
    ASSERT_EQ(hire->GetEntries().size(), 4u);
    stats->m_categories = {2, 0, 0, 0};
    RenderOnly(hire);
    // Level 2 of a job without a wage: 2 and 100.
    EXPECT_EQ(TextsOf("2").size(), 1u);
    EXPECT_EQ(TextsOf("100").size(), 1u);

    // Each row's title, picture and figures stand at their places on the screen; opened from the staff page on
    // top of the main bar, each OK button covers the middle of its row's digits.
    hire->SetPosition(0.0f, kUiMainBarHeight, 1);  // where the staff page opens it
    locale->texts.clear();
    RenderOnly(hire);
    ASSERT_EQ(locale->texts.size(), 4u);
    const std::vector<UiDrawRecord> pictures = DrawsOf("staff/clean.png");
    ASSERT_EQ(pictures.size(), 4u);
    for (uint16_t k = 0; k < 4; k++) {
        const float row = 212.0f - 15.0f * k;
        EXPECT_EQ(locale->texts[k].x, 25.0f);
        EXPECT_EQ(locale->texts[k].y, static_cast<int>(row));
        EXPECT_EQ(pictures[k].x, 150.0f);
        EXPECT_EQ(pictures[k].y, row - 7.0f);
        const float* ok = hire->GetWidgetRect(hire->GetFirstButton() + k);
        ASSERT_NE(ok, nullptr);
        EXPECT_EQ(ok[0], 255.0f);
        EXPECT_EQ(ok[1], 127.0f - 15.0f * k);
        EXPECT_LT(hire->GetY() + ok[1], row + 4.5f) << "OK button " << k;
        EXPECT_GT(hire->GetY() + ok[1] + ok[3], row + 4.5f) << "OK button " << k;
    }
    ASSERT_EQ(TextsOf("2").size(), 1u);
    EXPECT_EQ(TextsOf("2")[0].y, 212.0f);
    EXPECT_EQ(TextsOf("2")[0].x + TextsOf("2")[0].width, 215.0f);
    ASSERT_EQ(TextsOf("100").size(), 1u);
    EXPECT_EQ(TextsOf("100")[0].x + TextsOf("100")[0].width, 246.0f);
    EXPECT_EQ(TextsOf("100")[0].y, 212.0f);

    Press(hire, hire->GetFirstButton() + 3);
    hire->HireStaff(9);
    EXPECT_FALSE(OnScreen("hire.png"));
}

// Each row hires the job its title names: the job's title, picture, level and wage, and its two templates, in the
// page's order cleaner, gardener, engineer, guard; the levels come in the statistics' order cleaner, engineer,
// gardener, guard.
// The hire page over templates read from model files, with the plugins their models need.
class HireJobsTest : public ManagementTest {
protected:
    void AttachPlugins() override
    {
        ASSERT_TRUE(GxWorldPluginAttach());
        ASSERT_TRUE(GxUserDataPluginAttach());
        ASSERT_EQ(1, AttachClumpExtension());
    }
};

TEST_F(HireJobsTest, RowsShowAndHireTheirOwnJob)
{
    const struct {
        const char* category;
        const char* model;
        uint16_t title;
        const char* picture;
        int level;
        int wage;
    } rows[] = {{"CLEANING", "cleaner", 0, "staff/clean.png", 1, 150 + 50},
                {"GARDENER", "gardener", 2, "staff/maint.png", 3, 180 + 150},
                {"ENGINEER", "engineer", 1, "staff/maint.png", 2, 200 + 100},
                {"SECURITY", "security", 3, "staff/security.png", 4, 250 + 200}};
    std::string text = "<TEMPLATES>\n";
    for (const auto& row : rows) {
        text += "<" + std::string(row.category) + ">\n<plans>\n";
        for (const char* variant : {"_a", "_b"}) {
            const std::string model = "models/" + std::string(row.model) + variant + ".gxs";
            std::filesystem::create_directories("models");
            GxClump* clump = FerroxTaggedClump({"body"});
            ASSERT_NE(clump, nullptr);
            const FerroxBytes bytes = FerroxClumpChunk(clump);
            std::ofstream(model, std::ios::binary)
                .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
            GxClumpDestroy(clump);
            text += "<plan>\n./" + model + "\n" + std::to_string(row.title) + "\n" +
                    (row.picture == rows[0].picture   ? "0"
                     : row.picture == rows[3].picture ? "2"
                                                      : "1") +
                    "\n" + std::to_string(row.wage - 50 * row.level) + "\n</plan>\n";
        }
        text += "</plans>\n</" + std::string(row.category) + ">\n";
    }
    text += "</TEMPLATES>\n";
    CFerroxTagTree data;
    ASSERT_EQ(data.LoadFromMemory(text.data(), text.size()), 1);
    CDynamicObjectManager::Instance()->LoadObjectData(&data);
    for (const char* picture : {"images/panels/staff/maint.png", "images/panels/staff/security.png"})
        ASSERT_TRUE(UiPicture(14, 14, {200, 120, 0, 255}).Write(picture));
    ASSERT_NO_FATAL_FAILURE(CreateWithFonts());
    CStaffHirePanel* hire = Hire();
    ASSERT_NE(hire, nullptr);
    ASSERT_EQ(hire->GetEntries().size(), 4u);
    stats->m_categories = {1, 2, 3, 4};
    locale->texts.clear();
    RenderOnly(hire);
    ASSERT_EQ(locale->texts.size(), 4u);
    for (uint16_t k = 0; k < 4; k++) {
        const auto& row = rows[k];
        const float y = 212.0f - 15.0f * k;
        const HireEntry* entry = hire->GetEntries()[k].get();
        for (CFerroxAssetSet* set : {entry->templateA, entry->templateB}) {
            ASSERT_NE(set, nullptr) << row.category;
            EXPECT_NE(std::string(GetTemplateModelName(set)).find(row.model), std::string::npos) << row.category;
        }
        EXPECT_NE(entry->templateA, entry->templateB) << row.category;
        EXPECT_EQ(locale->texts[k].index, row.title) << row.category;
        EXPECT_EQ(locale->texts[k].y, static_cast<int>(y)) << row.category;
        bool pictured = false;
        for (const UiDrawRecord& picture : DrawsOf(row.picture))
            pictured |= picture.y == y - 7.0f;
        EXPECT_TRUE(pictured) << row.category;
        const std::vector<UiDrawRecord> level = TextsOf(std::to_string(row.level));
        ASSERT_EQ(level.size(), 1u) << row.category;
        EXPECT_EQ(level[0].y, y) << row.category;
        const std::vector<UiDrawRecord> wage = TextsOf(std::to_string(row.wage));
        ASSERT_EQ(wage.size(), 1u) << row.category;
        EXPECT_EQ(wage[0].y, y) << row.category;
    }
}

}  // namespace
