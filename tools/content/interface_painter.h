// Interface pictures: a layout table per canvas drives its background, one "<k>_s.png" per button and the
// placement ("_p.png") and hot-spot ("_h.png") maps the canvas builder decodes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "gfx/testsupport/png_writer.h"
#include "tools/content/icon_painter.h"

// A rectangle in the canvas's bottom-up pixels: its bottom-left corner and size.
struct ContentUiRect {
    int x, y, width, height;
};

enum ContentLabelAlign : int {
    CONTENT_LABEL_LEFT = 0,
    CONTENT_LABEL_RIGHT = 1,
    CONTENT_LABEL_CENTRE = 2,
};

// Labels are painted in the plain face of the tooltip font: the message font's narrow face is the panels' figures'.
constexpr int kContentLabelFont = 1;

// An English label painted on the background in an interface font (the label font unless told): x is its
// left end, right end or middle by the alignment, y its baseline in bottom-up pixels (where the game puts a
// text drawn at y); scale enlarges each font pixel to a square of that side.
struct ContentUiLabel {
    int x, y;
    const char* text;  // ASCII
    int align = CONTENT_LABEL_LEFT;
    int scale = 1;
    int font = kContentLabelFont;  // index in ContentInterfaceFonts
};

// An icon painted in the label colour on a background, naming a figure without words, so that one picture
// serves every language. Its tooltip area (the icon's box unless given: the icon with the figures it names)
// becomes a hot-spot after the layout's own, so its text follows theirs in the canvas's tooltip list.
struct ContentUiMark {
    ContentUiRect place;  // the icon's box, bottom-up
    ContentIcon icon;
    ContentUiRect tip = {0, 0, 0, 0};
};

struct ContentCanvasLayout {
    const char* folder;  // under images/, e.g. "panels/main/base"
    const char* stem;    // background file stem, e.g. "base"
    int width, height;
    uint8_t panel[3];                     // background colour
    std::vector<ContentUiRect> buttons;   // button k + 1
    std::vector<ContentUiRect> hotSpots;  // hot-spot k shows text k of the canvas's list
    std::vector<ContentUiLabel> labels;
    std::vector<int> icons;  // ContentIcon of button k + 1, painted on its picture and on its resting place
    std::vector<ContentUiMark> marks;
};

// The canvas's hot-spots in their order: the layout's own, then one per mark.
std::vector<ContentUiRect> ContentCanvasHotSpots(const ContentCanvasLayout& layout);

// The panels draw their figures in the game's interface font 2, the third font of data.xml's FONTS block: the
// message font, the first of ContentInterfaceFonts.
constexpr int kContentFiguresFont = 0;
// Width in pixels of a text in interface font `font` (0 msgfont, 1 tooltip, 2 figures, 3 bigFont), as the game
// measures it; 0 when the font can not be made.
int ContentTextWidth(int font, const char* text);
// The same font's height above its baseline that its digits reach.
int ContentDigitHeight(int font);
// The left end, right end and bottom-up baseline a painted label takes.
ContentUiRect ContentLabelRect(const ContentUiLabel& label);

// The colour labels are painted in: one flat colour, so backgrounds stay palette images.
extern const uint8_t kContentLabelColour[3];
// The colour icons are painted in on buttons, dark on their light faces.
extern const uint8_t kContentIconInk[3];

// Where the main bar draws its figures (right ends, baseline) and its season picture, from its left end.
constexpr int kContentMainFiguresY = 17;
constexpr int kContentDateRight = 233;
constexpr int kContentSeasonX = 144;
constexpr int kContentFloorRight = 697;
constexpr int kContentFloorDy = 6;  // the floor number sits above the other figures
// The season pictures' width: they end a label's gap before the widest date begins.
constexpr int kContentSeasonWidth = 20;
// The floor's icon follows the floor number.
constexpr int kContentFloorLabelX = kContentFloorRight + 5;

// The main bar: 800 x 80, 11 buttons (build, manage, options, demolish, speeds 0-3, floor down, floor up,
// messages), a hot-spot over each button, and an icon with its hot-spot over the date, balance, shoppers and rating
// figures and after the floor's.
const ContentCanvasLayout& ContentMainBarLayout(void);

// Map colour k: distinct for every k below 64, never black or white.
void ContentMapColour(int k, uint8_t* rgb);

// The pictures of a layout; the background with its labels in a language (kContentEnglish and so on).
ContentPngImage ContentCanvasBackground(const ContentCanvasLayout& layout, int language = 0);
ContentPngImage ContentCanvasButton(const ContentCanvasLayout& layout, int button);
// Row 0: the palette, then one white pixel; then one pixel per button at its bottom-left corner, or one block
// per hot-spot.
ContentPngImage ContentCanvasPlacementMap(const ContentCanvasLayout& layout);
ContentPngImage ContentCanvasHotSpotMap(const ContentCanvasLayout& layout);

// The same pixels as a palette image (colour type 3, 8 bits) when the RGBA image has at most 256 distinct
// colours, else the image unchanged. Flat-colour maps decode about four times faster this way.
ContentPngImage ContentPaletteImage(const ContentPngImage& rgba);

// Sets one pixel given in top-down rows; a pixel off the picture is left alone.
void ContentPutPixel(ContentPngImage* image, int x, int row, const uint8_t* rgb, uint8_t alpha = 255);
// A picture of the size, every pixel transparent black.
ContentPngImage ContentBlankImage(int width, int height);
// Writes the picture as a PNG file; false with "cannot write PATH" in *error on failure.
bool ContentWritePicture(const std::string& path, const ContentPngImage& image, std::string* error);
// Makes the folder and its parents; false with "cannot make DIR" in *error on failure.
bool ContentMakeFolder(const std::string& dir, std::string* error);

// The frame round a button on a background; the clear pixels between two words side by side, and between a word and
// the frame round a button beside it.
constexpr int kContentButtonFrame = 2;
constexpr int kContentLabelGap = 4;
// Whether the layout's labels read in the language: every word has its form there, and none runs off the picture,
// into or up to another, or over or up to a button's edge (a label lies wholly on a button or clear of its frame);
// marks keep the same rules against the labels, the buttons and each other. False with what is wrong.
bool ContentCheckLabels(const ContentCanvasLayout& layout, int language, std::string* error);

// Writes every picture of a layout into dir (the canvas's folder): the background, which serves every language,
// the maps and the buttons, each button both as "<k>_s.png" and, below 10, as "0<k>_s.png", the name a canvas
// takes without its placement map. False with a message on the first failure, a label that does not read among
// them.
bool ContentWriteCanvas(const ContentCanvasLayout& layout, const std::string& dir, std::string* error);
// The file of button `number`: as the placement map finds it, or as the canvas finds it without the map.
std::string ContentButtonFile(int number, bool withoutMap);
// Writes button `number` of a canvas in dir under both its names.
bool ContentWriteButton(const std::string& dir, int number, const ContentPngImage& picture, std::string* error);
// Writes the layout's placement and hot-spot maps into dir under the stem.
bool ContentWriteCanvasMaps(const ContentCanvasLayout& layout, const std::string& dir, const std::string& stem,
                            std::string* error);
// The main bar's folder: the canvas, the four season pictures and the rating bar.
bool ContentWriteMainBar(const std::string& dir, std::string* error);
