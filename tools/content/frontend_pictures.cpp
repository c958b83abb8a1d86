// Front-end pictures painted from layout tables, and the overlays in front of the 3D views.
#include "tools/content/frontend_pictures.h"

#include "tools/content/icon_painter.h"
#include "tools/content/label_texts.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace {

constexpr int kScreenWidth = 800;
constexpr int kScreenHeight = 600;
constexpr int kMiddle = kScreenWidth / 2;
constexpr int kButtonLabelScale = 2;
constexpr int kTitleScale = 2;
constexpr int kTitleFont = 3;  // bigFont
constexpr uint8_t kOpaque = 255;
// The city view: the top-left 464 x 390 of the screen.
constexpr int kViewWidth = 464;
constexpr int kViewHeight = 390;
constexpr int kViewRim = 6;
// Under the heading and number, drawn round x 400 at 300 and 270 from the bottom of the screen.
constexpr int kPlateLeft = 330;
constexpr int kPlateRight = 464;
constexpr int kPlateBottom = 262;
constexpr int kPlateTop = 334;
constexpr int kInertSide = 2;
constexpr int kCityInertButton = 3;  // button 4, counted from 0
// The end-game overlay: a clear middle never below this alpha, rising to the frame.
constexpr uint8_t kLeastAlpha = 8;
constexpr uint8_t kVignetteAlpha = 96;
constexpr int kEndFrame = 12;
constexpr uint8_t kMessagePlateAlpha = 150;
constexpr ContentUiRect kMessagePlate = {90, 190, 620, 170};

// Sets a bottom-up pixel.
void Put(ContentPngImage* image, int x, int y, const uint8_t* rgb, uint8_t alpha)
{
    ContentPutPixel(image, x, static_cast<int>(image->height) - 1 - y, rgb, alpha);
}

bool Inside(const ContentUiRect& r, int x, int y)
{
    return x >= r.x && x < r.x + r.width && y >= r.y && y < r.y + r.height;
}

ContentCanvasLayout MainMenu()
{
    const std::vector<ContentUiRect> buttons = {
        {300, 400, 200, 50},  // 1 London
        {300, 330, 200, 50},  // 2 Paris
        {300, 260, 200, 50},  // 3 Berlin
        {300, 150, 200, 50},  // 4 quit
    };
    return {"mainmenu",
            "mainmenu",
            kScreenWidth,
            kScreenHeight,
            {48, 64, 96},
            buttons,
            buttons,
            {{kMiddle, 418, "London", CONTENT_LABEL_CENTRE, kButtonLabelScale},
             {kMiddle, 348, "Paris", CONTENT_LABEL_CENTRE, kButtonLabelScale},
             {kMiddle, 278, "Berlin", CONTENT_LABEL_CENTRE, kButtonLabelScale},

             {kMiddle, 500, "Mall", CONTENT_LABEL_CENTRE, kTitleScale, kTitleFont}},
            {CONTENT_ICON_NONE, CONTENT_ICON_NONE, CONTENT_ICON_NONE, CONTENT_ICON_QUIT}};
}

ContentCanvasLayout City(const char* folder, const char* stem, const char* name, const uint8_t* panel)
{
    const std::vector<ContentUiRect> buttons = {
        {500, 540, 120, 36},                 // 1 back
        {500, 300, 60, 36},                  // 2 previous
        {660, 300, 60, 36},                  // 3 next
        {600, 250, kInertSide, kInertSide},  // 4 none
        {620, 400, 140, 44},                 // 5 start
    };
    ContentCanvasLayout layout = {
        folder,
        stem,
        kScreenWidth,
        kScreenHeight,
        {panel[0], panel[1], panel[2]},
        buttons,
        {buttons[0], buttons[1], buttons[2], buttons[4]},
        {{530, 312, "<", CONTENT_LABEL_CENTRE},
         {690, 312, ">", CONTENT_LABEL_CENTRE},
         {560, 470, name, CONTENT_LABEL_CENTRE}},
        {CONTENT_ICON_BACK, CONTENT_ICON_NONE, CONTENT_ICON_NONE, CONTENT_ICON_NONE, CONTENT_ICON_PLAY}};
    return layout;
}

}  // namespace

const ContentCanvasLayout& ContentMainMenuLayout()
{
    static const ContentCanvasLayout menu = MainMenu();
    return menu;
}

const ContentCanvasLayout& ContentCityLayout(int city)
{
    // Dark enough that the white texts drawn on them read well: London's slate, Berlin's concrete, Paris's
    // slate roofs at dusk.
    static const uint8_t grey[3] = {92, 92, 100}, concrete[3] = {100, 96, 90}, dusk[3] = {78, 68, 96};
    static const ContentCanvasLayout cities[] = {
        City("scenario/London", "london", "London", grey),
        City("scenario/Berlin", "berlin", "Berlin", concrete),
        City("scenario/Paris", "paris", "Paris", dusk),
    };
    return cities[std::clamp(city, 0, 2)];
}

const ContentCanvasLayout& ContentEndGameLayout()
{
    static const ContentCanvasLayout layout = {"scenario",   "win-lose", kScreenWidth, kScreenHeight,
                                               {40, 40, 48}, {},         {},           {}};
    return layout;
}

ContentPngImage ContentCityOverlay()
{
    // The heading is drawn round x 400, near the view's right edge: the rim stands beside the view there, and
    // the plate runs on to the edge.
    const int width = kViewWidth + kViewRim;
    ContentPngImage image = ContentBlankImage(width, kViewHeight);
    const uint8_t rim[3] = {36, 36, 44};
    const uint8_t plate[3] = {24, 24, 30};
    // The overlay's y 0 is the view's bottom, 210 above the screen's.
    const int viewBottom = kScreenHeight - kViewHeight;
    const ContentUiRect plateArea = {kPlateLeft, kPlateBottom - viewBottom, kPlateRight - kPlateLeft,
                                     kPlateTop - kPlateBottom};
    for (int y = 0; y < kViewHeight; y++) {
        for (int x = 0; x < width; x++) {
            const bool edge = x < kViewRim || y < kViewRim || x >= kViewWidth || y >= kViewHeight - kViewRim;
            if (edge)
                Put(&image, x, y, rim, kOpaque);
            else if (Inside(plateArea, x, y))
                Put(&image, x, y, plate, kOpaque);
        }
    }
    return image;
}

ContentPngImage ContentEndGameOverlay()
{
    ContentPngImage image = ContentBlankImage(kScreenWidth, kScreenHeight);
    const uint8_t shade[3] = {8, 8, 16};
    const uint8_t frame[3] = {70, 60, 30};
    const float halfW = kScreenWidth / 2.0f, halfH = kScreenHeight / 2.0f;
    for (int y = 0; y < kScreenHeight; y++) {
        for (int x = 0; x < kScreenWidth; x++) {
            if (x < kEndFrame || y < kEndFrame || x >= kScreenWidth - kEndFrame || y >= kScreenHeight - kEndFrame) {
                Put(&image, x, y, frame, kOpaque);
                continue;
            }
            const float dx = (x - halfW) / halfW, dy = (y - halfH) / halfH;
            const float reach = std::min(1.0f, (dx * dx + dy * dy) / 2.0f);
            uint8_t alpha = static_cast<uint8_t>(kLeastAlpha + reach * (kVignetteAlpha - kLeastAlpha));
            if (Inside(kMessagePlate, x, y))
                alpha = std::max(alpha, kMessagePlateAlpha);
            Put(&image, x, y, shade, alpha);
        }
    }
    return image;
}

bool ContentWriteFrontEnd(const std::string& root, std::string* error)
{
    const std::string images = root + "/images/";
    std::error_code failed;
    for (const char* folder : {"mainmenu", "scenario/London", "scenario/Berlin", "scenario/Paris"})
        std::filesystem::create_directories(images + folder, failed);
    if (failed) {
        if (error)
            *error = "cannot make the folders under " + images;
        return false;
    }
    // The German menu is a canvas of its own, which the game asks for by name: its words in German, the same maps
    // beside it and the same buttons.
    const ContentCanvasLayout& menu = ContentMainMenuLayout();
    const std::string german = images + menu.folder + "/" + kContentGermanMenu + ".png";
    if (!ContentWriteCanvas(menu, images + menu.folder, error) || !ContentCheckLabels(menu, kContentGerman, error) ||
        !ContentWritePicture(german, ContentPaletteImage(ContentCanvasBackground(menu, kContentGerman)), error) ||
        !ContentWriteCanvasMaps(menu, images + menu.folder, kContentGermanMenu, error))
        return false;
    const ContentPngImage inert = ContentBlankImage(kInertSide, kInertSide);
    for (int city = 0; city < 3; city++) {
        const ContentCanvasLayout& layout = ContentCityLayout(city);
        const std::string dir = images + layout.folder;
        if (!ContentWriteCanvas(layout, dir, error) || !ContentWriteButton(dir, kCityInertButton + 1, inert, error) ||
            !ContentWritePicture(dir + "/overlay.png", ContentCityOverlay(), error))
            return false;
    }
    const ContentCanvasLayout& end = ContentEndGameLayout();
    return ContentWriteCanvas(end, images + end.folder, error) &&
           ContentWritePicture(images + end.folder + "/overlay.png", ContentEndGameOverlay(), error);
}
