// The load and save panels' pictures.
#include "tools/content/filepanel_images.h"

#include <filesystem>

#include "tools/content/icon_painter.h"

namespace {

constexpr int kWidth = 480;
constexpr uint8_t kOpaque = 255;
constexpr int kHeight = 300;
constexpr uint8_t kPanelColour[3] = {58, 70, 96};
// The two shades the list's rows take in turn, and the rim round the list.
constexpr uint8_t kStripeColours[2][3] = {{84, 98, 128}, {72, 85, 113}};
constexpr uint8_t kListRim[3] = {30, 38, 56};
constexpr int kListRimWidth = 2;
// List rows: the browser flows row i's name into a box one row step high whose bottom is 48 + 12 i below the
// panel's top, from x 30, so the line's cell hangs from the box's top. Each row's stripe, and the row button over
// it, is the lower row step of that cell: descenders to capitals.
constexpr int kRowTop = 48;
constexpr int kRowStep = 12;
constexpr int kRows = 8;
constexpr int kRowX = 24;
constexpr int kRowWidth = 420;
constexpr int kListFont = 0;  // the message font the browser draws with
// A lit row: its face lets the stripe and the name show through; the bars at its ends are opaque.
constexpr uint8_t kRowLight[3] = {255, 255, 255};
constexpr uint8_t kRowLightAlpha = 72;
constexpr int kRowBar = 2;
// Hot-spot k shows text k of the panel's list: texts 0 to 2 are the panel's questions and title, so buttons
// 1 to 7 take hot-spots 3 to 9. The first three are single pixels in the bottom-left corner: a colour missing
// from the map would move the later ones down a text.
constexpr int kFirstTooltip = 3;
constexpr int kTooltipButtons = 7;
// The name field the panel draws: its text's left end and baseline, the widest text it keeps, and the box
// painted round it with the caret's room, so that what the player types is seen to go into the field.
constexpr int kNameFieldX = 38;
constexpr int kNameFieldY = 42;
constexpr int kNameFieldRoom = 160;
constexpr int kNameBoxMargin = 2;
constexpr uint8_t kNameBoxFace[3] = {36, 44, 64};
constexpr uint8_t kNameBoxRim[3] = {150, 160, 184};

}  // namespace

ContentUiRect ContentFilePanelStripe(int row)
{
    // A label at baseline 0 gives the font's cell: its bottom below the baseline. The panel draws row k's name on
    // one line from baseline top + step x k below the picture's top; the stripe starts at its cell's bottom.
    const ContentUiRect cell = ContentLabelRect({0, 0, "M", CONTENT_LABEL_LEFT, 1, kListFont});
    const int baseline = kHeight - kRowTop - kRowStep * row;
    return {kRowX, baseline + cell.y, kRowWidth, kRowStep};
}

ContentUiRect ContentFilePanelNameBox()
{
    const ContentUiRect cell = ContentLabelRect({kNameFieldX, kNameFieldY, "M", CONTENT_LABEL_LEFT, 1, kListFont});
    const int caret = ContentTextWidth(kListFont, " *");
    return {kNameFieldX - 2 * kNameBoxMargin, cell.y - kNameBoxMargin, kNameFieldRoom + caret + 4 * kNameBoxMargin,
            cell.height + 2 * kNameBoxMargin};
}

ContentPngImage ContentFilePanelRowLight(int row)
{
    const ContentUiRect r = ContentFilePanelStripe(row);
    ContentPngImage image = ContentBlankImage(r.width, r.height);
    for (int y = 0; y < r.height; y++) {
        for (int x = 0; x < r.width; x++) {
            const bool bar = x < kRowBar || x >= r.width - kRowBar;
            ContentPutPixel(&image, x, y, kRowLight, bar ? kOpaque : kRowLightAlpha);
        }
    }
    return image;
}

ContentCanvasLayout ContentFilePanelLayout(const char* stem)
{
    const bool load = std::string(stem) == "load";
    ContentCanvasLayout layout = {
        load ? "panels/load" : "panels/save",
        stem,
        kWidth,
        kHeight,
        {kPanelColour[0], kPanelColour[1], kPanelColour[2]},
        {
            {290, 116, 40, 30},  // 1 new folder
            {336, 116, 40, 30},  // 2 up one folder
            {382, 116, 40, 30},  // 3 delete
            {450, 234, 24, 24},  // 4 page back, beside the first row
            {450, 162, 24, 24},  // 5 page on, beside the last row
            {290, 36, 88, 28},   // 6 load or save
            {386, 36, 88, 28},   // 7 close
        },
        {},
        {},
        {CONTENT_ICON_FOLDER_NEW, CONTENT_ICON_FOLDER_UP, CONTENT_ICON_DELETE, CONTENT_ICON_UP, CONTENT_ICON_DOWN,
         load ? CONTENT_ICON_LOAD : CONTENT_ICON_SAVE, CONTENT_ICON_CLOSE},
        {},
    };
    for (int k = 0; k < kFirstTooltip; k++)
        layout.hotSpots.push_back({k, 1, 1, 1});
    for (int k = 0; k < kTooltipButtons; k++)
        layout.hotSpots.push_back(layout.buttons[static_cast<size_t>(k)]);
    for (int row = 0; row < kRows; row++)
        layout.buttons.push_back(ContentFilePanelStripe(row));
    return layout;
}

ContentPngImage ContentFilePanelBackground(const ContentCanvasLayout& layout)
{
    // The rows are stripes of the list, not framed buttons: their framing would cut through the names.
    ContentCanvasLayout framed = layout;
    framed.buttons.resize(kContentFilePanelButtons - kRows);
    ContentPngImage image = ContentCanvasBackground(framed);
    const ContentUiRect first = ContentFilePanelStripe(0);
    const ContentUiRect last = ContentFilePanelStripe(kRows - 1);
    const int top = first.y + first.height + kListRimWidth;
    const int bottom = last.y - kListRimWidth;
    for (int y = bottom; y < top; y++) {
        for (int x = first.x - kListRimWidth; x < first.x + first.width + kListRimWidth; x++)
            ContentPutPixel(&image, x, kHeight - 1 - y, kListRim);
    }
    for (int row = 0; row < kRows; row++) {
        const ContentUiRect r = ContentFilePanelStripe(row);
        for (int y = r.y; y < r.y + r.height; y++) {
            for (int x = r.x; x < r.x + r.width; x++)
                ContentPutPixel(&image, x, kHeight - 1 - y, kStripeColours[row % 2]);
        }
    }
    const ContentUiRect box = ContentFilePanelNameBox();
    for (int y = box.y; y < box.y + box.height; y++) {
        for (int x = box.x; x < box.x + box.width; x++) {
            const bool rim = x == box.x || y == box.y || x == box.x + box.width - 1 || y == box.y + box.height - 1;
            ContentPutPixel(&image, x, kHeight - 1 - y, rim ? kNameBoxRim : kNameBoxFace);
        }
    }
    return image;
}

bool ContentWriteFilePanels(const std::string& root, std::string* error)
{
    for (const char* stem : {"load", "save"}) {
        const ContentCanvasLayout layout = ContentFilePanelLayout(stem);
        const std::string dir = root + "/images/" + layout.folder;
        if (!ContentMakeFolder(dir, error) || !ContentWriteCanvas(layout, dir, error) ||
            !ContentWritePicture(dir + "/" + stem + ".png", ContentPaletteImage(ContentFilePanelBackground(layout)),
                                 error))
            return false;
        // The rows' lights replace the framed lights of plain buttons.
        for (int row = 0; row < kRows; row++) {
            const int button = kContentFilePanelButtons - kRows + row + 1;
            if (!ContentWriteButton(dir, button, ContentFilePanelRowLight(row), error))
                return false;
        }
    }
    return true;
}
