// The full-screen splash pictures of the first game states and the game's mouse cursor.
#pragma once

#include <cstdint>
#include <string>

#include "gfx/testsupport/png_writer.h"

constexpr uint32_t kContentSplashWidth = 800;
constexpr uint32_t kContentSplashHeight = 600;
constexpr uint32_t kContentCursorSize = 32;

// One splash picture: a vertical gradient between two colours with a figure in the accent colour.
enum ContentSplashFigure {
    kContentFigureArrow,
    kContentFigureRidge,
    kContentFigureRings,
    kContentFigureBar
};
struct ContentSplash {
    const char* name;  // file name under images/loading/
    uint8_t top[3];
    uint8_t bottom[3];
    uint8_t accent[3];
    ContentSplashFigure figure;
};

// The five pictures, in the order the game shows them (brand, other-language brand, logo, loading twice).
constexpr ContentSplash kContentSplashes[] = {
    {"StoneArrow.png", {92, 88, 84}, {38, 36, 34}, {222, 178, 70}, kContentFigureArrow},
    {"BrightRidge.png", {120, 170, 220}, {30, 60, 110}, {250, 250, 240}, kContentFigureRidge},
    {"graphics.png", {20, 24, 40}, {60, 70, 120}, {120, 220, 255}, kContentFigureRings},
    {"loading.png", {40, 40, 48}, {16, 16, 20}, {240, 200, 90}, kContentFigureBar},
    {"loadingger.png", {48, 40, 40}, {20, 16, 16}, {240, 200, 90}, kContentFigureBar},
};

// The RGB pixels of a splash picture.
ContentPngImage ContentSplashImage(const ContentSplash& splash);

// The cursor: a white arrow with a dark outline pointing to the top-left pixel, clear elsewhere (RGBA).
ContentPngImage ContentCursorImage();

// Writes the five pictures into DIR/images/loading and cursor.png into DIR; false with a message on failure.
bool ContentWriteSplashes(const std::string& dir, std::string* error);
