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
constexpr int kInertSide = 2;
constexpr int kCityInertButton = 3;  // button 4, counted from 0
// The city overlay's side, and the end-game overlay's alpha.
constexpr int kOverlaySide = 8;
constexpr uint8_t kLeastAlpha = 8;

// Sets a bottom-up pixel.
void Put(ContentPngImage* image, int x, int y, const uint8_t* rgb, uint8_t alpha)
{
    ContentPutPixel(image, x, static_cast<int>(image->height) - 1 - y, rgb, alpha);
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
            {CONTENT_ICON_NONE, CONTENT_ICON_NONE, CONTENT_ICON_NONE, CONTENT_ICON_QUIT},
            {}};
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
        {CONTENT_ICON_BACK, CONTENT_ICON_NONE, CONTENT_ICON_NONE, CONTENT_ICON_NONE, CONTENT_ICON_PLAY},
        {}};
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

// One hot-spot over the whole picture, between the map's palette row and its last row: wherever the pointer rests,
// its tooltip says that a click goes on.
const ContentCanvasLayout& ContentEndGameLayout()
{
    static const ContentCanvasLayout layout = {"scenario",
                                               "win-lose",
                                               kScreenWidth,
                                               kScreenHeight,
                                               {40, 40, 48},
                                               {},
                                               {{0, 1, kScreenWidth, kScreenHeight - 2}},
                                               {},
                                               {},
                                               {}};
    return layout;
}

// The overlays keep their own size in every screen mode while the views grow with the screen: nothing on them
// may frame a view. The city's is clear (the heading and number read by their rims); the end game's a faint
// shade, so that any click on the picture lands on it.
ContentPngImage ContentCityOverlay() { return ContentBlankImage(kOverlaySide, kOverlaySide); }

ContentPngImage ContentEndGameOverlay()
{
    ContentPngImage image = ContentBlankImage(kScreenWidth, kScreenHeight);
    const uint8_t shade[3] = {8, 8, 16};
    for (int y = 0; y < kScreenHeight; y++)
        for (int x = 0; x < kScreenWidth; x++)
            Put(&image, x, y, shade, kLeastAlpha);
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
