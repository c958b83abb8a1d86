// The interface base: the canvas stack of an interface, the tooltip a canvas asked for and its plate beside the
// pointer, and the 2D set-up before its canvases draw. The in-game interface and the front end derive from it.
#pragma once

#include <cstdint>

#include "engine/application/base.h"
#include "ui/toolkit/canvas.h"
#include "ui/toolkit/stack.h"

class CFerroxFont;

// The tooltip's plate: a dark face inside a light rim, the text inset by the margins, kept this far off what it
// describes and to the right of the pointer, which covers that much of the screen below and right of its tip.
constexpr FerroxColour kFerroxTooltipFill = {28, 32, 44, 255};
constexpr FerroxColour kFerroxTooltipRim = {200, 204, 216, 255};
constexpr float kFerroxTooltipMarginX = 5.0f;
constexpr float kFerroxTooltipMarginY = 3.0f;
constexpr float kFerroxTooltipGap = 4.0f;
constexpr float kFerroxTooltipPointer = 16.0f;

class CFerroxInterface : public CFerroxGameInterface {
public:
    CFerroxInterface();
    CFerroxInterface(const CFerroxInterface&) = delete;
    CFerroxInterface& operator=(const CFerroxInterface&) = delete;

    virtual void CloseCanvases() = 0;
    virtual void ClearData() = 0;
    // One of the subclass's fonts, null outside its list.
    virtual CFerroxFont* GetFont(int32_t index) = 0;
    // Stores the text index; the list only when it is not negative.
    virtual void SetTooltip(uint16_t text, int16_t list);
    virtual void Update(float argument);
    virtual void Render();
    virtual int Create(int32_t argument);
    virtual void DestroyCanvases();
    virtual void Reset();
    ~CFerroxInterface() override;

    CFerroxStack<CFerroxCanvas*>& GetStack() { return m_stack; }
    // The buttons and hot-spots under the pointer: the canvases add each one's rectangle (x, y, width, height,
    // bottom-up screen pixels) as they route the pointer, so that a tooltip can stay off what it describes.
    // Update empties it before they do.
    void AddPointerArea(float x, float y, float width, float height);
    // The rectangle round every area added since the last Update; false when none was.
    bool GetPointerArea(float* rect) const;
    // The plate under the tooltip; visible in the frames a tooltip was drawn.
    const CFerroxPlainBox& GetTooltipBox() const { return m_tooltipBox; }

    int16_t m_tooltipList;
    int16_t m_defaultTooltipList;
    uint16_t m_tooltipText;
    uint16_t m_lastText;
    uint16_t m_lastList;
    float m_tooltipX;
    float m_tooltipY;

protected:
    // Draws the requested tooltip (m_tooltipText of m_tooltipList) in the font on its plate once `*delay`, counted
    // down by the frame time, has run out: beside the pointer where the text first showed, off the buttons under
    // the pointer then (those the canvases noted with the game's interface, which they route the pointer for). A
    // press puts it away until the pointer leaves what asked for it or rests on something else.
    void DrawTooltip(CFerroxFont* font, float* delay, float frameTime);
    // No tooltip this frame: the next one waits `wait` seconds and anchors anew.
    void WithdrawTooltip(float* delay, float wait);

    CFerroxStack<CFerroxCanvas*> m_stack;

private:
    // Puts the plate of a text of that size beside the anchored pointer, off the area it describes.
    void PlaceTooltipBox(float textWidth, float textHeight);
    // Whether a press put the requested tooltip away.
    bool TooltipPutAway();

    float m_pointerArea[4] = {};  // left, bottom, right, top
    bool m_hasPointerArea = false;
    CFerroxPlainBox m_tooltipBox;
    float m_tooltipArea[4] = {};  // what the shown tooltip describes (x, y, width, height), when it has an area
    bool m_hasTooltipArea = false;
    // A press puts the tooltip of what the pointer rests on away (the panel it opens may stand where the plate
    // would) until the pointer leaves or rests on something else: the request it came with, once known.
    bool m_tooltipPressed = false;
    bool m_hasPressedRequest = false;
    uint16_t m_pressedText = 0;
    int16_t m_pressedList = 0;
};

// The interface the game holds; null without a game or an interface.
CFerroxInterface* FerroxGetGameInterface();
