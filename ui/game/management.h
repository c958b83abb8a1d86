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
// The storeys built: the figure's right end and baseline from the page's corner.
constexpr float kFinanceFloorsX = 593.0f;
constexpr float kFinanceFloorsY = 255.0f;
constexpr uint16_t kFinanceChargeStep = 50;
constexpr uint16_t kFinanceChargeMax = 1000;
constexpr uint16_t kFinanceStakeStep = 1000;
constexpr uint16_t kFinanceStakeMax = 10000;
// The shop categories' pictures, by category.
constexpr uint16_t kShopCategoryPictures = 6;

class CMallSummaryPanel : public CGamePanel {
public:
    CMallSummaryPanel();
    ~CMallSummaryPanel() override;
    void Init() override;
    void Release() override;
    void OnWidgetEvent(int32_t index, int32_t event) override;
    void Render() override;
    void Build(const char* path, float x, float y, int32_t scaled) override;
    // One shop line: number, name, category picture and figures, with the line's left end at x.
    void DrawShopLine(const ShopRecord* shop, float x, float y);

    uint16_t GetFirstRow() const { return m_firstRow; }
    uint16_t GetFirstRowButton() const { return m_firstRowButton; }
    CFerroxBar* GetBar() const { return m_pBar.get(); }

private:
    void PressRowButton(int32_t index);

    uint16_t m_firstRow;
    uint16_t m_firstRowButton;
    uint16_t m_rowButtonsEnd;
    std::unique_ptr<CFerroxBar> m_pBar;
    int16_t m_shopNames;
    std::vector<std::unique_ptr<CFerroxImage>> m_categoryImages;
};

// Contract category k owns the technologies kContractIdStep (k + 1), kContractIdStep (k + 1) + 1, ... in order.
constexpr uint16_t kContractIdStep = 1000;
// Technology steps shown as one unit of a contract's duration.
constexpr uint16_t kContractStepsPerUnit = 150;
enum ContractsPanelWidget : int32_t {
    CONTRACTS_CLOSE = 1,
};

class CContractsPanel : public CGamePanel {
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
    uint16_t GetFirstButton() const { return m_firstButton; }

private:
    void ShowButton(uint16_t category);

    std::vector<FerroxTechEntry*> m_slots;  // one per category; the tree owns the entries
    int16_t m_categoryList;
    uint16_t m_firstButton;
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
constexpr uint16_t kHireWageStep = 50;

class CStaffHirePanel : public CGamePanel {
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
    uint16_t GetFirstButton() const { return m_firstButton; }

private:
    int16_t m_titleList;
    std::vector<std::unique_ptr<HireEntry>> m_entries;
    uint16_t m_firstButton;
    std::vector<std::unique_ptr<CFerroxImage>> m_jobImages;
};
