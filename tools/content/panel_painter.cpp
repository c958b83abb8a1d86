// The in-game panels' pictures: layout tables and the writer of their folders.
#include "tools/content/panel_painter.h"

#include "tools/content/icon_painter.h"

#include <filesystem>
#include <system_error>

namespace {

// Management buttons: finance, shoppers, staff, contractors; each opens its summary.
constexpr const char* kManagementFiles[] = {"01_finance.png", "02_shoppers.png", "03_staff.png", "04_contractors.png"};
constexpr int kManagementButtonWidth = 64;

}  // namespace

const ContentCanvasLayout& ContentOptionsLayout(void)
{
    static const ContentCanvasLayout layout = {
        "panels/main/options",
        "00_start",
        180,
        200,
        {70, 82, 104},
        {{12, 160, 156, 28}, {12, 124, 156, 28}, {12, 88, 156, 28}, {12, 52, 156, 28}, {12, 12, 156, 28}},
        {{12, 160, 156, 28}, {12, 124, 156, 28}, {12, 88, 156, 28}, {12, 52, 156, 28}, {12, 12, 156, 28}},
        {},
        {CONTENT_ICON_LOAD, CONTENT_ICON_SAVE, CONTENT_ICON_MUSIC, CONTENT_ICON_EFFECTS, CONTENT_ICON_QUIT},
        {},
    };
    return layout;
}

const ContentCanvasLayout& ContentConfirmLayout(void)
{
    // The question flows in (24, 50) 150 x 64; the extra line sits at 55.
    static const ContentCanvasLayout layout = {
        "panels/confirm",
        "confirm",
        200,
        130,
        {70, 82, 104},
        {{20, 10, 60, 28}, {120, 10, 60, 28}},
        {{20, 10, 60, 28}, {120, 10, 60, 28}},
        {},
        {CONTENT_ICON_TICK, CONTENT_ICON_CLOSE},
        {},
    };
    return layout;
}

const ContentCanvasLayout& ContentMessagesLayout(void)
{
    // Rows: dates right-aligned at 105 on baselines 259 - 40 i, messages in (115, 244 - 40 i) 485 x 30; the
    // title's envelope stands above the first date, clear of it and of the rim.
    constexpr int kTitleSide = 24;
    static const ContentCanvasLayout layout = {
        "panels/message",
        "messages",
        640,
        294,
        {70, 82, 104},
        {{606, 250, 28, 28}, {606, 150, 28, 28}, {606, 40, 28, 28}},
        {{606, 250, 28, 28}, {606, 150, 28, 28}, {606, 40, 28, 28}},
        {},
        {CONTENT_ICON_CLOSE, CONTENT_ICON_UP, CONTENT_ICON_DOWN},
        {{{12, 266, kTitleSide, kTitleSide}, CONTENT_ICON_MESSAGES}},
    };
    return layout;
}

const ContentCanvasLayout& ContentManagementLayout(void)
{
    static const ContentCanvasLayout layout = {
        "panels/main/manage",
        "00_start",
        24,
        64,
        {70, 82, 104},
        {{0, 0, kManagementButtonWidth, 64},
         {0, 0, kManagementButtonWidth, 64},
         {0, 0, kManagementButtonWidth, 64},
         {0, 0, kManagementButtonWidth, 64}},
        {},
        {},
        {CONTENT_ICON_FINANCE, CONTENT_ICON_SHOPPERS, CONTENT_ICON_STAFF, CONTENT_ICON_CONTRACT},
        {},
    };
    return layout;
}

bool ContentWriteGamePanels(const std::string& panelsDir, std::string* error)
{
    for (const ContentCanvasLayout* layout :
         {&ContentOptionsLayout(), &ContentConfirmLayout(), &ContentMessagesLayout()}) {
        const std::string folder = panelsDir + "/" + std::string(layout->folder).substr(std::string("panels/").size());
        if (!ContentMakeFolder(folder, error) || !ContentWriteCanvas(*layout, folder, error))
            return false;
    }
    // The management panel has no placement map: the canvas lays the numbered pictures out in a row.
    const ContentCanvasLayout& manage = ContentManagementLayout();
    const std::string folder = panelsDir + "/main/manage";
    if (!ContentMakeFolder(folder, error))
        return false;
    ContentCanvasLayout cap = manage;
    cap.buttons.clear();
    const std::string background = folder + "/" + manage.stem + ".png";
    if (!ContentWritePng(background.c_str(), ContentPaletteImage(ContentCanvasBackground(cap)))) {
        if (error)
            *error = "cannot write " + background;
        return false;
    }
    for (size_t k = 0; k < manage.buttons.size(); k++) {
        const std::string name = folder + "/" + kManagementFiles[k];
        if (!ContentWritePng(name.c_str(), ContentCanvasButton(manage, static_cast<int>(k)))) {
            if (error)
                *error = "cannot write " + name;
            return false;
        }
    }
    return true;
}
