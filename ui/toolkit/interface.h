// The interface base: the canvas stack of an interface, the tooltip a canvas asked for with its delay and its
// place at the pointer, and the 2D set-up before its canvases draw. The in-game interface and the front end derive
// from it.
#pragma once

#include <cstdint>

#include "engine/application/base.h"
#include "ui/toolkit/canvas.h"
#include "ui/toolkit/stack.h"

class CFerroxFont;

// Where a tooltip's text is centred when the catalogue centres it.
constexpr float kFerroxTooltipMiddleX = 400.0f;

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
    // position, the text is drawn in the font at that position, left-aligned, and the request is cleared (true). Without a request the delay starts again at `wait` and the position follows the pointer (false).
    bool StepTooltip(bool requested, CFerroxFont* font, float* delay, float frameTime, float wait);

    CFerroxStack<CFerroxCanvas*> m_stack;

private:
    // The tooltip position: the pointer's, bottom-up.
    void FollowPointer();
};

// The interface the game holds; null without a game or an interface.
CFerroxInterface* FerroxGetGameInterface();
