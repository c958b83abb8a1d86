// Fonts and the text field: a font over the 2D toolkit's fonts that draws and measures in pixels of the
// screen, and the one text-entry widget with its UTF-8 text, UTF-16 copy, width limit and blinking caret.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/application/base.h"
#include "engine/data/textfont.h"
#include "ui/toolkit/widget.h"

struct Gx2DFont;
struct Gx2DBrush;

// Left edge of a text of the given width in pixels: alignment 0 starts at x, 1 ends at x, 2 centres on
// middle x.
float FerroxFontPlace(float x, float middleX, int32_t alignment, float width, float unit);

// Sees every text a font draws, as drawn, on the drawing thread; null stops it. Only the play test watches.
typedef void (*FerroxTextObserver)(const std::u16string& text, void* context);
void FerroxSetTextObserver(FerroxTextObserver observer, void* context);

class CFerroxFontImpl {
public:
    CFerroxFontImpl();
    CFerroxFontImpl(const CFerroxFontImpl&) = delete;
    CFerroxFontImpl& operator=(const CFerroxFontImpl&) = delete;
    virtual void DrawText(const char* text, float x, float y, int32_t highlight, int32_t alignment, float middleX,
                          int32_t scaled, const FerroxTextBox* box);
    virtual void DrawWideText(const char16_t* text, float x, float y, int32_t highlight, int32_t alignment,
                              float middleX, int32_t scaled, const FerroxTextBox* box);
    virtual float GetStringWidth(const char16_t* text);
    virtual float GetStringWidth(const char* text);
    virtual float GetStringWidth(const std::u16string& text);
    // Height of a line in pixels; 0 for a font that loaded nothing.
    virtual float GetHeight();
    // Reads the font named by path ("folder/name"); 0 when nothing was loaded.
    virtual int Load(const char* path, int32_t scaled, int32_t nearest);
    virtual void Release();
    virtual int Init();
    virtual ~CFerroxFontImpl();

protected:
    // Width of a UTF-16 text in pixels (0 without a font or a 2D camera).
    virtual float MeasureUtf16(const char16_t* text);
    // Draws one text; the recording twin replaces it.
    virtual void Show(const std::u16string& text, float x, float y, int32_t highlight, int32_t alignment, float middleX,
                      int32_t scaled, const FerroxTextBox* box);

    float m_fontHeight;  // toolkit units
    int32_t m_nearest;
    float m_scaleY;  // the interface factor a scaled font's height carries, else 1
    Gx2DFont* m_pFont;
    Gx2DBrush* m_pBrush;
};

// Chooses the implementation new fonts get; null restores the real one. Only tests install another.
typedef CFerroxFontImpl* (*FerroxFontImplFactory)();
void FerroxSetFontImplFactory(FerroxFontImplFactory factory);

class CFerroxFont : public CFerroxBase, public CFerroxWideTextFont {
public:
    CFerroxFont();
    CFerroxFont(const CFerroxFont&) = delete;
    CFerroxFont& operator=(const CFerroxFont&) = delete;
    ~CFerroxFont() override;
    void Init() override {}
    void Release() override {}

    virtual void DrawText(const char* text, float x, float y, int32_t highlight, int32_t alignment, float middleX,
                          int32_t scaled, const FerroxTextBox* box);
    void DrawWideText(const char16_t* text, float x, int y, int highlight, int alignment, float middleX, int scaled,
                      const FerroxTextBox* box) override;
    float GetStringWidth(const char16_t* text) override;
    virtual float GetStringWidth(const char* text);
    virtual float GetStringWidth(const std::u16string& text);
    virtual float GetHeight();
    virtual int Load(const char* path, int32_t scaled, int32_t nearest);

    CFerroxFontImpl* GetImpl() const { return m_pImpl.get(); }

private:
    std::unique_ptr<CFerroxFontImpl> m_pImpl;
};

// Erase codes of the game's key record.
constexpr int32_t kFerroxKeyErase = 0x8E;
constexpr int32_t kFerroxKeyBackspace = 0xA8;

class CFerroxTextField : public CFerroxWidget {
public:
    CFerroxTextField();
    ~CFerroxTextField() override;
    void Init() override;
    void Release() override;
    void Render(float parentX, float parentY) override;
    void SetText(const char* text) override;
    int HitTest(const FerroxPoint* point) override;
    void Update() override;
    void Configure(const FerroxWidgetRecord* record) override;

    virtual std::string GetText() { return m_text; }
    virtual const char16_t* GetWideText() { return m_wide.c_str(); }

    int32_t GetBlink() const { return m_blink; }
    float GetMaxWidth() const { return m_maxWidth; }

private:
    void Rebuild();

    CFerroxFont* m_pFont;
    std::string m_text;
    std::u16string m_wide;
    float m_maxWidth;
    int32_t m_blink;
};
