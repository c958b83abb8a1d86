// mkcontent: authors the game root (text files, camera paths, splash pictures, cursor, fonts, demo images, models,
// sounds) through the graphics core's own writers.
//
//   mkcontent TEXT_DIR OUT_DIR
//
// Everything written is deterministic, so runs and tests can compare files.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "gfx/anim/anim.h"
#include "gfx/core/engine.h"
#include "gfx/core/filesys.h"
#include "gfx/core/image.h"
#include "gfx/core/raster.h"
#include "gfx/core/spline.h"
#include "gfx/core/texture.h"
#include "gfx/core/win32fs.h"
#include "gfx/d3d9/d3d9drv.h"
#include "gfx/fx/fx.h"
#include "gfx/testsupport/demo_images.h"
#include "gfx/world/lod.h"
#include "gfx/world/userdata.h"
#include "gfx/world/world.h"
#include "platform/win32/windows.h"
#include "tools/content/buildmenu_writer.h"
#include "tools/content/card_painter.h"
#include "tools/content/clump_writer.h"
#include "tools/content/content_file.h"
#include "tools/content/dress_writer.h"
#include "tools/content/filepanel_images.h"
#include "tools/content/font_writer.h"
#include "tools/content/frontend_pictures.h"
#include "tools/content/fx_writer.h"
#include "tools/content/humanoid_writer.h"
#include "tools/content/interface_painter.h"
#include "tools/content/level_writer.h"
#include "tools/content/management_pictures.h"
#include "tools/content/panel_painter.h"
#include "tools/content/scenario_writer.h"
#include "tools/content/sound_writer.h"
#include "tools/content/splash_images.h"
#include "tools/content/spline_writer.h"
#include "tools/content/startup_images.h"
#include "tools/content/templates_writer.h"

namespace fs = std::filesystem;

namespace {

// Hand-written text files copied into the game root unchanged, the launcher's help pages among them.
const char* const kTextFiles[] = {"setup.xml",         "data.xml",          "language.xml",
                                  "help/eng/Help.htm", "help/ger/Help.htm", "help/fre/Help.htm"};
// The player's settings: written when absent, so the launcher's choices survive authoring the content again.
const char* const kPlayerSettingsFile = "setup.xml";

struct City {
    const char* folder;  // under models/levels/
    const char* stem;
    float phase;  // start angle of the camera loops, so the cities differ
};

const City kCities[] = {
    {"London", "london", 0.0f},
    {"Berlin", "berlin", 1.1f},
    {"Paris", "paris", 2.2f},
};

// Centre of the mall grid the camera paths circle.
const GxV3d kGridCentre = {64.0f, 0.0f, -64.0f};

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(window, message, wParam, lParam);
}

// A loop of `count` points round the grid centre whose last point repeats the first.
void MakeLoop(GxV3d* points, int count, float radius, float lowY, float highY, float phase)
{
    const float step = 2.0f * 3.14159265f / static_cast<float>(count - 1);
    for (int i = 0; i < count; i++) {
        const int k = (i == count - 1) ? 0 : i;
        const float angle = phase + step * static_cast<float>(k);
        const float rise = 0.5f + 0.5f * std::sin(2.0f * angle);
        points[i].x = kGridCentre.x + radius * std::cos(angle);
        points[i].y = lowY + (highY - lowY) * rise;
        points[i].z = kGridCentre.z + radius * std::sin(angle);
    }
}

bool WriteCameraPaths(const fs::path& out)
{
    const int count = 10;
    GxV3d camera[count];
    GxV3d target[count];
    for (const City& city : kCities) {
        const fs::path dir = out / "models" / "levels" / city.folder;
        fs::create_directories(dir);
        const std::string base = (dir / city.stem).string();
        // City view: a wide loop high up, looking at the grid centre.
        MakeLoop(camera, count, 100.0f, 25.0f, 45.0f, city.phase);
        MakeLoop(target, count, 10.0f, 0.0f, 5.0f, city.phase);
        if (!ContentSplineWriteFile((base + "-spl.gxs").c_str(), "camera", gxSPLINEOPEN, camera, count) ||
            !ContentSplineWriteFile((base + "-spl2.gxs").c_str(), "target", gxSPLINEOPEN, target, count)) {
            return false;
        }
        // End game: the same shapes turned half a loop.
        MakeLoop(camera, count, 100.0f, 25.0f, 45.0f, city.phase + 3.14159265f);
        MakeLoop(target, count, 10.0f, 0.0f, 5.0f, city.phase + 3.14159265f);
        if (!ContentSplineWriteFile((base + "_fspl.gxs").c_str(), "camera", gxSPLINEOPEN, camera, count) ||
            !ContentSplineWriteFile((base + "_fspl2.gxs").c_str(), "target", gxSPLINEOPEN, target, count)) {
            return false;
        }
    }
    return true;
}

bool CopyTextFiles(const fs::path& textDir, const fs::path& out)
{
    for (const char* name : kTextFiles) {
        std::error_code present;
        if (std::strcmp(name, kPlayerSettingsFile) == 0 && fs::exists(out / name, present)) {
            continue;
        }
        std::ifstream in(textDir / name, std::ios::binary);
        const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::error_code folder;
        fs::create_directories((out / name).parent_path(), folder);
        if (!in.is_open() || in.bad() || folder ||
            !ContentWriteBytes((out / name).string().c_str(), text.data(), static_cast<unsigned>(text.size()))) {
            std::fprintf(stderr, "mkcontent: cannot copy %s\n", name);
            return false;
        }
    }
    std::error_code error;
    fs::create_directories(out / "maps", error);
    return !error && ContentWriteBytes((out / "maps" / ".keep").string().c_str(), "", 0);
}

// The checkerboard and the badge the window tool draws, under images/.
bool WriteDemoImages(const fs::path& out)
{
    const fs::path dir = out / "images";
    std::error_code error;
    fs::create_directories(dir, error);
    if (error) {
        return false;
    }
    return ContentWritePng((dir / "checker.png").string().c_str(), ContentCheckerImage()) &&
           ContentWritePng((dir / "badge.png").string().c_str(), ContentBadgeImage());
}

// The sixteen character files: one skeleton and its animations, clothes coloured per person.
bool WriteCharacters(const fs::path& out)
{
    struct Person {
        const char* stem;
        ContentHumanoidPlan plan;
    };
    const GxRGBA light = {235, 200, 170, 255}, dark = {120, 80, 55, 255};
    const GxRGBA brown = {90, 60, 30, 255}, grey = {150, 150, 150, 255}, black = {25, 25, 25, 255};
    const Person people[] = {
        {"shopper_adult_a", {light, {200, 40, 40, 255}, {40, 50, 90, 255}, black, brown}},
        {"shopper_adult_b", {dark, {40, 140, 60, 255}, {70, 60, 50, 255}, black, black}},
        {"shopper_youth_a", {light, {240, 200, 40, 255}, {40, 70, 160, 255}, {230, 230, 230, 255}, brown}},
        {"shopper_youth_b", {dark, {150, 60, 180, 255}, {30, 30, 30, 255}, {200, 30, 30, 255}, black}},
        {"shopper_senior_a", {light, {180, 170, 150, 255}, {90, 90, 90, 255}, brown, grey}},
        {"shopper_senior_b", {dark, {110, 70, 90, 255}, {60, 50, 40, 255}, black, grey}},
        {"crook_a", {light, {30, 30, 30, 255}, {30, 30, 40, 255}, black, black}},
        {"crook_b", {dark, {60, 60, 60, 255}, {20, 20, 20, 255}, black, brown}},
        {"cleaner_a", {light, {70, 120, 200, 255}, {70, 120, 200, 255}, black, brown}},
        {"cleaner_b", {dark, {70, 120, 200, 255}, {70, 120, 200, 255}, black, black}},
        {"gardener_a", {light, {60, 130, 50, 255}, {90, 70, 40, 255}, brown, brown}},
        {"gardener_b", {dark, {60, 130, 50, 255}, {90, 70, 40, 255}, brown, black}},
        {"engineer_a", {light, {230, 120, 20, 255}, {50, 60, 80, 255}, black, brown}},
        {"engineer_b", {dark, {230, 120, 20, 255}, {50, 60, 80, 255}, black, black}},
        {"security_a", {light, {30, 40, 80, 255}, {30, 40, 80, 255}, black, brown}},
        {"security_b", {dark, {30, 40, 80, 255}, {30, 40, 80, 255}, black, black}},
    };
    const fs::path dir = out / "models" / "people";
    std::error_code error;
    fs::create_directories(dir, error);
    for (const Person& person : people) {
        if (error ||
            !ContentHumanoidFileWrite((dir / (std::string(person.stem) + ".gxs")).string().c_str(), person.plan)) {
            return false;
        }
    }
    return true;
}

// Starts the graphics engine on a hidden window with the default file system, as the game does.
HWND StartEngine()
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = WindowProc;
    wc.lpszClassName = "MkContent";
    if (!RegisterClassA(&wc)) {
        return nullptr;
    }
    HWND window = CreateWindowExA(0, "MkContent", "mkcontent", WS_OVERLAPPEDWINDOW, 0, 0, 320, 240, nullptr, nullptr,
                                  nullptr, nullptr);
    if (window == nullptr) {
        return nullptr;
    }
    GxFileSystem* files = nullptr;
    GxEngineSetDriver(GxD3D9GetDriver());
    const bool started = GxEngineInit(nullptr, 0, 0x400000) && GxFileSystemManagerOpen(2) &&
                         (files = GxWin32FileSystemCreate(10, "C:", "wfs")) != nullptr && GxFileSystemRegister(files) &&
                         (GxFileSystemManagerSetDefault(files), true) && GxSplinePluginAttach() &&
                         GxWorldPluginAttach() && GxLODAtomicPluginAttach() && GxUserDataPluginAttach() &&
                         GxAnimPluginAttach() && GxAnimHierarchyPluginAttach() && GxSkinPluginAttach() &&
                         GxUVAnimPluginAttach() && GxEngineOpen(&window) && GxEngineStart();
    if (!started) {
        DestroyWindow(window);
        return nullptr;
    }
    return window;
}

void StopEngine(HWND window)
{
    GxEngineStop();
    GxEngineClose();
    GxFileSystemManagerClose();
    GxEngineTerm();
    DestroyWindow(window);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: mkcontent TEXT_DIR OUT_DIR\n");
        return 2;
    }
    const fs::path textDir = argv[1];
    const fs::path out = argv[2];
    std::error_code error;
    fs::create_directories(out, error);
    HWND window = error ? nullptr : StartEngine();
    if (window == nullptr) {
        std::fprintf(stderr, "mkcontent: the graphics engine did not start\n");
        return 1;
    }
    const char* failed = nullptr;
    std::string detail;
    if (!CopyTextFiles(textDir, out)) {
        failed = "the text files";
    } else if (!WriteDemoImages(out)) {
        failed = "the demo images";
    } else if (!WriteCameraPaths(out)) {
        failed = "the camera paths";
    } else if (!ContentWriteSplashes(out.string(), &detail)) {
        failed = "the splash pictures";
    } else if (!ContentWriteInterfaceFonts((out / "images" / "fonts").string(), &detail)) {
        failed = "the interface fonts";
    } else if (!ContentWriteMainBar((out / "images" / "panels" / "main" / "base").string(), &detail)) {
        failed = "the main bar";
    } else if (!ContentWriteFrontEnd(out.string(), &detail)) {
        failed = "the front-end pictures";
    } else if (!ContentWriteGamePanels((out / "images" / "panels").string(), &detail)) {
        failed = "the game panels";
    } else if (!ContentWriteManagementPanels((out / "images" / "panels").string(), &detail)) {
        failed = "the management panels";
    } else if (!ContentWriteCards((out / "images" / "panels").string(), &detail)) {
        failed = "the selection cards";
    } else if (!ContentWriteFilePanels(out.string(), &detail)) {
        failed = "the load and save panels";
    } else if (!ContentWriteSounds(out.string(), &detail)) {
        failed = "the sounds";
    } else if (!ContentWriteLevel(out.string(), &detail)) {
        failed = "the first level";
    } else if (!WriteCharacters(out)) {
        failed = "the characters";
    } else if (!ContentDressCharacters((out / "models" / "people").string(), &detail)) {
        failed = "the characters' head variants";
    } else if (!ContentWriteParticleTextures(out.string(), &detail)) {
        failed = "the particle textures";
    } else if (!ContentWriteStartup(out.string(), &detail)) {
        failed = "the launcher pictures";
    } else if (!ContentWriteTemplates(textDir.string(), out.string(), &detail)) {
        failed = "the object templates";
    } else if (!ContentWriteBuildMenus(textDir.string(), out.string(), &detail)) {
        failed = "the build menus";
    } else if (!ContentWriteScenarios(out.string(), &detail)) {
        failed = "the scenarios";
    }
    StopEngine(window);
    if (failed != nullptr) {
        std::fprintf(stderr, "mkcontent: writing %s into %s failed %s\n", failed, argv[2], detail.c_str());
        return 1;
    }
    std::printf("mkcontent: game root written to %s\n", argv[2]);
    return 0;
}
