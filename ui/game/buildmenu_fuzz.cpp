// Fuzz target: build menus made from arbitrary game-data text. "MENU.png" in the text stands for a real
// three-button menu picture in a scratch folder, so the inputs reach whole pages; then every button of every
// page is hovered and pressed.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include "engine/data/tagtree.h"
#include "game/world/objectmgr.h"
#include "gfx/core/engine_testing.h"
#include "gfx/core/image.h"
#include "gfx/testsupport/fuzz.h"
#include "gfx/testsupport/png_writer.h"
#include "ui/game/buildmenu.h"

namespace {

constexpr const char* kMenuToken = "MENU.png";
constexpr int kButtons = 3;
constexpr uint32_t kSide = 16;
// Pages visited per input: wide trees repeat what a few pages already cover.
constexpr int kPageLimit = 64;

// The scratch folder goes with the process.
struct ScratchFolder {
    std::filesystem::path path;
    ~ScratchFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};
ScratchFolder g_folder;
std::string g_menu;

ContentPngImage Picture(uint32_t width, uint32_t height, uint8_t grey)
{
    ContentPngImage image;
    image.width = width;
    image.height = height;
    image.rows.assign(static_cast<size_t>(width) * height * 4, grey);
    return image;
}

bool WriteMenu()
{
    std::error_code error;
    std::filesystem::create_directories(g_folder.path, error);
    if (error)
        return false;
    ContentPngImage map = Picture(kSide * kButtons, kSide, 0);
    // Row 0: palette colours then white; one pixel of colour k at button k's corner.
    for (int k = 0; k <= kButtons; k++) {
        uint8_t* p = &map.rows[static_cast<size_t>(k) * 4];
        p[0] = k == kButtons ? 255 : static_cast<uint8_t>(40 + 50 * k);
        p[1] = k == kButtons ? 255 : 90;
        p[2] = k == kButtons ? 255 : 120;
        p[3] = 255;
        if (k == kButtons)
            break;
        uint8_t* at = &map.rows[(static_cast<size_t>(kSide / 2) * kSide * kButtons + k * kSide + 2) * 4];
        for (int c = 0; c < 4; c++)
            at[c] = p[c];
    }
    const std::string stem = (g_folder.path / "menu").string();
    if (!ContentWritePng((stem + ".png").c_str(), Picture(kSide * kButtons, kSide, 200)) ||
        !ContentWritePng((stem + "_p.png").c_str(), map))
        return false;
    for (int k = 1; k <= kButtons; k++) {
        const std::string button = (g_folder.path / (std::to_string(k) + "_s.png")).string();
        if (!ContentWritePng(button.c_str(), Picture(kSide / 2, kSide / 2, 255)))
            return false;
    }
    g_menu = stem + ".png";
    return true;
}

void Exercise(CBuildCanvasManager* manager, CFerroxCanvasNode* page, int* visited)
{
    if (!page || ++*visited > kPageLimit)
        return;
    // Events as the routing raises them: for every widget after the background.
    for (int32_t i = 1; page->GetWidget(i); i++) {
        page->OnWidgetEvent(i, FERROX_WIDGET_OVER);
        page->OnWidgetEvent(i, FERROX_WIDGET_NOT_OVER);
        page->OnWidgetEvent(i, FERROX_WIDGET_PRESSED);
    }
    for (size_t c = 0; page->GetChild(c); c++)
        Exercise(manager, page->GetChild(c), visited);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    g_folder.path = GxFuzzScratchPath("buildmenu_fuzz");
    if (!GxTestEngineStart() || !GxTestFileSystemOpen() ||
        !GxImageRegisterImageFormat("png", GxImageReadPNG, nullptr) || !WriteMenu())
        __builtin_trap();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string text(reinterpret_cast<const char*>(data), size);
    for (size_t at = text.find(kMenuToken); at != std::string::npos; at = text.find(kMenuToken, at + g_menu.size()))
        text.replace(at, std::strlen(kMenuToken), g_menu);
    CFerroxTagTree tree;
    tree.LoadFromMemory(text.data(), text.size());
    {
        CBuildCanvasManager manager;
        manager.SetPosition(&tree, 10.0f, 20.0f);
        int visited = 0;
        Exercise(&manager, manager.GetRoot(), &visited);
        manager.OpenRoot(0);
    }
    CDynamicObjectManager::DestroyInstance();
    return 0;
}
