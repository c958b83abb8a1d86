// The load and save panels' pictures.
#include "tools/content/filepanel_images.h"

#include <filesystem>

namespace {

constexpr int kWidth = 480;
constexpr int kHeight = 300;
// List rows: the browser draws row i's text 48 + 12 i below the panel's top; each row button lies under it.
constexpr int kRowTop = 48;
constexpr int kRowStep = 12;
constexpr int kRows = 8;
constexpr int kRowX = 24;
constexpr int kRowWidth = 420;
constexpr int kRowBelowText = 2;

}  // namespace

ContentCanvasLayout ContentFilePanelLayout(const char* stem)
{
    const bool load = std::string(stem) == "load";
    ContentCanvasLayout layout = {
        load ? "panels/load" : "panels/save",
        stem,
        kWidth,
        kHeight,
        {58, 70, 96},
        {
            {300, 120, 36, 24},  // 1 new folder
            {342, 120, 36, 24},  // 2 up one folder
            {384, 120, 36, 24},  // 3 delete
            {444, 196, 24, 24},  // 4 page back
            {444, 166, 24, 24},  // 5 page on
            {300, 36, 72, 28},   // 6 load or save
            {384, 36, 72, 28},   // 7 close
        },
        {},
        {
            {38, 60, "Name"},
            {300, 150, "Folder"},
            {300, 70, load ? "Load" : "Save"},
            {384, 70, "Close"},
            {24, kHeight - 20, load ? "Load a game" : "Save the game"},
        },
    };
    for (int row = 0; row < kRows; row++)
        layout.buttons.push_back({kRowX, kHeight - kRowTop - kRowStep * row - kRowBelowText, kRowWidth, kRowStep});
    return layout;
}

bool ContentWriteFilePanels(const std::string& root, std::string* error)
{
    for (const char* stem : {"load", "save"}) {
        const ContentCanvasLayout layout = ContentFilePanelLayout(stem);
        const std::string dir = root + "/images/" + layout.folder;
        std::error_code ignored;
        std::filesystem::create_directories(dir, ignored);
        if (!ContentWriteCanvas(layout, dir, error))
            return false;
    }
    return true;
}
