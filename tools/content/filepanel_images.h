// The load and save panels' pictures: one layout each (background, 15 buttons: 1 new folder, 2 up, 3 delete,
// 4 and 5 page back and on, 6 load or save, 7 close, 8 to 15 the list rows) written with the interface painter.
#pragma once

#include <string>

#include "tools/content/interface_painter.h"

constexpr int kContentFilePanelButtons = 15;

// stem "load" or "save": the panel of that name under images/panels/<stem>/.
ContentCanvasLayout ContentFilePanelLayout(const char* stem);
// Writes images/panels/load/ and images/panels/save/ under root; false with a message on the first failure.
bool ContentWriteFilePanels(const std::string& root, std::string* error);
