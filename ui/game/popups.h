// The cards of a selected shopper, shop or staff member, and the shopper and staff summary panels that list
// the statistics' records with the cards' line-drawing routines.
//
// The cards keep a pointer to the record they show (not owned); the interface hands it over when it opens a
// card and clears it when the game closes the popups, so a removed object's record is never drawn. The
// summaries read the statistics' registers every frame and keep nothing but their first line.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "ui/game/panels.h"

struct ShopperRecord;
struct ShopRecord;
struct StaffRecord;

// Picture tables of the cards.
constexpr size_t kStarSignCount = 12;
constexpr size_t kSexCount = 2;
constexpr size_t kArrivalCount = 4;
constexpr size_t kShopCategoryCount = 6;
constexpr size_t kJobImageCount = 3;

// The shopper line, from its origin: star sign and sex pictures, age and money, the three need bars (yellow,
// orange, green), how the shopper came and the bags. A column's widest text is the widest figure a running
// game puts there.
constexpr PanelColumn kShopperAge = {63.0f, "99"};
constexpr PanelColumn kShopperMoney = {96.0f, "1249"};  // the most a shopper comes with
constexpr float kShopperNeedBarsX[] = {96.0f, 144.0f, 192.0f};
constexpr float kShopperNeedBarLength = 48.0f;
constexpr float kShopperArrivalX = 240.0f;
constexpr PanelColumn kShopperBags = {311.0f, "999"};
// The shop line, from its origin: its number (left-aligned), name and category picture, then its figures.
constexpr PanelColumn kShopNumber = {0.0f, "99"};
// The category picture: its clear left columns and lower rows bring what it shows onto the line, just before the
// category number.
constexpr float kShopPictureX = -365.0f;
constexpr float kShopPictureY = -16.0f;
constexpr float kShopNameX = 25.0f;
constexpr float kShopNameRoom = 190.0f;  // up to the widest takings
constexpr PanelColumn kShopTakings = {270.0f, "999999"};
constexpr PanelColumn kShopNet = {325.0f, "-99999"};
constexpr PanelColumn kShopPaid = {380.0f, "999999"};
constexpr PanelColumn kShopKind = {437.0f, "5"};
constexpr PanelColumn kShopSales = {475.0f, "9999"};
constexpr PanelColumn kShopCharge = {527.0f, "2000"};  // the base charge plus the shop's own, at their most
// The shop card's charge buttons, from its corner.
constexpr float kShopCardPlusX = 500.0f;
constexpr float kShopCardMinusX = 548.0f;
constexpr float kShopCardButtonsY = 10.0f;
// The staff line, from its origin: the job title, its picture, then level, wage and jobs done.
constexpr float kStaffTitleRoom = 121.0f;  // up to the picture
constexpr float kStaffPictureX = 125.0f;
constexpr PanelColumn kStaffLevel = {188.0f, "99"};
constexpr PanelColumn kStaffWage = {219.0f, "999"};
constexpr PanelColumn kStaffJobs = {252.0f, "999"};
// The summaries' totals, from their corner. Shoppers: those who came and per month, their spending and per
// month on the first row, the spending per shopper and per month below it. Staff: the count, the wages and per
// month, and below them the jobs done and per month.
constexpr PanelColumn kShoppersCame = {114.0f, "99999"};
constexpr PanelColumn kShoppersCameMonth = {164.0f, "99999"};
constexpr PanelColumn kShoppersSpent = {282.0f, "9999999"};
constexpr PanelColumn kShoppersSpentMonth = {328.0f, "99999"};
constexpr PanelColumn kStaffCount = {102.0f, "999"};
constexpr PanelColumn kStaffWages = {215.0f, "9999999"};
constexpr PanelColumn kStaffWagesMonth = {265.0f, "99999"};
// The staff summary's fire and move buttons of each line, from its corner, after the line's figures.
constexpr float kStaffSummaryFireX = 280.0f;
constexpr float kStaffSummaryMoveX = 313.0f;
// Where the cards and summaries draw their lines, from their corner.
constexpr float kShopperCardLineX = 56.0f;
constexpr float kShopCardLineX = 17.0f;
constexpr float kStaffCardLineX = 23.0f;
constexpr float kShopperSummaryLineX = 56.0f;
constexpr float kStaffSummaryLineX = 28.0f;

// Widgets of the cards.
enum CardWidget : int32_t {
    CARD_CLOSE = 1,
    STAFF_CARD_FIRE = 7,
    STAFF_CARD_MOVE = 8,
};

class CShopperPopupPanel : public CSelectionPopup {
public:
    ~CShopperPopupPanel() override;
    void Init() override;
    void Release() override;
    void OnWidgetEvent(int32_t index, int32_t event) override;
    void Render() override;
    void Build(const char* path, float x, float y, int32_t scaled) override;
    // One shopper's line with its left figure column at (x, y).
    virtual void DrawShopperRecord(const ShopperRecord* record, float x, float y);

    CFerroxBar* GetBar() const { return m_pBar.get(); }

private:
    std::vector<std::unique_ptr<CFerroxImage>> m_starSigns;
    std::vector<std::unique_ptr<CFerroxImage>> m_sexes;
    std::vector<std::unique_ptr<CFerroxImage>> m_arrivals;
    std::unique_ptr<CFerroxBar> m_pBar;
};

class CShopPopupPanel : public CSelectionPopup {
public:
    ~CShopPopupPanel() override;
    void Init() override;
    void Release() override;
    void OnWidgetEvent(int32_t index, int32_t event) override;
    void Render() override;
    void Build(const char* path, float x, float y, int32_t scaled) override;
    virtual void DrawShopRecord(const ShopRecord* record, float x, float y);

    int16_t GetPlusButton() const { return m_plusButton; }

private:
    int16_t m_nameList = kFerroxNoTextList;
    int16_t m_plusButton = -1;  // the minus button follows it
    std::vector<std::unique_ptr<CFerroxImage>> m_categories;
};

class CStaffPopupPanel : public CSelectionPopup {
public:
    ~CStaffPopupPanel() override;
    void Init() override;
    void Release() override;
    void OnWidgetEvent(int32_t index, int32_t event) override;
    void Render() override;
    void Build(const char* path, float x, float y, int32_t scaled) override;
    virtual void DrawStaffRecord(const StaffRecord* record, float x, float y);

private:
    int16_t m_titleList = kFerroxNoTextList;
    std::vector<std::unique_ptr<CFerroxImage>> m_jobs;
};

enum ShopperSummaryWidget : int32_t {
    SHOPPERS_CLOSE = 1,
    SHOPPERS_PAGE_UP = 11,
    SHOPPERS_PAGE_DOWN = 12,
};
constexpr uint16_t kShopperSummaryLines = 19;

class CShopperSummaryPanel : public CGamePanel {
public:
    void Init() override;
    void OnWidgetEvent(int32_t index, int32_t event) override;
    void Render() override;

    void SetShopperPopup(CShopperPopupPanel* popup) { m_pShopperPopup = popup; }
    uint16_t GetFirstLine() const { return m_firstLine; }

private:
    CShopperPopupPanel* m_pShopperPopup = nullptr;  // not owned
    uint16_t m_firstLine = 0;
};

enum StaffSummaryWidget : int32_t {
    STAFF_CLOSE = 1,
    STAFF_PAGE_UP = 2,
    STAFF_PAGE_DOWN = 3,
    STAFF_HIRE = 11,
};
constexpr uint16_t kStaffSummaryLines = 10;

class CStaffSummaryPanel : public CGamePanel {
public:
    void Init() override;
    void OnWidgetEvent(int32_t index, int32_t event) override;
    void Render() override;
    void Build(const char* path, float x, float y, int32_t scaled) override;
    // Appends line i's fire and move buttons.
    void AddRowButtons(int32_t i);

    void SetStaffPopup(CStaffPopupPanel* popup) { m_pStaffPopup = popup; }
    uint16_t GetFirstLine() const { return m_firstLine; }
    uint16_t GetFirstRowButton() const { return m_firstRowButton; }

private:
    void ActOnLine(int32_t index);

    CStaffPopupPanel* m_pStaffPopup = nullptr;  // not owned
    uint16_t m_firstLine = 0;
    uint16_t m_firstRowButton = 0;
    uint16_t m_widgetTotal = 0;
};
