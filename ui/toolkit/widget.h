// Widgets: the rectangle base every canvas element derives from, the description record they are configured
// from, the picture widget with its tiled implementation, and the progress bar.
//
// Rectangles are in pixels of the virtual 800 x 600 screen with y measured upward from the bottom; hit tests
// flip the pointer's y against the 2D toolkit's screen height. A widget is owned by the canvas that holds it.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/application/base.h"
#include "gfx/core/gx.h"

struct GxTexture;
struct GxImage;
struct Gx2DBrush;

// What a canvas or a panel configures a widget from; fields a widget does not use are zero.
struct FerroxWidgetRecord {
    const char* name;  // picture path for images, initial text for text fields
    float x, y, width, height;
    float extent;  // full length of a bar, maximum text width of a text field (0: unlimited)
    void* positionSpline;
    void* targetSpline;
    void* scene;
    int32_t scaled;  // non-zero: multiply rectangles and pictures by the interface scale factors
    void* object;    // mask image of an image, font of a text field
};

// The interface scale factors, 1.0 until the game sets them for its video mode.
void FerroxSetInterfaceScale(float horizontal, float vertical);
float FerroxGetInterfaceScaleX();
float FerroxGetInterfaceScaleY();
// Height of the 2D toolkit's camera raster, the screen the pointer's y is flipped against (600 without one).
float FerroxGetScreenHeight();

struct FerroxPoint {
    float x, y;
};

class CFerroxWidget : public CFerroxBase {
public:
    CFerroxWidget();
    void Init() override;

    virtual void Render(float parentX, float parentY);
    virtual void SetText(const char* text);
    // True when the point lies in the rectangle, every bound inclusive.
    virtual int HitTest(const FerroxPoint* point);
    virtual void SetColour(FerroxColour colour);
    virtual void Spare(int32_t a, int32_t b);
    virtual void Scale(float sx, float sy);
    virtual void Update();
    virtual void Configure(const FerroxWidgetRecord* record);

    // Renders only while visible.
    void Draw(float parentX, float parentY)
    {
        if (m_visible)
            Render(parentX, parentY);
    }

    float m_x, m_y, m_width, m_height;
    int32_t m_visible;
    int32_t m_id;
};

// One piece of a picture: at most 256 x 256 pixels, power-of-two sides.
struct FerroxImageTile {
    GxTexture* texture;
    float x, y, width, height;  // relative to the widget, bottom-up, already multiplied by the factors
    int32_t pixelWidth, pixelHeight;
    int32_t format;  // the raster's pixel format (gxRASTERFORMAT8888...)
};

// Loads a picture into tiles and draws them through the 2D toolkit. The device side (texture and drawing)
// sits behind two protected slots, which a recording twin in the tests replaces.
class CFerroxImageImpl {
public:
    CFerroxImageImpl();
    CFerroxImageImpl(const CFerroxImageImpl&) = delete;
    CFerroxImageImpl& operator=(const CFerroxImageImpl&) = delete;
    virtual void Spare0();
    virtual int HitTest(const FerroxPoint* point, const float* rect);
    virtual void SetColour(FerroxColour colour);
    virtual void Render(const float* rect, float x, float y);
    virtual void Spare1(int32_t a, int32_t b);
    virtual void Scale(float sx, float sy);
    virtual int Init();
    // Reads the picture named by name and sets rect to (record x, record y, picture width, picture height)
    // times the factors. A picture that cannot be read leaves no tiles: it draws nothing and is never hit.
    virtual void Load(const FerroxWidgetRecord* record, float* rect, const char* name);
    virtual void Release();
    virtual ~CFerroxImageImpl();

    const std::vector<FerroxImageTile>& GetTiles() const { return m_tiles; }
    int32_t IsScaled() const { return m_scaled; }

protected:
    // Makes the device texture of one tile in the format from its converted pixels (blue, green, red, alpha; rows
    // top down).
    virtual GxTexture* CreateTexture(const uint8_t* bgra, int32_t width, int32_t height, int32_t format);
    virtual void DestroyTexture(GxTexture* texture);
    // Creates the brush; false when there is none to make.
    virtual bool CreateBrush();
    // Fills one tile's rectangle (toolkit units) with the brush carrying its texture.
    virtual void DrawTile(const FerroxImageTile& tile, float x, float y, float width, float height);
    // The alpha of a tile's pixel (rows top down) as its raster keeps it, read through a lock; 0 when the raster
    // cannot be read.
    virtual uint8_t ReadTileAlpha(const FerroxImageTile& tile, int32_t px, int32_t py);

    std::vector<FerroxImageTile> m_tiles;
    Gx2DBrush* m_pBrush;
    int32_t m_scaled;
    bool m_hasBrush;
    FerroxColour m_colour;

private:
    void CutIntoTiles(GxImage* picture, float sx, float sy);
};

// Cuts a length into tile sizes: 256 while 256 or more remain, then the largest power of two not above the rest.
std::vector<int32_t> FerroxImageTileSizes(int32_t length);
// Converts one RGBA pixel to the 32-bit texture layout; opaque pure black keeps green 1 so it never reaches a
// texture as the colour key.
void FerroxImageConvertPixel(const uint8_t* rgba, uint8_t* bgra);
// The pixel format of a picture's tiles: the one the device suits to it, 8888 when it gives none or a palette.
int32_t FerroxImageTileFormat(GxImage* picture);
// Packs a converted pixel (blue, green, red, alpha) into a 16-bit format from the high bits of each channel; a 565
// or 555 pixel that would be zero is 1.
uint16_t FerroxImagePackPixel(const uint8_t* bgra, int32_t format);

// Chooses the implementation new images get; null restores the real one. Only tests install another.
typedef CFerroxImageImpl* (*FerroxImageImplFactory)();
void FerroxSetImageImplFactory(FerroxImageImplFactory factory);

class CFerroxImage : public CFerroxWidget {
public:
    CFerroxImage();
    CFerroxImage(const CFerroxImage&) = delete;
    CFerroxImage& operator=(const CFerroxImage&) = delete;
    ~CFerroxImage() override;
    void Init() override;
    void Release() override;
    void Render(float parentX, float parentY) override;
    int HitTest(const FerroxPoint* point) override;
    void SetColour(FerroxColour colour) override;
    void Scale(float sx, float sy) override;
    void Update() override;
    void Configure(const FerroxWidgetRecord* record) override;

    CFerroxImageImpl* GetImpl() const { return m_pImpl.get(); }

protected:
    std::unique_ptr<CFerroxImageImpl> m_pImpl;
};

// A picture stretched to a share of its full length; right-anchored bars grow leftward from their x.
class CFerroxBar : public CFerroxImage {
public:
    CFerroxBar();
    void Init() override;
    void Render(float parentX, float parentY) override;
    void Configure(const FerroxWidgetRecord* record) override;
    // 0 hides the bar, 1 to 100 show that share of the full length, above 100 change nothing.
    virtual void SetPercent(uint8_t value);

    float m_fullLength;
    float m_factor;
    float m_inverseFactor;
    int32_t m_rightAnchored;
};

// Pictures a canvas or panel makes for itself: an image of `picture` at (x, y), and a bar whose full length is
// `length`.
std::unique_ptr<CFerroxImage> FerroxMakeImage(const char* picture, float x = 0.0f, float y = 0.0f, int32_t scaled = 0);
std::unique_ptr<CFerroxBar> FerroxMakeBar(const char* picture, float length, int32_t scaled = 0);

// Ends the game mouse's press, so that a press acts once.
void FerroxReleaseButton();
// Turns depth and fog off: canvases draw flat over the 3D scene, which leaves them on.
void FerroxBeginFlatDrawing();
