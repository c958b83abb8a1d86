// The cards of a selected shopper, shop or staff member: their picture tables, record lines and buttons.
//
// Sections: shopper card; shop card; staff card.
#include "ui/game/popups.h"

#include <memory>
#include <utility>

#include "engine/data/locale.h"
#include "game/buildings/shop.h"
#include "ui/game/popups_local.h"
#include "ui/game/popups_records.h"

using namespace popups;

namespace {

// Star signs in alphabetical order of their names.
constexpr const char* kStarSignPictures[kStarSignCount] = {
    "./images/panels/shoppers/Aquarius.png",    "./images/panels/shoppers/Aries.png",
    "./images/panels/shoppers/Cancer.png",      "./images/panels/shoppers/Capricorn.png",
    "./images/panels/shoppers/Gemini.png",      "./images/panels/shoppers/Leo.png",
    "./images/panels/shoppers/Libra.png",       "./images/panels/shoppers/Pisces.png",
    "./images/panels/shoppers/Sagittarius.png", "./images/panels/shoppers/Scorpio.png",
    "./images/panels/shoppers/Taurus.png",      "./images/panels/shoppers/Virgo.png",
};
constexpr const char* kSexPictures[kSexCount] = {
    "./images/panels/shoppers/male.png",
    "./images/panels/shoppers/female.png",
};
constexpr const char* kArrivalPictures[kArrivalCount] = {
    "./images/panels/shoppers/foot.png",
    "./images/panels/shoppers/bus.png",
    "./images/panels/shoppers/car.png",
    "./images/panels/shoppers/train.png",
};
constexpr const char* kNeedBarPicture = "./images/panels/main/base/bar.png";
constexpr uint16_t kNeedHPerPercent = 10;
constexpr uint16_t kLowByte = 0xFF;
constexpr FerroxColour kYellow = {255, 255, 0, 255};
constexpr FerroxColour kGreen = {0, 255, 0, 255};

// The shopper line's pictures (its columns are in the header); pictures and bars stand level with the figures.
constexpr float kShopperCardY = 16.0f;
constexpr float kStarSignX = -30.0f;
constexpr float kSexX = 2.0f;
constexpr float kPictureY = -7.0f;
constexpr float kBarY = -5.0f;

constexpr const char* kCategoryPictures[kShopCategoryCount] = {
    "./images/panels/finance/shopcat-fashion.png", "./images/panels/finance/shopcat-elec.png",
    "./images/panels/finance/shopcat-leisure.png", "./images/panels/finance/shopcat-home.png",
    "./images/panels/finance/shopcat-health.png",  "./images/panels/finance/shopcat-food.png",
};
constexpr const char* kShopNamesList = "shopnames";
constexpr const char* kPlusPicture = "./images/panels/shoppopup/plus.png";
constexpr const char* kMinusPicture = "./images/panels/shoppopup/minus.png";
constexpr float kShopCardY = 15.0f;

constexpr const char* kJobPictures[kJobImageCount] = {
    "./images/panels/staff/clean.png",
    "./images/panels/staff/maint.png",
    "./images/panels/staff/security.png",
};
constexpr const char* kJobTitlesList = "jobtitles";
constexpr float kStaffCardY = 15.0f;
constexpr float kJobY = -7.0f;

int16_t FindList(const char* name)
{
    CFerroxLocale* locale = FerroxGameLocale();
    return locale ? locale->FindTextList(name) : kFerroxNoTextList;
}

void DrawListText(int16_t list, uint16_t index, float x, float y)
{
    CFerroxFont* font = FiguresFont();
    CFerroxLocale* locale = FerroxGameLocale();
    if (!font || !locale)
        return;
    locale->DrawText(font, list, index, x, static_cast<int>(y), 0, FERROX_ALIGN_LEFT, kMiddleX, 0, nullptr);
}

// Hover lights a data-defined widget; leaving tints it white and hides it.
void ShowHover(CFerroxWidget* widget, int32_t event)
{
    if (event == FERROX_WIDGET_OVER) {
        widget->m_visible = 1;
    } else if (event == FERROX_WIDGET_NOT_OVER) {
        widget->SetColour(kWhite);
        widget->m_visible = 0;
    }
}

// Closes the cards through the game, so the selection goes with them. The game's closing already takes the
// card off the stack; a pop request on top would take the main bar, so the card is removed by name.
void CloseCard(CFerroxCanvas* card)
{
    FerroxReleaseButton();
    if (g_pGame)
        g_pGame->ClosePopups();
    if (CInterface* ui = InterfaceGet())
        ui->GetStack().Remove(card);
}

// A card's widget event: hover through `hover`; a press of the close widget closes the card, another goes to
// `press`; the pressed widget turns blue.
template <typename Hover, typename Press>
void CardWidgetEvent(CFerroxCanvas* card, int32_t index, int32_t event, Hover hover, Press press)
{
    CFerroxWidget* widget = card->GetWidget(index);
    if (!widget)
        return;
    if (event != FERROX_WIDGET_PRESSED) {
        hover(widget, event);
        return;
    }
    if (index == CARD_CLOSE)
        CloseCard(card);
    else
        press(index);
    widget->SetColour(kBlue);
}

// Draws the card, then the record it shows (when it has one) with `draw`, its line at (x, y).
template <typename Card, typename Record>
void RenderCard(Card* card, void (Card::*draw)(const Record*, float, float), float x, float y)
{
    card->CFerroxCanvas::Render();
    if (const void* record = card->GetRecord())
        (card->*draw)(static_cast<const Record*>(record), x, y);
}

// The staff member the game's selection stands for, or null when it is anything else.
CStaff* SelectedStaff()
{
    CFerroxObject* selected = g_pGame ? g_pGame->GetSelectedObject() : nullptr;
    return selected ? PopupAsStaff(selected->GetLinkedObject()) : nullptr;
}

// The staff card's buttons act on the game's selection: when it is no longer a staff member nothing is removed.
// Either way every panel closes.
void ActOnSelectedStaff(void (*act)(CStaff*))
{
    FerroxReleaseButton();
    if (CStaff* staff = SelectedStaff()) {
        act(staff);
        g_pGame->ClosePopups();
    }
    if (CInterface* ui = InterfaceGet())
        ui->CloseCanvases();
}

}  // namespace

// ---- Shopper card ----

CShopperPopupPanel::~CShopperPopupPanel() { CShopperPopupPanel::Release(); }

void CShopperPopupPanel::Init()
{
    SetRecord(nullptr);
    m_pBar = nullptr;
}

void CShopperPopupPanel::Release()
{
    m_pBar.reset();
    m_starSigns.clear();
    m_sexes.clear();
    m_arrivals.clear();
    CFerroxCanvas::Release();
}

void CShopperPopupPanel::Build(const char* path, float x, float y, int32_t scaled)
{
    CFerroxCanvas::Build(path, x, y, scaled);
    AddPictures(m_starSigns, kStarSignPictures);
    AddPictures(m_sexes, kSexPictures);
    AddPictures(m_arrivals, kArrivalPictures);
    m_pBar = FerroxMakeBar(kNeedBarPicture, kShopperNeedBarLength);
}

void CShopperPopupPanel::Render()
{
    RenderCard(this, &CShopperPopupPanel::DrawShopperRecord, m_x + kShopperCardLineX, m_y + kShopperCardY);
}

void CShopperPopupPanel::DrawShopperRecord(const ShopperRecord* record, float x, float y)
{
    if (!record)
        return;
    const ShopperFigures shopper = PopupShopperFigures(*record);
    CFerroxFont* font = FiguresFont();
    DrawEntry(m_starSigns, shopper.starSign, x + kStarSignX, y + kPictureY);
    DrawEntry(m_sexes, shopper.sex, x + kSexX, y + kPictureY);
    DrawNumber(font, shopper.age, x + kShopperAge.x, y);
    DrawNumber(font, shopper.money, x + kShopperMoney.x, y);
    if (m_pBar) {
        // A share above 100 keeps the previous bar's length, as the bar does.
        const struct {
            uint8_t percent;
            FerroxColour colour;
        } needs[] = {
            {static_cast<uint8_t>(shopper.B & kLowByte), kYellow},
            {static_cast<uint8_t>(shopper.E & kLowByte), kOrange},
            {static_cast<uint8_t>(shopper.H / kNeedHPerPercent), kGreen},
        };
        for (size_t k = 0; k < sizeof(needs) / sizeof(needs[0]); k++) {
            m_pBar->SetPercent(needs[k].percent);
            m_pBar->SetColour(needs[k].colour);
            m_pBar->Draw(x + kShopperNeedBarsX[k], y + kBarY);
        }
    }
    DrawEntry(m_arrivals, shopper.arrival, x + kShopperArrivalX, y + kPictureY);
    DrawNumber(font, shopper.bags, x + kShopperBags.x, y);
}

void CShopperPopupPanel::OnWidgetEvent(int32_t index, int32_t event)
{
    CardWidgetEvent(this, index, event, ShowHover, [](int32_t) {});
}

// ---- Shop card ----

CShopPopupPanel::~CShopPopupPanel() { CShopPopupPanel::Release(); }

void CShopPopupPanel::Init()
{
    SetRecord(nullptr);
    m_nameList = 0;
    m_plusButton = -1;
}

void CShopPopupPanel::Release()
{
    m_categories.clear();
    CFerroxCanvas::Release();
}

void CShopPopupPanel::Build(const char* path, float x, float y, int32_t scaled)
{
    CFerroxCanvas::Build(path, x, y, scaled);
    m_nameList = FindList(kShopNamesList);
    m_plusButton = static_cast<int16_t>(GetWidgetCount());
    for (const auto& button :
         {std::make_pair(kPlusPicture, kShopCardPlusX), std::make_pair(kMinusPicture, kShopCardMinusX)}) {
        std::unique_ptr<CFerroxImage> image = FerroxMakeImage(button.first, button.second, kShopCardButtonsY);
        image->m_visible = 1;
        AddWidget(std::move(image));
    }
    AddPictures(m_categories, kCategoryPictures);
}

void CShopPopupPanel::Render()
{
    RenderCard(this, &CShopPopupPanel::DrawShopRecord, m_x + kShopCardLineX, m_y + kShopCardY);
}

void CShopPopupPanel::DrawShopRecord(const ShopRecord* record, float x, float y)
{
    if (!record)
        return;
    CFerroxFont* font = FiguresFont();
    DrawNumber(font, record->shopNumber, x + kShopNumber.x, y, FERROX_ALIGN_LEFT);
    // The shop's grade names it; its category picks the picture.
    DrawListText(m_nameList, record->grade, x + kShopNameX, y);
    DrawEntry(m_categories, record->category, x + kShopPictureX, y + kShopPictureY);
    DrawNumber(font, record->takingsTotal, x + kShopTakings.x, y);
    DrawNumber(font, static_cast<int64_t>(record->takingsTotal) - record->chargesPaid, x + kShopNet.x, y);
    DrawNumber(font, record->chargesPaid, x + kShopPaid.x, y);
    DrawNumber(font, record->category, x + kShopKind.x, y);
    DrawNumber(font, record->salesCount, x + kShopSales.x, y);
    CStatistics* stats = CDynamicObjectManager::PeekStatistics();
    DrawNumber(font, (stats ? stats->m_baseCharge : 0) + record->chargeAdjust, x + kShopCharge.x, y);
}

void CShopPopupPanel::OnWidgetEvent(int32_t index, int32_t event)
{
    const bool chargeButton = m_plusButton >= 0 && index >= m_plusButton;
    const auto hover = [chargeButton](CFerroxWidget* widget, int32_t event) {
        if (!chargeButton) {
            ShowHover(widget, event);
        } else if (event == FERROX_WIDGET_OVER) {
            widget->SetColour(kRed);
        } else if (event == FERROX_WIDGET_NOT_OVER) {
            widget->SetColour(kWhite);
        }
    };
    CardWidgetEvent(this, index, event, hover, [this](int32_t index) {
        FerroxReleaseButton();
        const auto* record = static_cast<const ShopRecord*>(GetRecord());
        CShop* shop = record ? record->owner : nullptr;
        if (index == m_plusButton && shop) {
            shop->IncreaseCharge();
        } else if (index == m_plusButton + 1 && shop) {
            shop->DecreaseCharge();
        }
    });
}

// ---- Staff card ----

CStaffPopupPanel::~CStaffPopupPanel() { CStaffPopupPanel::Release(); }

void CStaffPopupPanel::Init()
{
    SetRecord(nullptr);
    m_titleList = 0;
}

void CStaffPopupPanel::Release()
{
    m_jobs.clear();
    CFerroxCanvas::Release();
}

void CStaffPopupPanel::Build(const char* path, float x, float y, int32_t scaled)
{
    CFerroxCanvas::Build(path, x, y, scaled);
    m_titleList = FindList(kJobTitlesList);
    AddPictures(m_jobs, kJobPictures);
}

void CStaffPopupPanel::Render()
{
    RenderCard(this, &CStaffPopupPanel::DrawStaffRecord, m_x + kStaffCardLineX, m_y + kStaffCardY);
}

void CStaffPopupPanel::DrawStaffRecord(const StaffRecord* record, float x, float y)
{
    if (!record)
        return;
    const StaffFigures member = PopupStaffFigures(*record);
    CFerroxFont* font = FiguresFont();
    DrawListText(m_titleList, member.title, x, y);
    DrawEntry(m_jobs, member.image, x + kStaffPictureX, y + kJobY);
    DrawNumber(font, member.level, x + kStaffLevel.x, y);
    DrawNumber(font, member.wage, x + kStaffWage.x, y);
    DrawNumber(font, member.jobs, x + kStaffJobs.x, y);
}

void CStaffPopupPanel::OnWidgetEvent(int32_t index, int32_t event)
{
    CardWidgetEvent(this, index, event, ShowHover, [](int32_t index) {
        if (index == STAFF_CARD_FIRE) {
            ActOnSelectedStaff(PopupFireStaff);
        } else if (index == STAFF_CARD_MOVE) {
            ActOnSelectedStaff(PopupMoveStaff);
        }
    });
}
