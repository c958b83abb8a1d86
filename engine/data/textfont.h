// The least a font must offer for the engine to draw wide texts with it; the interface's fonts implement it.
#pragma once

// Layout rectangle in pixels.
struct FerroxTextBox {
    float x, y, width, height;
};

enum FerroxTextAlign {
    FERROX_ALIGN_LEFT = 0,    // starts at x
    FERROX_ALIGN_RIGHT = 1,   // ends at x
    FERROX_ALIGN_MIDDLE = 2,  // its middle at middle x
};

class CFerroxWideTextFont {
public:
    virtual ~CFerroxWideTextFont() {}
    // Width of the text in pixels.
    virtual float GetStringWidth(const char16_t* text) = 0;
    virtual void DrawWideText(const char16_t* text, float x, int y, int highlight, int alignment, float middleX,
                              int scaled, const FerroxTextBox* box) = 0;
};
