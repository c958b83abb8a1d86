// The load and save panels' pictures: one layout each (background, 15 buttons: 1 new folder, 2 up, 3 delete,
// 4 and 5 page back and on, 6 load or save, 7 close, 8 to 15 the list rows) written with the interface painter.
// They carry no words: buttons 1 to 5 show icons and tooltips, and the panel draws its heading and the words of
// buttons 6 and 7 from its text list, in the player's language.
#pragma once

#include <string>

#include "tools/content/interface_painter.h"

constexpr int kContentFilePanelButtons = 15;

// stem "load" or "save": the panel of that name under images/panels/<stem>/.
ContentCanvasLayout ContentFilePanelLayout(const char* stem);
// The stripe of list row `row` (0 the top one), in the panel's bottom-up pixels; its row button covers it.
ContentUiRect ContentFilePanelStripe(int row);
// The box painted round the name field, with room for its widest text and the caret, bottom-up pixels.
ContentUiRect ContentFilePanelNameBox();
// The light over a list row under the pointer, or tinted over the chosen one: a see-through face with a bar at
// either end and nothing across the row, whose name it would cut.
ContentPngImage ContentFilePanelRowLight(int row);
// The background: the framed buttons 1 to 7, the list's rows as stripes of two shades in a rim, and the name
// field's box.
ContentPngImage ContentFilePanelBackground(const ContentCanvasLayout& layout);
// Writes images/panels/load/ and images/panels/save/ under root; false with a message on the first failure.
bool ContentWriteFilePanels(const std::string& root, std::string* error);
