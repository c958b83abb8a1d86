// The management menu, which opens the finance, shopper, staff and contracts panels above the main bar, and the
// rows of OK buttons the contracts and hire pages share.
#include "ui/game/management.h"

#include "ui/game/management_local.h"

using namespace management;

void CManagementPanel::OnWidgetEvent(int32_t index, int32_t event)
{
    CFerroxWidget* widget = GetWidget(index);
    CInterface* ui = InterfaceGet();
    if (event == FERROX_WIDGET_OVER) {
        if (widget)
            widget->SetColour(kGrey);
        if (index >= MANAGEMENT_FINANCE && index <= MANAGEMENT_CONTRACTS && ui)
            ui->SetTooltip(static_cast<uint16_t>(index - 1), m_tooltipList);
        return;
    }
    if (event == FERROX_WIDGET_NOT_OVER) {
        if (widget)
            widget->SetColour(kWhite);
        return;
    }
    if (event != FERROX_WIDGET_PRESSED)
        return;
    // Closing every panel takes this menu off the stack too, which is all a further widget asks for.
    if (ui)
        ui->CloseCanvases();
    EndPress();
    if (ui) {
        switch (index) {
        case MANAGEMENT_FINANCE:
            ui->OpenPanel(ui->m_pMallSummaryPanel.get(), 0.0f);
            if (g_pGame)
                g_pGame->PlaySample(kManagementFinanceSample, kFullVolume);
            break;
        case MANAGEMENT_SHOPPERS:
            ui->OpenPanel(ui->m_pShopperSummaryPanel.get(), 0.0f);
            break;
        case MANAGEMENT_STAFF:
            ui->OpenPanel(ui->m_pStaffSummaryPanel.get(), 0.0f);
            break;
        case MANAGEMENT_CONTRACTS:
            ui->OpenPanel(ui->m_pContractsPanel.get(), 0.0f);
            break;
        default:
            break;
        }
    }
    FerroxReleaseButton();
}

void CRowButtonPanel::Build(const char* path, float x, float y, int32_t scaled)
{
    CGamePanel::Build(path, x, y, scaled);
    m_firstButton = m_widgetCount;
}

void CRowButtonPanel::AddRowButton(const char* picture, float x, float y)
{
    std::unique_ptr<CFerroxImage> button = FerroxMakeImage(picture, x, y, 0);
    button->m_visible = 1;
    AddWidget(std::move(button));
}

bool CRowButtonPanel::HoverOrClose(int32_t index, int32_t event, int32_t closeWidget)
{
    CFerroxWidget* widget = GetWidget(index);
    if (event == FERROX_WIDGET_OVER || event == FERROX_WIDGET_NOT_OVER) {
        const bool over = event == FERROX_WIDGET_OVER;
        if (widget && IsRowButton(index))
            widget->SetColour(over ? kWhite : kOrange);
        else if (widget)
            widget->m_visible = over ? 1 : 0;
        return true;
    }
    if (event != FERROX_WIDGET_PRESSED || index != closeWidget)
        return false;
    if (CInterface* ui = InterfaceGet())
        ui->GetStack().RequestPop();
    FerroxReleaseButton();
    EndPress();
    return true;
}
