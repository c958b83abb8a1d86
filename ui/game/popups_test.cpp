// The shopper, shop and staff cards and the shopper and staff summaries, drawn with the recording twins.
#include "ui/game/popups.h"

#include "game/buildings/shop.h"
#include "ui/game/ingame_testing_local.h"
#include "ui/game/popups_testing_local.h"

namespace {

constexpr const char* kSigns[] = {"Aquarius", "Aries",  "Cancer",      "Capricorn", "Gemini", "Leo",
                                  "Libra",    "Pisces", "Sagittarius", "Scorpio",   "Taurus", "Virgo"};

// Panel button k (1-based) of a painted panel: a row along its bottom.
std::array<int32_t, 4> Button(int k) { return {5 + 25 * (k - 1), 5, 20, 10}; }
std::vector<std::array<int32_t, 4>> Buttons(int count)
{
    std::vector<std::array<int32_t, 4>> buttons;
    for (int k = 1; k <= count; k++)
        buttons.push_back(Button(k));
    return buttons;
}

class PopupsTest : public UiGameTest {
protected:
    void SetUp() override
    {
        UiGameTest::SetUp();
        if (HasFatalFailure())
            return;
        locale->lists.push_back("shopnames");
        locale->lists.push_back("jobtitles");
        UiPaintPanel("images/panels/shopperpopup/shopperpopup.png", 400, 40, Buttons(1));
        UiPaintPanel("images/panels/shoppopup/shoppopup.png", 600, 40, Buttons(1));
        UiPaintPanel("images/panels/staffpopup/staffpopup.png", 400, 40, Buttons(8));
        UiPaintPanel("images/panels/shoppers/shoppers.png", 400, 360, Buttons(12));
        UiPaintPanel("images/panels/staff/staff.png", 400, 260, Buttons(11));
        std::vector<std::string> pictures = {"shoppers/male", "shoppers/female", "shoppers/foot",  "shoppers/bus",
                                             "shoppers/car",  "shoppers/train",  "shoppopup/plus", "shoppopup/minus",
                                             "staff/clean",   "staff/maint",     "staff/security", "staff/fire",
                                             "staff/move"};
        for (const char* sign : kSigns)
            pictures.push_back(std::string("shoppers/") + sign);
        for (const char* category : {"fashion", "elec", "leisure", "home", "health", "food"})
            pictures.push_back(std::string("finance/shopcat-") + category);
        for (const std::string& picture : pictures)
            ASSERT_TRUE(UiPicture(16, 12, {120, 120, 120, 255}).Write("images/panels/" + picture + ".png"));
        CreateWithFonts();
        stats = CDynamicObjectManager::Instance()->GetStatistics();
    }
    void TearDown() override
    {
        if (stats) {
            stats->m_shoppers.clear();
            stats->m_staff.clear();
        }
        UiGameTest::TearDown();
    }
    // Draws of pictures whose name holds the text.
    static size_t Draws(const std::string& name) { return DrawsOf(name).size(); }
    // Nothing but the panel's own pictures was drawn.
    bool OnlyPanel(const std::string& folder) const
    {
        for (const UiDrawRecord& record : uiDrawRecords)
            if (record.picture.find(folder) == std::string::npos)
                return false;
        return !uiDrawRecords.empty();
    }
    // One update with the pointer away: the panel's hover pictures hide.
    void Settle(CFerroxCanvas* panel)
    {
        PointAt(790.0f, 590.0f);
        panel->Update();
    }

    CStatistics* stats = nullptr;
};

// ---- Cards ----

TEST_F(PopupsTest, ShopperCardPicksSignSexAndArrivalAndSkipsIndicesOutsideTheTables)
{
    CSelectionPopup* card = ui->m_pShopperPopup.get();
    auto first = PopupTestShopper({250, 3, 31, 0, 1, 2, 1000, 100, 100});
    card->SetRecord(first.get());
    RenderOnly(card);
    EXPECT_EQ(Draws("Aquarius"), 1u);
    EXPECT_EQ(Draws("female"), 1u);
    EXPECT_EQ(Draws("car.png"), 1u);
    EXPECT_EQ(TextsOf("31").size(), 1u);
    EXPECT_EQ(TextsOf("250").size(), 1u);
    EXPECT_EQ(TextsOf("3").size(), 1u);

    auto last = PopupTestShopper({250, 0, 31, 11, 0, 3, 1000, 100, 100});
    card->SetRecord(last.get());
    RenderOnly(card);
    EXPECT_EQ(Draws("Virgo"), 1u);
    EXPECT_EQ(Draws("male"), 1u);
    EXPECT_EQ(Draws("train"), 1u);

    // Sign 12, sex 2 and arrival 4 lie outside their tables: no picture, the figures still show.
    auto wild = PopupTestShopper({777, 0, 31, 12, 2, 4, 1000, 100, 100});
    card->SetRecord(wild.get());
    RenderOnly(card);
    for (const char* sign : kSigns)
        EXPECT_EQ(Draws(sign), 0u) << sign;
    for (const char* picture : {"male", "foot", "bus", "car.png", "train"})
        EXPECT_EQ(Draws(picture), 0u) << picture;
    EXPECT_EQ(TextsOf("777").size(), 1u);

    card->SetRecord(nullptr);
    RenderOnly(card);
    EXPECT_TRUE(OnlyPanel("shopperpopup/"));
}

// The shopper line from its origin (56, 16 on the card; 56, 271 - 13 i on the summary): sign at (-30, -7), sex at
// (2, -7), age and money right-aligned at 63 and 96, arrival at (240, -7), bags at 311. The summary's totals stand
// right-aligned at 114, 164, 282 and 328 on 344, the spending per shopper at 282 and 328 on 328.
TEST_F(PopupsTest, ShopperLinesAndTotalsStandWhereTheyArePut)
{
    const auto right = [this](const char* text, float x, float y) {
        const std::vector<UiDrawRecord> drawn = TextsOf(text);
        ASSERT_EQ(drawn.size(), 1u) << text;
        EXPECT_FLOAT_EQ(drawn[0].x + drawn[0].width, x) << text;
        EXPECT_FLOAT_EQ(drawn[0].y, y) << text;
    };
    const auto picture = [](const char* name, float x, float y) {
        const std::vector<UiDrawRecord> drawn = DrawsOf(name);
        ASSERT_EQ(drawn.size(), 1u) << name;
        EXPECT_FLOAT_EQ(drawn[0].x, x) << name;
        EXPECT_FLOAT_EQ(drawn[0].y, y) << name;
    };
    CSelectionPopup* card = ui->m_pShopperPopup.get();
    auto shopper = PopupTestShopper({250, 7, 31, 0, 1, 2, 1000, 100, 100});
    card->SetRecord(shopper.get());
    RenderOnly(card);
    const float x = card->GetX() + 56.0f, y = card->GetY() + 16.0f;
    picture("Aquarius", x - 30.0f, y - 7.0f);
    picture("female", x + 2.0f, y - 7.0f);
    picture("car.png", x + 240.0f, y - 7.0f);
    right("31", x + 63.0f, y);
    right("250", x + 96.0f, y);
    right("7", x + 311.0f, y);
    card->SetRecord(nullptr);

    CFerroxCanvas* summary = ui->m_pShopperSummaryPanel.get();
    Settle(summary);
    stats->m_shoppers.assign(2, shopper.get());
    stats->m_shoppersCome = 41;
    stats->m_takings = 8200;
    game->m_dayCounter = 1;
    RenderOnly(summary);
    const float left = summary->GetX(), bottom = summary->GetY();
    right("41", left + 114.0f, bottom + 344.0f);
    right("20", left + 164.0f, bottom + 344.0f);
    right("8200", left + 282.0f, bottom + 344.0f);
    right("4100", left + 328.0f, bottom + 344.0f);
    right("200", left + 282.0f, bottom + 328.0f);
    right("100", left + 328.0f, bottom + 328.0f);
    const std::vector<UiDrawRecord> ages = TextsOf("31");
    ASSERT_EQ(ages.size(), 2u);
    for (size_t i = 0; i < ages.size(); i++)
        EXPECT_FLOAT_EQ(ages[i].y, bottom + 271.0f - 13.0f * static_cast<float>(i));
    EXPECT_FLOAT_EQ(ages[0].x + ages[0].width, left + 56.0f + 63.0f);
    game->m_dayCounter = 0;
}

// Each need has its own bar: B yellow, E orange, H green, each as long as its need's share of 48, at 96, 144 and
// 192 from the line and 5 below it; the money ends where the first bar starts.
TEST_F(PopupsTest, ShopperNeedBarsFollowTheirOwnNeeds)
{
    CSelectionPopup* card = ui->m_pShopperPopup.get();
    auto shopper = PopupTestShopper({250, 0, 31, 0, 0, 0, 750, 50, 25});
    card->SetRecord(shopper.get());
    RenderOnly(card);
    const std::vector<UiDrawRecord> bars = Bars();
    ASSERT_EQ(bars.size(), 3u);
    constexpr float kFull = 48.0f;
    const struct {
        float share;
        FerroxColour tint;
    } expected[] = {{0.25f, {255, 255, 0, 255}}, {0.5f, {255, 128, 0, 255}}, {0.75f, {0, 255, 0, 255}}};
    for (size_t k = 0; k < 3; k++) {
        EXPECT_NEAR(bars[k].width, kFull * expected[k].share, 0.5f) << "bar " << k;
        EXPECT_EQ(bars[k].tint.red, expected[k].tint.red) << "bar " << k;
        EXPECT_EQ(bars[k].tint.green, expected[k].tint.green) << "bar " << k;
        EXPECT_EQ(bars[k].tint.blue, expected[k].tint.blue) << "bar " << k;
        EXPECT_FLOAT_EQ(bars[k].x, card->GetX() + 56.0f + 96.0f + kFull * static_cast<float>(k)) << "bar " << k;
        EXPECT_FLOAT_EQ(bars[k].y, card->GetY() + 16.0f - 5.0f) << "bar " << k;
    }
    const std::vector<UiDrawRecord> money = TextsOf("250");
    ASSERT_EQ(money.size(), 1u);
    EXPECT_FLOAT_EQ(money[0].x + money[0].width, bars[0].x);
    // The card reads its record every frame: a need that runs down shortens its bar.
    PopupTestShopperSetNeeds(shopper.get(), 750, 50, 10);
    RenderOnly(card);
    ASSERT_EQ(Bars().size(), 3u);
    EXPECT_NEAR(Bars()[0].width, kFull * 0.1f, 0.5f);
    // H 5 is 0 percent: its bar goes.
    PopupTestShopperSetNeeds(shopper.get(), 5, 50, 10);
    RenderOnly(card);
    EXPECT_EQ(Bars().size(), 2u);
}

// The staff summary's line: the level, wage and jobs done right-aligned at 188, 219 and 252 from its origin (28, 161),
// its job picture and its buttons where the panel puts them.
TEST_F(PopupsTest, StaffLineStandsWhereThePanelPutsIt)
{
    auto* summary = static_cast<CStaffSummaryPanel*>(ui->m_pStaffSummaryPanel.get());
    std::shared_ptr<StaffRecord> shared = PopupTestStaffRecord(0, 0);
    PopupTestSetStaff(shared.get(), 0, 0, 3, 300, 999);
    stats->m_staff.assign(1, shared.get());
    RenderOnly(summary);
    const std::vector<UiDrawRecord> figures = Figures(uiDrawRecords);
    const std::vector<UiDrawRecord> level = TextsOf("3");
    ASSERT_EQ(level.size(), 1u);
    std::vector<UiDrawRecord> line;
    for (const UiDrawRecord& record : figures)
        if (record.y == level[0].y)
            line.push_back(record);
    ASSERT_EQ(line.size(), 3u);
    std::sort(line.begin(), line.end(), [](const UiDrawRecord& a, const UiDrawRecord& b) { return a.x < b.x; });
    EXPECT_EQ(line[0].picture, "3");
    EXPECT_EQ(line[1].picture, "450");
    EXPECT_EQ(line[2].picture, "999");
    // Right ends at 188, 219 and 252 from the line, which starts at 28.
    const float right[] = {188.0f, 219.0f, 252.0f};
    for (size_t i = 0; i < line.size(); i++)
        EXPECT_FLOAT_EQ(line[i].x + line[i].width, summary->GetX() + 28.0f + right[i]) << line[i].picture;
    // The job picture at (125, -7) from the line, the first line's fire and move buttons at (280, 155) and
    // (313, 155) of the panel.
    EXPECT_FLOAT_EQ(level[0].y, summary->GetY() + 161.0f);
    for (int32_t side = 0; side < 2; side++) {
        const float* button = summary->GetWidgetRect(summary->GetFirstRowButton() + side);
        ASSERT_NE(button, nullptr);
        EXPECT_FLOAT_EQ(button[0], side ? 313.0f : 280.0f);
        EXPECT_FLOAT_EQ(button[1], 155.0f);
    }
    const std::vector<UiDrawRecord> job = DrawsOf("staff/clean");
    ASSERT_EQ(job.size(), 1u);
    EXPECT_FLOAT_EQ(job[0].x, summary->GetX() + 28.0f + 125.0f);
    EXPECT_FLOAT_EQ(job[0].y, level[0].y - 7.0f);
}

// The figures a running game shows keep apart at the places the cards and the shopper summary put them: drawn
// as wide as the game's fonts draw figures, no two on a row come within 4 pixels.
TEST_F(PopupsTest, CardsAndSummariesKeepTheFiguresOfAGameApart)
{
    constexpr float kGap = 4.0f;
    // A two-digit age ends at 63 and a four-digit money figure starts a few pixels later: they may touch.
    constexpr float kAgeAndMoney = 0.0f;
    constexpr int16_t kShopNames = 6;  // a list of the recording locale
    MeasureLikeTheGame();

    const std::shared_ptr<ShopperRecord> shopper = PopupTestShopper({1249, 999, 99, 11, 1, 3, 1000, 100, 100});
    CSelectionPopup* shopperCard = ui->m_pShopperPopup.get();
    shopperCard->SetRecord(shopper.get());
    for (CFerroxCanvas* panel : {static_cast<CFerroxCanvas*>(shopperCard), ui->m_pShopperSummaryPanel.get(),
                                 static_cast<CFerroxCanvas*>(ui->m_pShopPopup.get())})
        Settle(panel);
    RenderOnly(shopperCard);
    ASSERT_EQ(TextsOf("1249").size(), 1u);
    ExpectApart(Figures(DrawnOn("shopperpopup.png")), kAgeAndMoney, shopperCard->GetX());
    CFerroxCanvas* shoppers = ui->m_pShopperSummaryPanel.get();
    stats->m_shoppers.assign(2, shopper.get());
    // The first month, whose figures are a month's, then a long game's totals.
    for (uint16_t counter : {uint16_t{0}, uint16_t{99}}) {
        game->m_dayCounter = counter;
        stats->m_shoppersCome = 0xFFFF;
        stats->m_takings = counter ? 9999999u : 99999u;
        RenderOnly(shoppers);
        ASSERT_EQ(TextsOf("99999").size(), counter ? 1u : 2u);
        ExpectApart(Figures(DrawnOn("shoppers.png")), kAgeAndMoney, shoppers->GetX());
    }
    game->m_dayCounter = 0;

    // A staff member of a high level who did many jobs, and a large staff.
    constexpr int16_t kJobTitles = 7;  // a list of the recording locale
    std::shared_ptr<StaffRecord> member = PopupTestStaffRecord(0, 2);
    PopupTestSetStaff(member.get(), 0, 2, 10, 450, 999);
    CSelectionPopup* staffCard = ui->m_pStaffPopup.get();
    Settle(staffCard);
    staffCard->SetRecord(member.get());
    locale->texts.clear();
    RenderOnly(staffCard);
    ASSERT_EQ(TextsOf("999").size(), 1u);
    ExpectApart(Figures(DrawnOn("staffpopup.png", kJobTitles, kStaffTitleRoom)), kGap, staffCard->GetX());
    CFerroxCanvas* staff = ui->m_pStaffSummaryPanel.get();
    Settle(staff);
    stats->m_staff.assign(2, member.get());
    stats->m_staffCount = 999;
    stats->m_staffWages = 99999;
    stats->m_staffJobsDone = 9999;
    RenderOnly(staff);  // the first drawing hides the buttons of lines not in use
    locale->texts.clear();
    RenderOnly(staff);
    ASSERT_EQ(TextsOf("99999").size(), 2u);
    ASSERT_EQ(DrawsOf("staff/fire").size(), 2u);
    ExpectApart(Figures(DrawnOn("staff.png", kJobTitles, kStaffTitleRoom)), kGap, staff->GetX());

    // The most takings and nothing paid, then the other way round; the most charge.
    CShop shop;
    ShopRecord& record = shop.GetRecord();
    record.owner = &shop;
    record.shopNumber = 99;
    record.salesCount = 9999;
    record.chargeAdjust = 1000;
    stats->m_baseCharge = 1000;
    CSelectionPopup* shopCard = ui->m_pShopPopup.get();
    shopCard->SetRecord(&record);
    for (bool paid : {false, true}) {
        record.takingsTotal = paid ? 0 : 999999;
        record.chargesPaid = paid ? 99999 : 0;
        record.category = 5;
        locale->texts.clear();
        RenderOnly(shopCard);
        ASSERT_EQ(TextsOf(paid ? "-99999" : "999999").size(), paid ? 1u : 2u);
        ASSERT_EQ(TextsOf("2000").size(), 1u);
        ExpectApart(Figures(DrawnOn("shoppopup.png", kShopNames, kShopNameRoom)), kGap, shopCard->GetX());
    }
    shopCard->SetRecord(nullptr);
}

TEST_F(PopupsTest, ShopCardChargeButtonsKeepTheirLimitsAndTheNetMayBeNegative)
{
    CSelectionPopup* card = ui->m_pShopPopup.get();
    auto* shopCard = static_cast<CShopPopupPanel*>(card);
    const int32_t plus = shopCard->GetPlusButton();
    ASSERT_GT(plus, 1);
    RenderOnly(card);
    EXPECT_TRUE(OnlyPanel("shoppopup/"));
    EXPECT_EQ(Draws("plus"), 1u);
    EXPECT_EQ(Draws("minus"), 1u);

    CShop shop;
    ShopRecord& record = shop.GetRecord();
    record.owner = &shop;
    record.takingsTotal = 100;
    record.chargesPaid = 250;
    record.category = 9;  // no picture of its own
    record.chargeAdjust = 1000;
    stats->m_baseCharge = 80;
    card->SetRecord(&record);
    RenderOnly(card);
    EXPECT_EQ(TextsOf("-150").size(), 1u);
    EXPECT_EQ(TextsOf("1080").size(), 1u);
    EXPECT_EQ(Draws("shopcat"), 0u);

    Press(card, plus);
    EXPECT_EQ(record.chargeAdjust, 1000);
    RenderOnly(card);
    EXPECT_EQ(TextsOf("1080").size(), 1u);

    stats->m_baseCharge = 30;
    record.chargeAdjust = 0;
    Press(card, plus + 1);
    EXPECT_EQ(record.chargeAdjust, 0) << "30 - 50 is below 0";
    Press(card, plus);
    EXPECT_EQ(record.chargeAdjust, 50);
    Press(card, plus + 1);
    EXPECT_EQ(record.chargeAdjust, 0);

    // The category picture of the category's number, 365 left of the line and 16 under it: its own clear columns
    // and rows bring what it shows onto the line.
    record.category = 5;
    record.shopNumber = 77;
    RenderOnly(card);
    const std::vector<UiDrawRecord> pictures = DrawsOf("shopcat-food");
    ASSERT_EQ(pictures.size(), 1u);
    const std::vector<UiDrawRecord> number = TextsOf("77");
    ASSERT_EQ(number.size(), 1u);
    EXPECT_FLOAT_EQ(pictures[0].x, number[0].x - 365.0f);
    EXPECT_FLOAT_EQ(pictures[0].y, number[0].y - 16.0f);
}

TEST_F(PopupsTest, StaffCardSkipsJobsOutsideItsTableAndFiresOnlyASelectedStaffMember)
{
    CSelectionPopup* card = ui->m_pStaffPopup.get();
    StaffRecord* record = nullptr;
    CFerroxObject* member = PopupTestStaffMember(&record);
    CDynamicObjectManager* manager = CDynamicObjectManager::Instance();
    manager->AddObject(member);
    PopupTestSetStaff(record, 1, 2, 3, 200, 9);
    card->SetRecord(record);
    RenderOnly(card);
    EXPECT_EQ(Draws("security"), 1u);
    EXPECT_EQ(TextsOf("350").size(), 1u);
    PopupTestSetStaff(record, 1, 3, 3, 200, 9);
    RenderOnly(card);
    for (const char* job : {"clean", "maint", "security"})
        EXPECT_EQ(Draws(job), 0u) << job;

    // The selection is something else: nothing is removed, every panel still closes.
    CFerroxObject scenery;
    game->m_pSelectedObject = &scenery;
    ui->OpenPanel(card);
    Press(card, STAFF_CARD_FIRE);
    EXPECT_EQ(manager->GetQueuedCount(), 0u);
    EXPECT_EQ(ui->GetStack().GetNormalCount(), 1);

    game->m_pSelectedObject = member;
    ui->OpenPanel(card);
    card->SetRecord(record);
    Press(card, STAFF_CARD_FIRE);
    EXPECT_EQ(manager->GetQueuedCount(), 1u);
    EXPECT_EQ(game->m_pSelectedObject, nullptr);
    EXPECT_EQ(card->GetRecord(), nullptr) << "the closed card forgets the fired member";
    EXPECT_EQ(ui->GetStack().GetNormalCount(), 1);
}

// A removed selection (a shopper leaving, a shop closed, a member fired) closes its card, which then draws
// no record of it.
TEST_F(PopupsTest, RemovingTheSelectedObjectClosesItsCardAndClearsTheRecord)
{
    CSelectionPopup* card = ui->m_pShopperPopup.get();
    auto* selected = new CFerroxObject();
    CDynamicObjectManager* manager = CDynamicObjectManager::Instance();
    manager->AddObject(selected);
    auto shopper = PopupTestShopper({250, 0, 31, 0, 0, 0, 1000, 100, 100});
    game->m_pSelectedObject = selected;
    ui->OpenPanel(card);
    card->SetRecord(shopper.get());
    manager->RemoveObject(selected, 1);
    EXPECT_EQ(card->GetRecord(), nullptr);
    EXPECT_EQ(ui->GetStack().GetNormalCount(), 1);
    RenderOnly(card);
    EXPECT_TRUE(OnlyPanel("shopperpopup/"));
}

// Without the figures' font every panel draws its pictures and writes nothing.
TEST_F(PopupsTest, NoFiguresFontWritesNothing)
{
    auto shopper = PopupTestShopper({250, 2, 31, 4, 0, 1, 1000, 100, 100});
    std::shared_ptr<StaffRecord> member = PopupTestStaffRecord(0, 1);
    CShop shop;
    shop.GetRecord().owner = &shop;
    stats->m_shoppers.assign(3, shopper.get());
    stats->m_staff.assign(3, member.get());
    ui->m_pShopperPopup->SetRecord(shopper.get());
    ui->m_pShopPopup->SetRecord(&shop.GetRecord());
    ui->m_pStaffPopup->SetRecord(member.get());
    ui->m_fontCount = 2;
    uiDrawRecords.clear();
    for (CFerroxCanvas* panel :
         {static_cast<CFerroxCanvas*>(ui->m_pShopperPopup.get()), static_cast<CFerroxCanvas*>(ui->m_pShopPopup.get()),
          static_cast<CFerroxCanvas*>(ui->m_pStaffPopup.get()), ui->m_pShopperSummaryPanel.get(),
          ui->m_pStaffSummaryPanel.get()})
        panel->Render();
    ui->m_fontCount = 4;
    EXPECT_EQ(Draws("Gemini"), 4u);
    EXPECT_EQ(Draws("maint"), 4u);
    for (const UiDrawRecord& record : uiDrawRecords)
        EXPECT_NE(record.picture.find(".png"), std::string::npos) << record.picture;
    EXPECT_TRUE(locale->texts.empty());
}

// The close button closes the cards through the game, so the selection goes too.
TEST_F(PopupsTest, CardCloseClearsTheSelection)
{
    CFerroxObject scenery;
    for (CSelectionPopup* card : {ui->m_pShopperPopup.get(), ui->m_pShopPopup.get(), ui->m_pStaffPopup.get()}) {
        game->m_pSelectedObject = &scenery;
        ui->OpenPanel(card);
        Press(card, CARD_CLOSE);
        EXPECT_EQ(game->m_pSelectedObject, nullptr);
        ui->Update(0.01f);
        EXPECT_EQ(ui->GetStack().GetNormalCount(), 1);
    }
}

// ---- Summaries ----

TEST_F(PopupsTest, ShopperSummaryPagesNineteenLinesAndFollowsAShrinkingList)
{
    auto* summary = static_cast<CShopperSummaryPanel*>(ui->m_pShopperSummaryPanel.get());
    auto shopper = PopupTestShopper({250, 0, 31, 0, 0, 0, 1000, 100, 100});
    RenderOnly(summary);
    EXPECT_EQ(TextsOf("0").size(), 6u) << "no shoppers: every figure and both averages 0";
    EXPECT_EQ(Draws("Aquarius"), 0u);

    stats->m_shoppers.assign(40, shopper.get());
    std::vector<uint16_t> down;
    for (int i = 0; i < 3; i++) {
        Press(summary, SHOPPERS_PAGE_DOWN);
        down.push_back(summary->GetFirstLine());
    }
    EXPECT_EQ(down, (std::vector<uint16_t>{19, 38, 38}));
    RenderOnly(summary);
    EXPECT_EQ(Draws("Aquarius"), 2u);
    Press(summary, SHOPPERS_PAGE_UP);
    EXPECT_EQ(summary->GetFirstLine(), 19);
    Press(summary, SHOPPERS_PAGE_UP);
    EXPECT_EQ(summary->GetFirstLine(), 0);

    Press(summary, SHOPPERS_PAGE_DOWN);
    Press(summary, SHOPPERS_PAGE_DOWN);
    stats->m_shoppers.resize(38);  // exactly the first line: an empty page that stays
    RenderOnly(summary);
    EXPECT_EQ(Draws("Aquarius"), 0u);
    summary->OnWidgetEvent(SHOPPERS_CLOSE, FERROX_WIDGET_OVER);
    EXPECT_EQ(summary->GetFirstLine(), 38);
    stats->m_shoppers.resize(30);
    RenderOnly(summary);
    summary->OnWidgetEvent(SHOPPERS_CLOSE, FERROX_WIDGET_OVER);
    EXPECT_EQ(summary->GetFirstLine(), 0);
}

TEST_F(PopupsTest, StaffSummaryPagesTenLinesWhileHeldShowsOnlyTheRowsInUseAndTintsItsRowButtons)
{
    auto* summary = static_cast<CStaffSummaryPanel*>(ui->m_pStaffSummaryPanel.get());
    const int32_t f = summary->GetFirstRowButton();
    ASSERT_EQ(summary->GetWidgetCount(), f + 20);
    std::shared_ptr<StaffRecord> shared = PopupTestStaffRecord(0, 0);
    StaffRecord* record = shared.get();
    auto visiblePairs = [&] {
        int pairs = 0;
        for (int i = 0; i < 10; i++)
            pairs += summary->GetWidget(f + 2 * i)->m_visible && summary->GetWidget(f + 2 * i + 1)->m_visible;
        return pairs;
    };

    stats->m_staff.assign(3, record);
    RenderOnly(summary);
    EXPECT_EQ(visiblePairs(), 3);
    EXPECT_EQ(Draws("clean"), 3u);
    // Under the pointer a row button is only tinted white: it asks for no tooltip.
    UiCanvasTooltipList::Set(*summary, 3);
    for (const int32_t button : {f + 2, f + 5, f + 6}) {
        summary->GetWidget(button)->SetColour({255, 128, 0, 255});
        ui->SetTooltip(0xFFFF, 0);
        summary->OnWidgetEvent(button, FERROX_WIDGET_OVER);
        EXPECT_EQ(ui->m_tooltipText, 0xFFFF) << button;
        uiDrawRecords.clear();
        summary->GetWidget(button)->Draw(0.0f, 0.0f);
        if (button != f + 6) {  // a hidden line's button draws nothing
            ASSERT_EQ(uiDrawRecords.size(), 1u) << button;
            EXPECT_EQ(uiDrawRecords[0].tint.blue, 255) << button;
        }
    }

    stats->m_staff.assign(25, record);
    std::vector<uint16_t> down;
    for (int i = 0; i < 3; i++) {
        Press(summary, STAFF_PAGE_DOWN);
        down.push_back(summary->GetFirstLine());
    }
    EXPECT_EQ(down, (std::vector<uint16_t>{10, 20, 20}));
    RenderOnly(summary);
    EXPECT_EQ(visiblePairs(), 5);

    Press(summary, STAFF_PAGE_UP);
    EXPECT_EQ(summary->GetFirstLine(), 10);
    Press(summary, STAFF_PAGE_UP);
    EXPECT_EQ(summary->GetFirstLine(), 0);

    // The staff vanish below the first line: no row, every pair hidden, nothing read out of the list.
    Press(summary, STAFF_PAGE_DOWN);
    Press(summary, STAFF_PAGE_DOWN);
    stats->m_staff.assign(5, record);
    RenderOnly(summary);
    EXPECT_EQ(visiblePairs(), 0);
    EXPECT_EQ(Draws("clean"), 0u);
    Press(summary, f);  // a hidden pair's place
    EXPECT_EQ(CDynamicObjectManager::Instance()->GetQueuedCount(), 0u);
    EXPECT_EQ(summary->GetFirstLine(), 0) << "back to the start after the event";

    // Held down, page down acts on every frame: the press is not released.
    stats->m_staff.assign(25, record);
    Open(summary);
    mouse->GetPosition()->left = FERROX_BUTTON_DOWN;
    summary->OnWidgetEvent(STAFF_PAGE_DOWN, FERROX_WIDGET_PRESSED);
    EXPECT_EQ(mouse->GetPosition()->left, FERROX_BUTTON_DOWN);
}

TEST_F(PopupsTest, StaffSummaryFiresTheMemberOfThePressedLine)
{
    auto* summary = static_cast<CStaffSummaryPanel*>(ui->m_pStaffSummaryPanel.get());
    const int32_t f = summary->GetFirstRowButton();
    CDynamicObjectManager* manager = CDynamicObjectManager::Instance();
    std::vector<CFerroxObject*> members;
    for (int i = 0; i < 3; i++) {
        StaffRecord* record = nullptr;
        members.push_back(PopupTestStaffMember(&record));
        manager->AddObject(members.back());
        stats->m_staff.push_back(record);
    }
    // The card of the third member is open.
    game->m_pSelectedObject = members[2];
    RenderOnly(summary);
    Press(summary, f + 2);  // line 1's fire button
    EXPECT_EQ(manager->GetQueuedCount(), 1u);
    manager->RemoveObject(members[1], 0);
    EXPECT_EQ(manager->GetQueuedCount(), 1u) << "line 1's member was the one queued";
    EXPECT_EQ(game->m_pSelectedObject, members[2]);

    // Moving from the list takes that line's member and closes every panel so it can be put down.
    Open(summary);
    RenderOnly(summary);
    Press(summary, f + 5);  // line 2's move button
    EXPECT_TRUE(PopupTestIsMoving(members[2]));
    EXPECT_FALSE(PopupTestIsMoving(members[0]));
    EXPECT_EQ(ui->GetStack().GetNormalCount(), 1);
    stats->m_staff.clear();

    // Hire opens the hire panel on top of the main bar.
    Open(summary);
    Press(summary, STAFF_HIRE);
    EXPECT_EQ(ui->GetStack().GetNormalCount(), 2) << "the main bar and the hire panel";
    EXPECT_EQ(ui->m_pStaffHirePanel->GetY(), kUiMainBarHeight);
}

// The card's move button moves the selected member, not the record shown.
TEST_F(PopupsTest, StaffCardMovesTheSelectedMember)
{
    CSelectionPopup* card = ui->m_pStaffPopup.get();
    StaffRecord* shown = nullptr;
    StaffRecord* other = nullptr;
    CFerroxObject* member = PopupTestStaffMember(&shown);
    CFerroxObject* selected = PopupTestStaffMember(&other);
    CDynamicObjectManager::Instance()->AddObject(member);
    CDynamicObjectManager::Instance()->AddObject(selected);
    game->m_pSelectedObject = selected;
    ui->OpenPanel(card);
    card->SetRecord(shown);
    Press(card, STAFF_CARD_MOVE);
    EXPECT_TRUE(PopupTestIsMoving(selected));
    EXPECT_FALSE(PopupTestIsMoving(member));
    EXPECT_EQ(game->m_pSelectedObject, nullptr);
    EXPECT_EQ(ui->GetStack().GetNormalCount(), 1);
}

}  // namespace
