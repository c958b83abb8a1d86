// Test support of the toolkit: recording twins of the picture and font implementations, a painter of maps
// and buttons, and a fixture with the engine on the software device, the game, its mouse and a scratch folder
// (with the world and spline plugins too, for 3D views).
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "engine/application/mouse.h"
#include "engine/data/locale.h"
#include "game/shell/game.h"
#include "gfx/core/filesys.h"
#include "gfx/core/image.h"
#include "gfx/core/spline.h"
#include "gfx/testsupport/headless.h"
#include "gfx/testsupport/png_writer.h"
#include "gfx/testsupport/software_fixture.h"
#include "gfx/testsupport/temp_dir.h"
#include "gfx/world/world.h"
#include "ui/toolkit/canvas.h"
#include "ui/toolkit/font.h"
#include "ui/toolkit/interface.h"

// ---- Recording twins ----

struct UiDrawRecord {
    std::string picture;  // image name, or the drawn text
    float x, y, width, height;
    FerroxColour tint;
    int32_t alignment;
    int32_t highlight;
    bool boxed;
};

inline std::vector<UiDrawRecord> uiDrawRecords;

// Keeps pictures in memory only (size and alpha); each draw becomes a record.
class CRecordingImageImpl : public CFerroxImageImpl {
public:
    void Load(const FerroxWidgetRecord* record, float* rect, const char* name) override
    {
        m_name = name ? name : "";
        m_alphas.clear();
        CFerroxImageImpl::Load(record, rect, name);
    }
    void Render(const float* rect, float x, float y) override
    {
        if (m_tiles.empty())
            return;
        float right = 0.0f, top = 0.0f;
        for (const FerroxImageTile& tile : m_tiles) {
            right = std::max(right, tile.x + tile.width);
            top = std::max(top, tile.y + tile.height);
        }
        uiDrawRecords.push_back({m_name, rect[0] + x, rect[1] + y, right, top, m_colour, 0, 0, false});
    }
    FerroxColour GetColour() const { return m_colour; }

protected:
    // No device texture: each tile's alpha stays here, as its format would keep it, for the hit test.
    GxTexture* CreateTexture(const uint8_t* bgra, int32_t width, int32_t height, int32_t format) override
    {
        std::vector<uint8_t> alpha(static_cast<size_t>(width) * height);
        for (size_t i = 0; i < alpha.size(); i++) {
            const uint8_t a = bgra[i * 4 + 3];
            alpha[i] = format == gxRASTERFORMAT1555 ? (a & 0x80) : format == gxRASTERFORMAT4444 ? (a & 0xF0) : a;
        }
        m_alphas.push_back(std::move(alpha));
        return nullptr;
    }
    bool CreateBrush() override { return true; }
    uint8_t ReadTileAlpha(const FerroxImageTile& tile, int32_t px, int32_t py) override
    {
        const size_t index = static_cast<size_t>(&tile - m_tiles.data());
        return index < m_alphas.size() ? m_alphas[index][static_cast<size_t>(py) * tile.pixelWidth + px] : 0;
    }

private:
    std::string m_name;
    std::vector<std::vector<uint8_t>> m_alphas;  // per tile, rows top down
};

inline CFerroxImageImpl* UiMakeRecordingImage() { return new CRecordingImageImpl(); }

// A font of fixed metrics: each character 7 pixels wide, 12 high; draws become records.
class CRecordingFontImpl : public CFerroxFontImpl {
public:
    static constexpr float kCharWidth = 7.0f;
    static constexpr float kHeight = 12.0f;
    int Load(const char* path, int32_t, int32_t) override
    {
        m_loaded = path && std::string(path).rfind('/') != std::string::npos && std::string(path).rfind('/') > 0;
        return m_loaded ? 1 : 0;
    }
    float MeasureUtf16(const char16_t* text) override
    {
        if (!m_loaded || !text)
            return 0.0f;
        size_t n = 0;
        while (text[n])
            n++;
        return kCharWidth * static_cast<float>(n);
    }
    float GetHeight() override { return m_loaded ? kHeight : 0.0f; }

protected:
    void Show(const std::u16string& text, float x, float y, int32_t highlight, int32_t alignment, float middleX,
              int32_t, const FerroxTextBox* box) override
    {
        if (!m_loaded)
            return;
        std::string narrow(text.begin(), text.end());
        uiDrawRecords.push_back({narrow, FerroxFontPlace(x, middleX, alignment, MeasureUtf16(text.c_str()), 1.0f), y,
                                 MeasureUtf16(text.c_str()), kHeight, FerroxColour{255, 255, 255, 255}, alignment,
                                 highlight, box != nullptr});
    }

private:
    bool m_loaded = false;
};

inline CFerroxFontImpl* UiMakeRecordingFont() { return new CRecordingFontImpl(); }

// The game's interface fonts by file name, with the width of their widest figure character (digit, sign or
// slash); the content tests hold the authored fonts to these widths.
struct UiFontWidth {
    const char* name;
    float width;
};
inline constexpr UiFontWidth kUiFontWidths[] = {
    {"bigFont", 15.0f}, {"figures", 9.0f}, {"msgfont", 8.0f}, {"tooltip", 8.0f}};

// The recording font with every character as wide as its game font's widest figure character: figures laid out
// with it take at least the room the game's fonts give them.
class CMeasuredFontImpl : public CRecordingFontImpl {
public:
    int Load(const char* path, int32_t scaled, int32_t nearest) override
    {
        const std::string name = path ? path : "";
        for (const UiFontWidth& font : kUiFontWidths)
            if (name.find(font.name) != std::string::npos)
                m_width = font.width;
        return CRecordingFontImpl::Load(path, scaled, nearest);
    }
    float MeasureUtf16(const char16_t* text) override
    {
        return CRecordingFontImpl::MeasureUtf16(text) / kCharWidth * m_width;
    }

private:
    float m_width = kCharWidth;
};

inline CFerroxFontImpl* UiMakeMeasuredFont() { return new CMeasuredFontImpl(); }

// Sets a canvas's tooltip list as a panel's own set-up does after Build; the member pointer is taken through a
// subclass, so tests need no setter on the canvas.
struct UiCanvasTooltipList : CFerroxCanvas {
    static void Set(CFerroxCanvas& canvas, int16_t list) { canvas.*(&UiCanvasTooltipList::m_tooltipList) = list; }
};

// ---- Painter ----

struct UiRgba {
    uint8_t r, g, b, a;
};

// An RGBA picture for the tests to paint and write.
struct UiPicture {
    int32_t width, height;
    std::vector<UiRgba> pixels;
    UiPicture(int32_t w, int32_t h, UiRgba fill = {0, 0, 0, 0})
        : width(w), height(h), pixels(static_cast<size_t>(w) * h, fill)
    {}
    UiRgba& At(int32_t x, int32_t row) { return pixels[static_cast<size_t>(row) * width + x]; }
    // A block whose bottom-left pixel is (x, bottom-up y), w x h pixels.
    void Block(int32_t x, int32_t y, int32_t w, int32_t h, UiRgba colour)
    {
        for (int32_t row = height - y - h; row < height - y; row++)
            for (int32_t col = x; col < x + w; col++)
                At(col, row) = colour;
    }
    bool Write(const std::string& path) const
    {
        ContentPngImage image;
        image.width = static_cast<uint32_t>(width);
        image.height = static_cast<uint32_t>(height);
        image.rows.resize(pixels.size() * 4);
        for (size_t i = 0; i < pixels.size(); i++) {
            image.rows[i * 4] = pixels[i].r;
            image.rows[i * 4 + 1] = pixels[i].g;
            image.rows[i * 4 + 2] = pixels[i].b;
            image.rows[i * 4 + 3] = pixels[i].a;
        }
        return ContentWritePng(path.c_str(), image);
    }
};

// The k-th palette colour of the tests' maps, never black or white.
inline UiRgba UiPaletteColour(int k)
{
    return {static_cast<uint8_t>(10 + k * 20), 40, static_cast<uint8_t>(200 - k), 255};
}

// A map of the given size: row 0 holds the palette then white.
inline UiPicture UiMap(int32_t width, int32_t height, int colours)
{
    UiPicture map(width, height);
    for (int k = 0; k < colours; k++)
        map.At(k, 0) = UiPaletteColour(k);
    map.At(colours, 0) = {255, 255, 255, 255};
    return map;
}

// ---- Fixture ----

class UiTestLocale : public CFerroxLocale {
public:
    // Records each text drawn: its list and index.
    void DrawText(CFerroxWideTextFont*, int16_t list, uint16_t index, float, int, int, int, float, int,
                  const FerroxTextBox*) override
    {
        drawn.emplace_back(list, index);
    }
    std::vector<std::pair<int16_t, uint16_t>> drawn;
    int16_t FindTextList(const char* name) override
    {
        std::vector<std::string>::iterator it = std::find(lists.begin(), lists.end(), name);
        return it == lists.end() ? FERROX_NO_TEXT_LIST : static_cast<int16_t>(it - lists.begin());
    }
    std::vector<std::string> lists = {"general_tooltips", "base"};
};

class UiTestInterface : public CFerroxInterface {
public:
    void CloseCanvases() override {}
    void ClearData() override {}
    CFerroxFont* GetFont(int32_t) override { return font; }
    CFerroxFont* font = nullptr;  // every index's, when a test gives one
};

class UiTest : public GxD3D9SoftwareTest {
protected:
    UiTest() : GxD3D9SoftwareTest(64, 64) {}
    void SetUp() override
    {
        GxD3D9SoftwareTest::SetUp();
        if (HasFatalFailure())
            return;
        ASSERT_TRUE(GxTestFileSystemOpen());
        ASSERT_TRUE(GxImageRegisterImageFormat("png", GxImageReadPNG, nullptr));
        game = CGame::Instance(nullptr);
        game->m_pMouse = std::make_unique<CFerroxMouse>();
        mouse = game->m_pMouse.get();
        game->m_pLocale = std::make_unique<UiTestLocale>();
        game->m_pInterface = std::make_unique<UiTestInterface>();
        FerroxSetImageImplFactory(UiMakeRecordingImage);
        FerroxSetFontImplFactory(UiMakeRecordingFont);
        uiDrawRecords.clear();
        // Named for the test and the run: runs side by side never share it.
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir = std::filesystem::temp_directory_path() /
              (std::string("ferrox_ui_") + info->test_suite_name() + "_" + info->name() + "_" + GxTestRunTag());
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
    }
    void TearDown() override
    {
        FerroxSetImageImplFactory(nullptr);
        FerroxSetFontImplFactory(nullptr);
        CGame::DestroyInstance(nullptr);
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
        GxFileSystemManagerClose();
        GxD3D9SoftwareTest::TearDown();
    }
    std::string Path(const std::string& name) const { return (dir / name).string(); }
    UiTestInterface* Interface() { return static_cast<UiTestInterface*>(game->m_pInterface.get()); }
    // Moves the pointer to (x, bottom-up y) of the 600-pixel-high screen.
    void PointAt(float x, float y)
    {
        mouse->GetPosition()->x = x;
        mouse->GetPosition()->y = 600.0f - y;
    }

    CGame* game = nullptr;
    CFerroxMouse* mouse = nullptr;
    std::filesystem::path dir;
};

// The fixture with the world and spline plugins attached, for canvases that show a 3D view.
class UiWorldTest : public UiTest {
protected:
    void AttachPlugins() override
    {
        ASSERT_TRUE(GxWorldPluginAttach());
        ASSERT_TRUE(GxSplinePluginAttach());
    }
};
