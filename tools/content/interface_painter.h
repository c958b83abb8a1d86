// Interface pictures: a layout table per canvas drives its background, one "<k>_s.png" per button and the
// placement ("_p.png") and hot-spot ("_h.png") maps the canvas builder decodes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "gfx/testsupport/png_writer.h"

// A rectangle in the canvas's bottom-up pixels: its bottom-left corner and size.
struct ContentUiRect {
    int x, y, width, height;
};

// An English label painted on the background: its text's bottom-left corner in bottom-up pixels.
struct ContentUiLabel {
    int x, y;
    const char* text;   // ASCII
};

struct ContentCanvasLayout {
    const char* folder;   // under images/, e.g. "panels/main/base"
    const char* stem;     // background file stem, e.g. "base"
    int width, height;
    uint8_t panel[3];     // background colour
    std::vector<ContentUiRect> buttons;    // button k + 1
    std::vector<ContentUiRect> hotSpots;   // hot-spot k shows text k of the canvas's list
    std::vector<ContentUiLabel> labels;
};

// The colour labels are painted in: one flat colour, so backgrounds stay palette images.
extern const uint8_t kContentLabelColour[3];

// The main bar: 800 x 80, 11 buttons (build, manage, options, demolish, speeds 0-3, floor down, floor up,
// messages) and a hot-spot over each button and over the date, balance, shoppers and rating figures.
const ContentCanvasLayout& ContentMainBarLayout(void);

// Map colour k: distinct for every k below 64, never black or white.
void ContentMapColour(int k, uint8_t* rgb);

// The pictures of a layout.
ContentPngImage ContentCanvasBackground(const ContentCanvasLayout& layout);
ContentPngImage ContentCanvasButton(const ContentCanvasLayout& layout, int button);
// Row 0: the palette, then one white pixel; then one pixel per button at its bottom-left corner, or one block
// per hot-spot.
ContentPngImage ContentCanvasPlacementMap(const ContentCanvasLayout& layout);
ContentPngImage ContentCanvasHotSpotMap(const ContentCanvasLayout& layout);

// The same pixels as a palette image (colour type 3, 8 bits) when the RGBA image has at most 256 distinct
// colours, else the image unchanged. Flat-colour maps decode about four times faster this way.
ContentPngImage ContentPaletteImage(const ContentPngImage& rgba);

// Writes every picture of a layout into dir (the canvas's folder); false with a message on the first failure.
bool ContentWriteCanvas(const ContentCanvasLayout& layout, const std::string& dir, std::string* error);
// The main bar's folder: the canvas, the four season pictures and the rating bar.
bool ContentWriteMainBar(const std::string& dir, std::string* error);
