// Front-end pictures: the main menu (its words in each language, the German one also a canvas of its own), the
// three city canvases with the overlay in front of their 3D view, and the end-game picture with its
// full-screen overlay.
#pragma once

#include <string>

#include "tools/content/interface_painter.h"

// The main menu, 800 x 600: 1 London, 2 Paris, 3 Berlin, 4 quit, a hot-spot over each.
const ContentCanvasLayout& ContentMainMenuLayout();
// The stem of the German menu's canvas, which is also the menu's German picture.
constexpr const char* kContentGermanMenu = "mainmenuger";
// A city canvas, 800 x 600 (0 London, 1 Berlin, 2 Paris): 1 back, 2 previous, 3 next, 4 none (inert), 5 start.
const ContentCanvasLayout& ContentCityLayout(int city);
// The end-game picture, 800 x 600, without buttons.
const ContentCanvasLayout& ContentEndGameLayout();

// The 470 x 390 frame over a city's 464 x 390 3D view: a clear middle, an opaque rim (on the right just past the
// view, so that the plate under the scenario heading and number reaches the view's edge) and that plate.
ContentPngImage ContentCityOverlay();
// The end-game overlay, 800 x 600: an opaque frame, a vignette and a plate under the message; its alpha is 8
// or more everywhere, so every point of it takes the click.
ContentPngImage ContentEndGameOverlay();

// Writes images/mainmenu/ and images/scenario/ under the game root; false with a message on the first failure.
bool ContentWriteFrontEnd(const std::string& root, std::string* error);
