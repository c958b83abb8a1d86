// The management menu: opens the finance, shopper, staff and contracts panels above the main bar.
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
            ui->OpenPanel(ui->m_pMallSummaryPanel.get());
            if (g_pGame)
                g_pGame->PlaySample(kManagementFinanceSample, kFullVolume);
            break;
        case MANAGEMENT_SHOPPERS:
            ui->OpenPanel(ui->m_pShopperSummaryPanel.get());
            break;
        case MANAGEMENT_STAFF:
            ui->OpenPanel(ui->m_pStaffSummaryPanel.get());
            break;
        case MANAGEMENT_CONTRACTS:
            ui->OpenPanel(ui->m_pContractsPanel.get());
            break;
        default:
            break;
        }
    }
    FerroxReleaseButton();
}
