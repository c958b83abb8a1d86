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

#include "ui/game/cardlayout.h"
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

    uint16_t GetFirstLine() const { return m_firstLine; }
    uint16_t GetFirstRowButton() const { return m_firstRowButton; }

private:
    void ActOnLine(int32_t index);

    uint16_t m_firstLine = 0;
    uint16_t m_firstRowButton = 0;
    uint16_t m_widgetTotal = 0;
};
