// The launcher's pictures, one layout each for the interface painter.
#include "tools/content/startup_images.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "gfx/core/image.h"
#include "tools/content/content_file.h"

namespace {

constexpr int kScreenWidth = 640;
constexpr int kScreenHeight = 480;
constexpr int kButtonWidth = 190;
constexpr int kButtonHeight = 24;
constexpr int kLanguageWidth = 120;
constexpr int kLanguageHeight = 72;
constexpr int kLabelX = 12;  // label inset in a button or language picture
constexpr int kButtonLabelY = 7;
constexpr int kLanguageLabelY = 30;
constexpr int kChannels = 4;
constexpr int kFirstFrench = 18;
constexpr int kFirstGerman = 28;
constexpr int kLanguageBackground = 17;

const uint8_t kBackground[3] = {38, 52, 84};
const uint8_t kButtonFace[3] = {64, 84, 128};
const uint8_t kHighlight[3] = {176, 120, 40};
const uint8_t kTicked[3] = {48, 128, 72};
const uint8_t kSpare[3] = {90, 90, 90};
// The uninstall button does nothing here: it is painted greyed out, under the pointer too, its face and words
// this share of their colour.
constexpr int kGreyedNumerator = 1;
constexpr int kGreyedDenominator = 2;

enum Language {
    kEnglish,
    kFrench,
    kGerman
};

// The launcher's rectangles (client pixels, top-down: left, top, right, bottom).
struct Box {
    int left, top, right, bottom;
};
const Box kMainButtons[5] = {
    {352, 292, 542, 316}, {352, 324, 542, 348}, {352, 356, 542, 380}, {352, 388, 542, 412}, {352, 420, 542, 444}};
const Box kLanguageBoxes[3] = {{70, 59, 190, 131}, {455, 59, 575, 131}, {261, 59, 381, 131}};  // EN, DE, FR

// Button labels in main-page order: play, uninstall, help, language, quit. Texts are UTF-8, as every label's.
const char* const kButtonText[3][5] = {
    {"Play", "Uninstall", "Help", "Language", "Quit"},
    {"Jouer", "D\xC3\xA9sinstaller", "Aide", "Langue", "Quitter"},
    {"Spielen", "Deinstallieren", "Hilfe", "Sprache", "Beenden"},
};
const char* const kAdapterText[3] = {"Graphics card", "Carte graphique", "Grafikkarte"};
const char* const kModeText[3] = {"Screen mode", "Mode vid\xC3\xA9o", "Bildschirmmodus"};
const char* const kLanguageNames[3] = {"English", "Deutsch",
                                       "Fran\xC3\xA7"
                                       "ais"};  // by launcher language 0, 1, 2

ContentUiRect BottomUp(const Box& b, int height)
{
    return ContentUiRect{b.left, height - b.bottom, b.right - b.left, b.bottom - b.top};
}

ContentCanvasLayout Picture(int width, int height, const uint8_t* colour)
{
    ContentCanvasLayout layout = {"startup", "", width, height, {colour[0], colour[1], colour[2]}, {}, {}, {}, {}, {}};
    return layout;
}

// The main page: the five buttons framed and labelled; the two list spots (top left) stay plain, with their
// labels above them.
ContentPngImage MainBackground(Language language)
{
    ContentCanvasLayout layout = Picture(kScreenWidth, kScreenHeight, kBackground);
    for (int i = 0; i < 5; ++i) {
        layout.buttons.push_back(BottomUp(kMainButtons[i], kScreenHeight));
        layout.labels.push_back({kMainButtons[i].left + kLabelX, kScreenHeight - kMainButtons[i].bottom + kButtonLabelY,
                                 kButtonText[language][i]});
    }
    layout.labels.push_back({39, kScreenHeight - 40, kAdapterText[language]});
    layout.labels.push_back({38, kScreenHeight - 92, kModeText[language]});
    return ContentCanvasBackground(layout);
}

ContentPngImage LanguageBackground()
{
    ContentCanvasLayout layout = Picture(kScreenWidth, kScreenHeight, kBackground);
    for (int i = 0; i < 3; ++i) {
        layout.buttons.push_back(BottomUp(kLanguageBoxes[i], kScreenHeight));
        layout.labels.push_back({kLanguageBoxes[i].left + kLabelX,
                                 kScreenHeight - kLanguageBoxes[i].bottom + kLanguageLabelY, kLanguageNames[i]});
    }
    return ContentCanvasBackground(layout);
}

ContentPngImage Labelled(int width, int height, const uint8_t* colour, const char* text, int labelY)
{
    ContentCanvasLayout layout = Picture(width, height, colour);
    if (text != nullptr)
        layout.labels.push_back({kLabelX, labelY, text});
    return ContentCanvasBackground(layout);
}

// The picture with every colour darkened towards the background, as a button that does nothing looks.
ContentPngImage Greyed(ContentPngImage picture)
{
    for (size_t i = 0; i < picture.rows.size(); i += kChannels) {
        for (int c = 0; c < 3; ++c) {
            const int shade = picture.rows[i + c] * kGreyedNumerator / kGreyedDenominator;
            picture.rows[i + c] = static_cast<uint8_t>(std::max<int>(shade, kBackground[c]));
        }
    }
    return picture;
}

// A picture of the ten a language replaces: bitmap index 0-4 and 11-15 of the launcher.
ContentPngImage LanguagePicture(int index, Language language)
{
    const char* const* text = kButtonText[language];
    switch (index) {
    case 0:
    case 2:
    case 3:
    case 4:
        return Labelled(kButtonWidth, kButtonHeight, kHighlight, text[index], kButtonLabelY);
    case 1:  // shipped, never drawn
        return Labelled(kButtonWidth, kButtonHeight, kSpare, text[1], kButtonLabelY);
    case 11:
    case 12:
        return Greyed(Labelled(kButtonWidth, kButtonHeight, kButtonFace, text[1], kButtonLabelY));
    case 15:
        return MainBackground(language);
    default:  // 13, 14: shipped, never drawn
        return Labelled(kButtonWidth, kButtonHeight, kSpare, nullptr, kButtonLabelY);
    }
}

bool WriteBmp(const ContentPngImage& picture, const std::string& path, std::string* error)
{
    GxImage* image = GxImageCreate(static_cast<GxInt32>(picture.width), static_cast<GxInt32>(picture.height), 32);
    bool ok = image != nullptr && GxImageAllocatePixels(image) != nullptr;
    if (ok) {
        for (uint32_t y = 0; y < picture.height; ++y) {
            const uint8_t* in = &picture.rows[static_cast<size_t>(y) * picture.width * kChannels];
            GxUInt8* out = image->pixels + static_cast<size_t>(y) * image->stride;
            for (uint32_t x = 0; x < picture.width * kChannels; x += kChannels) {
                out[x] = in[x];
                out[x + 1] = in[x + 1];
                out[x + 2] = in[x + 2];
                out[x + 3] = 255;
            }
        }
        ok = GxImageWriteBMP(image, path.c_str()) != nullptr;
    }
    if (image != nullptr)
        GxImageDestroy(image);
    if (!ok && error != nullptr)
        *error = "cannot write " + path;
    return ok;
}

}  // namespace

ContentPngImage ContentStartupImage(int file)
{
    static const int kLanguageIndices[10] = {0, 1, 2, 3, 4, 11, 12, 13, 14, 15};
    if (file >= kFirstGerman)
        return LanguagePicture(kLanguageIndices[file - kFirstGerman], kGerman);
    if (file >= kFirstFrench)
        return LanguagePicture(kLanguageIndices[file - kFirstFrench], kFrench);
    if (file == kLanguageBackground)
        return LanguageBackground();
    if (file >= 6 && file <= 8)  // English, German, French highlighted
        return Labelled(kLanguageWidth, kLanguageHeight, kHighlight, kLanguageNames[file - 6], kLanguageLabelY);
    if (file >= 9 && file <= 11) {  // the tick of the chosen language
        static const char* const kTicks[3] = {"* English", "* Deutsch",
                                              "* Fran\xC3\xA7"
                                              "ais"};
        return Labelled(kLanguageWidth, kLanguageHeight, kTicked, kTicks[file - 9], kLanguageLabelY);
    }
    return LanguagePicture(file - 1, kEnglish);
}

bool ContentWriteStartup(const std::string& dir, std::string* error)
{
    const std::filesystem::path images = std::filesystem::path(dir) / "images" / "startup";
    std::error_code made;
    std::filesystem::create_directories(images, made);
    if (made) {
        if (error != nullptr)
            *error = "cannot make " + images.string();
        return false;
    }
    for (int file = 1; file <= kContentStartupFiles; ++file) {
        if (!WriteBmp(ContentStartupImage(file), (images / (std::to_string(file) + ".bmp")).string(), error))
            return false;
    }
    return true;
}
