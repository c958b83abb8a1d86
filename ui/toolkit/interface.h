// The interface base: the canvas stack of an interface, the tooltip a canvas asked for, its delay and its plate
// beside the pointer, and the 2D set-up before its canvases draw. The in-game interface and the front end derive
// from it.
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
    // Stores the text index; the list only when it is not negative. What lies under the pointer then is what
    // asked, which the tooltip's plate keeps off.
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
    // One frame of the tooltip, after the canvases drew. With a request (`requested`) the delay counts down by the
    // frame time; once it has run out, a (text, list) pair other than the one shown last takes the pointer's
    // position, the text is drawn in the font on its plate beside that position, and the request is cleared
    // (true). Without a request the delay starts again at `wait` and the position follows the pointer (false).
    bool StepTooltip(bool requested, CFerroxFont* font, float* delay, float frameTime, float wait);

    CFerroxStack<CFerroxCanvas*> m_stack;

private:
    // The tooltip position: the pointer's, bottom-up.
    void FollowPointer();
    // Draws the requested text on its plate, placed from the tooltip position.
    void DrawTooltipText(CFerroxFont* font);
    // Puts the plate of a text of that size beside (x, y), off the area that asked for the tooltip.
    void PlaceTooltipBox(float x, float y, float textWidth, float textHeight);

    float m_pointerArea[4] = {};  // left, bottom, right, top
    bool m_hasPointerArea = false;
    CFerroxPlainBox m_tooltipBox;
    float m_requestArea[4] = {};  // what asked for the tooltip last (x, y, width, height), when it has an area
    bool m_hasRequestArea = false;
};

// The interface the game holds; null without a game or an interface.
CFerroxInterface* FerroxGetGameInterface();
