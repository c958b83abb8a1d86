// The interface base: the canvas stack of an interface, the tooltip a canvas asked for, and the 2D set-up
// before its canvases draw. The in-game interface and the front end derive from it.
#pragma once

#include <cstdint>

#include "engine/application/base.h"
#include "ui/toolkit/canvas.h"
#include "ui/toolkit/stack.h"

class CFerroxFont;

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

    int16_t m_tooltipList;
    int16_t m_defaultTooltipList;
    uint16_t m_tooltipText;
    uint16_t m_lastText;
    uint16_t m_lastList;
    float m_tooltipX;
    float m_tooltipY;

protected:
    CFerroxStack<CFerroxCanvas*> m_stack;

private:
    float m_pointerArea[4] = {};  // left, bottom, right, top
    bool m_hasPointerArea = false;
};

// The interface the game holds; null without a game or an interface.
CFerroxInterface* FerroxGetGameInterface();
