// Pictures of the in-game panels above the main bar: options, management cap, confirmation and message
// history, painted from layout tables by the interface painter.
#pragma once

#include <string>

#include "tools/content/interface_painter.h"

// Options: 5 buttons (load, save, music, effects, quit) and a hot-spot over each.
const ContentCanvasLayout& ContentOptionsLayout(void);
// Confirmation: yes and no.
const ContentCanvasLayout& ContentConfirmLayout(void);
// Message history: close, newer page, older page; six rows of date and message.
const ContentCanvasLayout& ContentMessagesLayout(void);
// The management panel's cap; its buttons are the numbered pictures 01 to 04 laid out to its right.
const ContentCanvasLayout& ContentManagementLayout(void);

// Writes the four panels into their folders under panelsDir ("images/panels"); false with a message on the
// first failure.
bool ContentWriteGamePanels(const std::string& panelsDir, std::string* error);
