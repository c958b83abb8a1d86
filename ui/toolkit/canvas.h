// The interface toolkit: canvases laid out from authored pictures, their widgets (images, bars, text fields),
// fonts, the interface base with its canvas stack and menu pages (animated textures live in the engine).
//
// The toolkit calls the engine's game base through g_pFerroxGame (its mouse, locale, camera, image path, last key,
// click sound and the interface it holds) and the graphics library's 2D toolkit and core; a canvas sets the mouse's over-interface flag while
// the pointer is over one of its widgets or hot-spots, which the game reads the next frame. The rooms above it
// (ui/frontend, ui/game) also reach the game's operations, its object manager and its spawner (ARCHITECTURE.md,
// the game shell). Nothing below calls into it: the engine's game base
// holds the interface as a CFerroxGameInterface (engine/application/base.h), from which CFerroxInterface derives,
// and only deletes it; the game updates and draws it through its shell (game/shell/gameshell.h), which the
// program implements.
// Single-threaded: the main loop updates and draws.
// Ownership: a canvas owns its widgets and hot-spots and deletes them at Release; its owner deletes the canvas.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ui/toolkit/widget.h"

class CFerroxInterface;
struct FerroxMapBlock;

// Events a canvas raises for its widgets 1 and up each frame.
enum FerroxWidgetEvent : int32_t {
    FERROX_WIDGET_OVER = 0,
    FERROX_WIDGET_NOT_OVER = 1,
    FERROX_WIDGET_PRESSED = 2,
};

constexpr uint16_t kFerroxNoHotSpot = 0xFFFF;
constexpr int16_t kFerroxNoTextList = -1;

class CFerroxCanvas : public CFerroxBase {
public:
    CFerroxCanvas();
    ~CFerroxCanvas() override;
    void Init() override;
    void Release() override;

    virtual void OnWidgetEvent(int32_t index, int32_t event);
    virtual void SetPosition(float x, float y, int32_t absolute);
    // Hands the widget back to the caller; null when the canvas does not hold it.
    virtual std::unique_ptr<CFerroxWidget> RemoveWidget(CFerroxWidget* widget);
    virtual void AddWidget(std::unique_ptr<CFerroxWidget> widget);
    virtual void SetWidgetId(int32_t index, int32_t id);
    // The widget's rectangle (x, y, width, height), null outside the list.
    virtual const float* GetWidgetRect(int32_t index);
    virtual void Update();
    virtual void Render();
    virtual void ShowTooltip();
    // Lays the canvas out from the background picture at path, its "_h.png" hot-spot map and its "_p.png"
    // placement map (or, without one that reads, the numbered files "01", "02"...) in the same folder.
    virtual void Build(const char* path, float x, float y, int32_t scaled);

    CFerroxWidget* GetWidget(int32_t index) const
    {
        return index >= 0 && static_cast<size_t>(index) < m_widgets.size() ? m_widgets[index].get() : nullptr;
    }
    uint16_t GetWidgetCount() const { return m_widgetCount; }
    size_t GetHotSpotCount() const { return m_hotSpots.size(); }
    CFerroxWidget* GetHotSpot(size_t index) const
    {
        return index < m_hotSpots.size() ? m_hotSpots[index].get() : nullptr;
    }
    uint16_t GetHoveredHotSpot() const { return m_hoveredHotSpot; }
    int16_t GetTooltipList() const { return m_tooltipList; }
    float GetX() const { return m_x; }
    float GetY() const { return m_y; }
    int32_t GetPressedIndex() const { return m_pressedIndex; }

protected:
    std::vector<std::unique_ptr<CFerroxWidget>> m_widgets;
    uint16_t m_widgetCount;
    std::vector<std::unique_ptr<CFerroxWidget>> m_hotSpots;
    uint16_t m_hoveredHotSpot;
    int16_t m_tooltipList;
    float m_x, m_y;
    int32_t m_pressed;
    int32_t m_pressedIndex;
    int32_t m_pressedEvent;

private:
    void BuildHotSpots(const std::string& stem, int32_t scaled);
    void LayMappedButtons(const std::string& folder, const std::vector<FerroxMapBlock>& blocks, int32_t scaled);
    void LayNumberedButtons(const std::string& folder, float x, float y, int32_t scaled);

    float m_rect[4];
};

// The file of a button: the first name, in sorted order, that starts with number and then a non-digit
// (so 1 never takes 10_s.png) and whose rest contains "_s" or "_S" when wantNormal is set. Empty: none.
std::string FerroxFindNumberedFile(const char* folder, const char* number, bool wantNormal);
