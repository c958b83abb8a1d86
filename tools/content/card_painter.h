// Pictures of the selection cards (shopper, shop, staff member) and of the shopper and staff summaries:
// their canvases, the pictures of star signs, sexes, arrivals and jobs, and the row and charge buttons.
#pragma once

#include <string>

#include "tools/content/interface_painter.h"

// Inert buttons: numbered places a panel keeps but never uses, 2 x 2 and fully transparent.
constexpr int kContentInertSize = 2;

// The shopper card: 1 close.
const ContentCanvasLayout& ContentShopperCardLayout(void);
// The shop card: 1 close; its plus and minus pictures are added by the card at (500, 10) and (548, 10).
const ContentCanvasLayout& ContentShopCardLayout(void);
// The staff card: 1 close, 7 fire, 8 move; 2 to 6 inert.
const ContentCanvasLayout& ContentStaffCardLayout(void);
// The shopper summary: 1 close, 11 page up, 12 page down; 2 to 10 inert.
const ContentCanvasLayout& ContentShopperSummaryLayout(void);
// The staff summary: 1 close, 2 page up, 3 page down, 11 hire; 4 to 10 inert.
const ContentCanvasLayout& ContentStaffSummaryLayout(void);

// Writes the five canvases and their pictures into their folders under panelsDir ("images/panels"); false
// with a message on the first failure.
bool ContentWriteCards(const std::string& panelsDir, std::string* error);
