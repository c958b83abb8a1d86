// Pictures of the management panels: the finance page with its shop-category icons, the contracts and staff
// hire pages with their OK buttons, and the job icons of the hire rows, painted from layout tables.
#pragma once

#include <string>

#include "tools/content/interface_painter.h"

// Finance: 14 buttons (1 close, 2/3 base charge down/up, 4/5 stake down/up, 6-12 inert, 13/14 list up/down).
const ContentCanvasLayout& ContentFinanceLayout(void);
// Contracts and hire pages: a close button.
const ContentCanvasLayout& ContentContractorsLayout(void);
const ContentCanvasLayout& ContentHireLayout(void);
constexpr int kContentFinanceButtons = 14;
// A shop line draws its category picture 16 pixels under its baseline and 365 left of its origin: the pictures'
// icons stand over this many clear rows, on the line's digits, and right of this many clear columns, just before
// the category number (437 right of the origin).
constexpr int kContentShopCategoryLift = 14;
constexpr int kContentShopCategoryShift = 365 + 410;
// The width of the contracts' and the hire page's OK buttons.
constexpr int kContentOkWidth = 20;
constexpr int kContentFinanceFirstInert = 6;
constexpr int kContentFinanceLastInert = 12;

// Writes the three pages, their OK buttons, the six "shopcat-*" icons and the job icons into their folders
// under panelsDir ("images/panels"); false with a message on the first failure.
bool ContentWriteManagementPanels(const std::string& panelsDir, std::string* error);
