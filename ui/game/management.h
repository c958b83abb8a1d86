// The management panels: the small menu that opens them, the mall's finance page, the contracts with the
// contractors and the staff hire page. Each derives from the in-game panel base and is owned by the interface,
// which builds it once; the figures are read from the statistics and the technology tree every frame.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ui/game/panels.h"

class CFerroxBar;
class CFerroxImage;
class CFerroxAssetSet;
class CFerroxObjectFactory;
struct FerroxTechEntry;
struct ShopRecord;

// Management menu widgets; any further widget closes the menu.
enum ManagementPanelWidget : int32_t {
    MANAGEMENT_FINANCE = 1,
    MANAGEMENT_SHOPPERS = 2,
    MANAGEMENT_STAFF = 3,
    MANAGEMENT_CONTRACTS = 4,
};
// Sound effect of the finance button.
constexpr int32_t kManagementFinanceSample = 4;

class CManagementPanel : public CGamePanel {
public:
    void OnWidgetEvent(int32_t index, int32_t event) override;
};

// A page of rows, each with an OK button after the page's own widgets. A button lights white under the mouse and
// orange off it; the page's own hot spots show under the mouse only.
class CRowButtonPanel : public CGamePanel {
public:
    void Build(const char* path, float x, float y, int32_t scaled) override;
    uint16_t GetFirstButton() const { return m_firstButton; }

protected:
    // Appends the next row's OK button at (x, y) in the panel, unscaled.
    void AddRowButton(const char* picture, float x, float y);
    bool IsRowButton(int32_t index) const { return m_firstButton > 0 && index >= m_firstButton; }
    // Hover, and a press of the page's close widget, which takes the page off the stack. False for the other
    // presses, which are the page's own.
    bool HoverOrClose(int32_t index, int32_t event, int32_t closeWidget);

    uint16_t m_firstButton = 0;
};

// Finance page widgets from its picture; those between the stake and the list buttons do nothing.
enum MallSummaryWidget : int32_t {
    FINANCE_CLOSE = 1,
    FINANCE_CHARGE_DOWN = 2,
    FINANCE_CHARGE_UP = 3,
    FINANCE_STAKE_DOWN = 4,
    FINANCE_STAKE_UP = 5,
    FINANCE_LIST_UP = 13,
    FINANCE_LIST_DOWN = 14,
};
constexpr uint16_t kFinanceRows = 9;
// The finance page's columns, from its corner: the income and expense totals with their monthly averages, then
// the date, the shops and base charge, the scenery's rating with its average, the storeys built and the base
// rating. A column's widest text is the widest figure a running game puts there.
constexpr PanelColumn kFinanceIncome = {120.0f, "9999999"};
constexpr PanelColumn kFinanceIncomeMonth = {172.0f, "999999"};
constexpr PanelColumn kFinanceDrawn = {150.0f, "65535"};  // the draw's result and the stake
constexpr PanelColumn kFinanceExpenses = {293.0f, "9999999"};
constexpr PanelColumn kFinanceExpensesMonth = {345.0f, "999999"};
constexpr PanelColumn kFinanceDate = {565.0f, "12/2099"};
constexpr PanelColumn kFinanceShops = {440.0f, "99999"};
constexpr PanelColumn kFinanceCharge = {555.0f, "1000"};
constexpr PanelColumn kFinanceDecor = {460.0f, "-9999"};
constexpr PanelColumn kFinanceDecorMonth = {508.0f, "-9999"};
constexpr PanelColumn kFinanceFloors = {593.0f, "99"};
constexpr PanelColumn kFinanceBase = {593.0f, "-32768"};
constexpr float kFinanceFloorsY = 255.0f;  // the storeys' baseline
constexpr float kFinanceBaseY = 230.0f;
// The rating bar and the bar of dirt against crime, each before its name.
constexpr float kFinanceBarsX = 400.0f;
constexpr float kFinanceRatingBarY = 225.0f;
constexpr float kFinanceRatioBarY = 210.0f;
constexpr float kFinanceBarLength = 64.0f;
// The shop lines, from (kFinanceLineX, kFinanceLineY) down by kFinanceRowStep; each line's charge plus and minus
// beside its charge.
constexpr float kFinanceLineX = 25.0f;
constexpr float kFinanceLineY = 165.0f;
constexpr float kFinanceRowStep = 15.0f;
constexpr float kFinancePlusX = 509.0f;
constexpr float kFinanceMinusX = 557.0f;
constexpr float kFinanceRowButtonY = 159.0f;
constexpr uint16_t kFinanceChargeStep = 50;
constexpr uint16_t kFinanceChargeMax = 1000;
constexpr uint16_t kFinanceStakeStep = 1000;
constexpr uint16_t kFinanceStakeMax = 10000;

class CMallSummaryPanel : public CGamePanel {
public:
    CMallSummaryPanel();
    ~CMallSummaryPanel() override;
    void Init() override;
    void Release() override;
    void OnWidgetEvent(int32_t index, int32_t event) override;
    void Render() override;
    void Build(const char* path, float x, float y, int32_t scaled) override;
    uint16_t GetFirstRow() const { return m_firstRow; }
    uint16_t GetFirstRowButton() const { return m_firstRowButton; }
    CFerroxBar* GetBar() const { return m_pBar.get(); }

private:
    void PressRowButton(int32_t index);

    uint16_t m_firstRow;
    uint16_t m_firstRowButton;
    uint16_t m_rowButtonsEnd;
    std::unique_ptr<CFerroxBar> m_pBar;
};

// Contract category k owns the technologies kContractIdStep (k + 1), kContractIdStep (k + 1) + 1, ... in order.
constexpr uint16_t kContractIdStep = 1000;
// Technology steps shown as one unit of a contract's duration.
constexpr uint16_t kContractStepsPerUnit = 150;
enum ContractsPanelWidget : int32_t {
    CONTRACTS_CLOSE = 1,
};
// The contract rows, in screen pixels: row k's baseline kContractRowY - kContractRowStep k, its category's name,
// then its level, the offered contract's price, the level's daily cost and the contract's time (or the bar of a
// running one); a row without an offer shows dashes, left-aligned, in the price's and the time's places. The OK
// buttons stand in the panel, row k's at (kContractOkX, kContractOkY - kContractRowStep k): on a panel opened on
// top of the main bar, beside their rows. A column's widest text is the widest figure a running game puts there.
constexpr float kContractRowY = 238.0f;
constexpr float kContractRowStep = 15.0f;
constexpr float kContractNameX = 25.0f;
constexpr float kContractNameRoom = 170.0f;  // the longest category name
constexpr PanelColumn kContractLevel = {215.0f, "3"};
constexpr PanelColumn kContractPrice = {250.0f, "8000"};
constexpr PanelColumn kContractWage = {280.0f, "300"};
constexpr PanelColumn kContractTime = {312.0f, "6"};
constexpr float kContractPriceDashX = 233.0f;
constexpr float kContractTimeDashX = 295.0f;
constexpr float kContractBarX = 280.0f;  // a running contract's bar, in the time's place
constexpr float kContractBarDy = -5.0f;
constexpr float kContractOkX = 315.0f;
constexpr float kContractOkY = 152.0f;

class CContractsPanel : public CRowButtonPanel {
public:
    CContractsPanel();
    ~CContractsPanel() override;
    void Init() override;
    void Release() override;
    void OnWidgetEvent(int32_t index, int32_t event) override;
    void Render() override;
    void Build(const char* path, float x, float y, int32_t scaled) override;
    // Each category's slot back to its first contract (none when the tree lacks it).
    void LoadContracts();
    // The category's next contract replaces its completed one; an empty slot stays empty.
    void AdvanceContract(uint16_t category);

    const std::vector<FerroxTechEntry*>& GetSlots() const { return m_slots; }

private:
    void ShowButton(uint16_t category);

    std::vector<FerroxTechEntry*> m_slots;  // one per category; the tree owns the entries
    int16_t m_categoryList;
    std::unique_ptr<CFerroxBar> m_pBar;
};

// One job the hire page offers.
struct HireEntry {
    uint16_t titleIndex;
    uint16_t imageIndex;
    uint16_t level;
    uint16_t baseWage;
    CFerroxAssetSet* templateA;     // not owned
    CFerroxAssetSet* templateB;     // not owned
    CFerroxObjectFactory* factory;  // not owned
};

// Title index, image index and base wage from a template's value texts; a missing or unreadable one is 0.
void HireReadValues(const std::vector<std::string>& values, HireEntry* entry);

enum StaffHireWidget : int32_t {
    HIRE_CLOSE = 1,
};
// The hire page's rows, top to bottom; row r's OK button is the page's first button + r.
enum HireRow : uint16_t {
    HIRE_CLEANER,
    HIRE_GARDENER,
    HIRE_ENGINEER,
    HIRE_SECURITY,
    HIRE_ROWS,
};
// The hire rows, in screen pixels: row k's baseline kHireRowY - kHireRowStep k, the job's title and picture, its
// level and a new member's wage. The OK buttons stand in the panel, row k's at (kHireOkX, kHireOkY - kHireRowStep
// k): on a panel opened on top of the main bar, beside their rows. Every title ends a column gap before the
// picture.
constexpr float kHireRowY = 212.0f;
constexpr float kHireRowStep = 15.0f;
constexpr float kHireTitleX = 25.0f;
constexpr float kHirePictureX = 150.0f;
constexpr float kHireTitleRoom = kHirePictureX - kHireTitleX - kPanelColumnGap;  // the longest job title
constexpr float kHirePictureDy = -7.0f;
constexpr PanelColumn kHireLevel = {215.0f, "3"};
constexpr PanelColumn kHireWage = {246.0f, "400"};  // the most base wage with the most level's supplement
constexpr float kHireOkX = 255.0f;
constexpr float kHireOkY = 127.0f;
constexpr uint16_t kHireWageStep = 50;

class CStaffHirePanel : public CRowButtonPanel {
public:
    CStaffHirePanel();
    ~CStaffHirePanel() override;
    void Init() override;
    void Release() override;
    void OnWidgetEvent(int32_t index, int32_t event) override;
    void Render() override;
    void Build(const char* path, float x, float y, int32_t scaled) override;
    void AddHireEntry(const char* category, const char* factoryName);
    // Starts placing a new member of the row's job; nothing for a row without templates or factory.
    void HireStaff(uint16_t row);

    const std::vector<std::unique_ptr<HireEntry>>& GetEntries() const { return m_entries; }

private:
    int16_t m_titleList;
    std::vector<std::unique_ptr<HireEntry>> m_entries;
    std::vector<std::unique_ptr<CFerroxImage>> m_jobImages;
};
