// Fonts over the 2D toolkit and the text-entry field.
//
// Sections: placement and conversion; font implementation; font; text field.
#include "ui/toolkit/font.h"

#include <cmath>
#include <cstring>

#include "engine/data/utf.h"
#include "gfx/2d/brush.h"
#include "gfx/2d/font.h"
#include "gfx/2d/path.h"
#include "gfx/core/assert.h"
#include "gfx/core/camera.h"
#include "gfx/core/engine.h"
#include "gfx/core/raster.h"
#include "gfx/core/renderstate.h"
#include "gfx/core/texture.h"

namespace {

constexpr GxRGBA kWhite = {255, 255, 255, 255};
constexpr GxRGBA kRed = {255, 0, 0, 255};
constexpr int32_t kBlinkPeriod = 20;
constexpr int32_t kCaretFrames = 10;
constexpr const char16_t* kCaret = u" *";
// Key codes 0x80 to 0xB1 name keys (Escape, the function keys, the arrows...); codes below and above them are
// characters. 0xFF is the key table's "no such key", never typed.
constexpr int32_t kFirstKeyName = 0x80;
constexpr int32_t kLastKeyName = 0xB1;
constexpr int32_t kNoKey = 0xFF;
constexpr GxUInt8 kNearestFilter = gxFILTERNEAREST;
constexpr GxUInt8 kFontPageFilter = gxFILTERLINEAR;

FerroxFontImplFactory g_fontFactory = nullptr;
FerroxTextObserver g_textObserver = nullptr;
void* g_textObserverContext = nullptr;

// Flow modes of the 2D toolkit for the font's alignments: left stays, right and middle trade places.
GxInt32 FlowJustify(int32_t alignment)
{
    if (alignment == FERROX_ALIGN_RIGHT)
        return gx2DJUSTIFYRIGHT;
    if (alignment == FERROX_ALIGN_MIDDLE)
        return gx2DJUSTIFYCENTER;
    return gx2DJUSTIFYLEFT;
}

float Length(const GxV2d& v) { return std::sqrt(v.x * v.x + v.y * v.y); }

// The bytes the 2D toolkit reads for a text: UTF-16 units for a Unicode font, one byte a character otherwise.
std::string ToolkitString(const Gx2DFont* font, const std::u16string& text)
{
    if (Gx2DFontIsUnicode(font)) {
        std::string bytes(reinterpret_cast<const char*>(text.c_str()), (text.size() + 1) * sizeof(char16_t));
        return bytes;
    }
    std::string bytes;
    for (char16_t c : text)
        bytes.push_back(c < 0x100 ? static_cast<char>(c) : '?');
    bytes.push_back(0);
    return bytes;
}

}  // namespace

// ---- Placement and conversion ----

float FerroxFontPlace(float x, float middleX, int32_t alignment, float width, float unit)
{
    if (alignment == FERROX_ALIGN_MIDDLE)
        return middleX * unit - width * 0.5f;
    if (alignment == FERROX_ALIGN_RIGHT)
        return x * unit - width;
    return x * unit;
}

void FerroxSetFontImplFactory(FerroxFontImplFactory factory) { g_fontFactory = factory; }

void FerroxSetTextObserver(FerroxTextObserver observer, void* context)
{
    g_textObserver = observer;
    g_textObserverContext = observer ? context : nullptr;
}

// ---- Font implementation ----

CFerroxFontImpl::CFerroxFontImpl() { CFerroxFontImpl::Init(); }

CFerroxFontImpl::~CFerroxFontImpl() { CFerroxFontImpl::Release(); }

int CFerroxFontImpl::Init()
{
    m_fontHeight = 0.0f;
    m_nearest = 0;
    m_scaleY = 1.0f;
    m_pFont = nullptr;
    m_pBrush = nullptr;
    return 0;
}

void CFerroxFontImpl::Release()
{
    if (m_pBrush)
        Gx2DBrushDestroy(m_pBrush);
    if (m_pFont)
        Gx2DFontDestroy(m_pFont);
    m_pBrush = nullptr;
    m_pFont = nullptr;
}

int CFerroxFontImpl::Load(const char* path, int32_t scaled, int32_t nearest)
{
    Release();
    GX_ASSERT(path, "a font is loaded from a path");
    GX_ASSERT(Gx2DDeviceGetCamera(), "fonts are loaded while the 2D toolkit is open");
    const char* slash = std::strrchr(path, '/');
    if (!slash || slash == path)
        return 0;
    const std::string folder(path, static_cast<size_t>(slash - path + 1));
    Gx2DFontSetPath(folder.c_str());
    m_pFont = Gx2DFontRead(slash + 1);
    if (!m_pFont)
        return 0;
    m_pBrush = Gx2DBrushCreate();
    if (m_pBrush)
        Gx2DBrushSetRGBA(m_pBrush, &kWhite, &kWhite, &kWhite, &kWhite);
    m_fontHeight = m_pFont->height;
    m_scaleY = scaled ? FerroxGetInterfaceScaleY() : 1.0f;
    m_nearest = nearest;
    if (nearest) {
        GxTexDictionary* pages = Gx2DFontGetTexDictionary();
        GxTexDictionaryForAllTextures(
            pages,
            [](GxTexture* texture, void*) -> GxTexture* { return GxTextureSetFilterMode(texture, kFontPageFilter); },
            nullptr);
    }
    return 1;
}

float CFerroxFontImpl::MeasureUtf16(const char16_t* text)
{
    GxCamera* camera = Gx2DDeviceGetCamera();
    if (!m_pFont || !camera || !text)
        return 0.0f;
    GxV2d xStep, yStep, origin;
    Gx2DDeviceGetPixelVectors(&xStep, &yStep, &origin);
    const float unit = Length(xStep);
    if (unit <= 0.0f)
        return 0.0f;
    const std::string bytes = ToolkitString(m_pFont, text);
    // The design height is in pixels: a text m_fontHeight pixels high is that many pixel units high.
    return Gx2DFontGetStringWidth(m_pFont, bytes.data(), m_fontHeight * Length(yStep)) / unit;
}

float CFerroxFontImpl::GetStringWidth(const char16_t* text) { return MeasureUtf16(text); }

float CFerroxFontImpl::GetStringWidth(const char* text)
{
    return MeasureUtf16(FerroxUtf8ToUtf16(text ? text : "").c_str());
}

float CFerroxFontImpl::GetStringWidth(const std::u16string& text) { return MeasureUtf16(text.c_str()); }

float CFerroxFontImpl::GetHeight() { return m_pFont ? m_fontHeight * m_scaleY : 0.0f; }

void CFerroxFontImpl::DrawText(const char* text, float x, float y, int32_t highlight, int32_t alignment, float middleX,
                               int32_t scaled, const FerroxTextBox* box)
{
    const std::u16string wide = FerroxUtf8ToUtf16(text ? text : "");
    DrawWideText(wide.c_str(), x, y, highlight, alignment, middleX, scaled, box);
}

void CFerroxFontImpl::DrawWideText(const char16_t* text, float x, float y, int32_t highlight, int32_t alignment,
                                   float middleX, int32_t scaled, const FerroxTextBox* box)
{
    const std::u16string shown = text ? std::u16string(text) : std::u16string();
    if (g_textObserver)
        g_textObserver(shown, g_textObserverContext);
    Show(shown, x, y, highlight, alignment, middleX, scaled, box);
}

void CFerroxFontImpl::Show(const std::u16string& text, float x, float y, int32_t highlight, int32_t alignment,
                           float middleX, int32_t scaled, const FerroxTextBox* box)
{
    GxCamera* camera = Gx2DDeviceGetCamera();
    if (!m_pFont || !m_pBrush || !camera)
        return;
    if (highlight)
        Gx2DBrushSetRGBA(m_pBrush, &kRed, &kRed, &kRed, &kRed);
    Gx2DCTMPush();
    Gx2DCTMSetIdentity();
    GxV2d xStep, yStep, origin;
    Gx2DDeviceGetPixelVectors(&xStep, &yStep, &origin);
    const float unitX = Length(xStep);
    const float unitY = Length(yStep);
    // The sizes are taken again without the interface scale, for the heights asked for after this draw too.
    m_scaleY = 1.0f;
    GxUInt32 savedFilter = 0;
    GxRenderStateGetFunction get = GxEngineInstance ? GxEngineInstance->dOpenDevice.fpRenderStateGet : nullptr;
    const bool filterChanged = m_nearest && get && get(gxRENDERSTATETEXTUREFILTER, &savedFilter) &&
                               GxRenderStateSet(gxRENDERSTATETEXTUREFILTER, GxRenderStateValue(kNearestFilter));
    if (scaled)
        Gx2DCTMScale(FerroxGetInterfaceScaleX(), FerroxGetInterfaceScaleY());
    const std::string bytes = ToolkitString(m_pFont, text);
    const float height = m_fontHeight * unitY;
    if (!box) {
        const float width = MeasureUtf16(text.c_str()) * unitX;
        GxV2d position = {FerroxFontPlace(x, middleX, alignment, width, unitX), y * unitY};
        Gx2DFontShowString(m_pFont, bytes.data(), height, &position, m_pBrush);
    } else {
        const Gx2DRect rect = {box->x * unitX, box->y * unitY, box->width * unitX, box->height * unitY};
        Gx2DFontFlowString(m_pFont, bytes.data(), height, &rect, FlowJustify(alignment), m_pBrush);
    }
    Gx2DCTMPop();
    if (highlight)
        Gx2DBrushSetRGBA(m_pBrush, &kWhite, &kWhite, &kWhite, &kWhite);
    if (filterChanged)
        GxRenderStateSet(gxRENDERSTATETEXTUREFILTER, GxRenderStateValue(savedFilter));
}

// ---- Font ----

CFerroxFont::CFerroxFont() : m_pImpl(g_fontFactory ? g_fontFactory() : new CFerroxFontImpl()) {}

CFerroxFont::~CFerroxFont() = default;

void CFerroxFont::DrawText(const char* text, float x, float y, int32_t highlight, int32_t alignment, float middleX,
                           int32_t scaled, const FerroxTextBox* box)
{
    m_pImpl->DrawText(text, x, y, highlight, alignment, middleX, scaled, box);
}

void CFerroxFont::DrawWideText(const char16_t* text, float x, int y, int highlight, int alignment, float middleX,
                               int scaled, const FerroxTextBox* box)
{
    m_pImpl->DrawWideText(text, x, static_cast<float>(y), highlight, alignment, middleX, scaled, box);
}

float CFerroxFont::GetStringWidth(const char16_t* text) { return m_pImpl->GetStringWidth(text); }
float CFerroxFont::GetStringWidth(const char* text) { return m_pImpl->GetStringWidth(text); }
float CFerroxFont::GetStringWidth(const std::u16string& text) { return m_pImpl->GetStringWidth(text); }
float CFerroxFont::GetHeight() { return m_pImpl->GetHeight(); }

int CFerroxFont::Load(const char* path, int32_t scaled, int32_t nearest)
{
    return m_pImpl->Load(path, scaled, nearest);
}

// ---- Text field ----

CFerroxTextField::CFerroxTextField() { CFerroxTextField::Init(); }

CFerroxTextField::~CFerroxTextField() = default;

void CFerroxTextField::Init()
{
    m_pFont = nullptr;
    m_wide.clear();
    m_maxWidth = 0.0f;
    m_blink = 0;
}

void CFerroxTextField::Release() { m_wide.clear(); }

void CFerroxTextField::Rebuild() { m_wide = FerroxUtf8ToUtf16(m_text); }

void CFerroxTextField::SetText(const char* text)
{
    m_text = text ? text : "";
    Rebuild();
}

int CFerroxTextField::HitTest(const FerroxPoint*) { return 1; }

void CFerroxTextField::Configure(const FerroxWidgetRecord* record)
{
    if (!record)
        return;
    CFerroxWidget::Configure(record);
    m_pFont = static_cast<CFerroxFont*>(record->object);
    m_maxWidth = record->extent;
    SetText(record->name);
}

namespace {

// Whether a key code is typed into the text as one byte: codes below and above those that name keys, but not the
// key table's "no such key" nor a code wider than a byte.
bool Typed(int32_t key) { return key > 0 && (key < kFirstKeyName || key > kLastKeyName) && key < kNoKey; }

}  // namespace

void CFerroxTextField::Update()
{
    m_blink = (m_blink + 1) % kBlinkPeriod;
    const int32_t key = g_pFerroxGame ? g_pFerroxGame->GetLastKey()->keyCode : 0;
    if (key == kFerroxKeyErase || key == kFerroxKeyBackspace) {
        if (!m_text.empty()) {
            m_text.pop_back();
            Rebuild();
        }
    } else if (Typed(key)) {
        m_text.push_back(static_cast<char>(key));
        Rebuild();
    }
    if (m_maxWidth > 0.0f && !m_text.empty() && m_pFont && m_pFont->GetStringWidth(m_wide.c_str()) > m_maxWidth) {
        m_text.pop_back();
        Rebuild();
    }
}

void CFerroxTextField::Render(float parentX, float parentY)
{
    if (!m_pFont)
        return;
    const std::u16string caret = m_wide + kCaret;
    const char16_t* shown = m_blink < kCaretFrames ? caret.c_str() : m_wide.c_str();
    m_pFont->DrawWideText(shown, parentX + m_x, static_cast<int>(parentY + m_y), 0, FERROX_ALIGN_LEFT, 0.0f, 0,
                          nullptr);
}
