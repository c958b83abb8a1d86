// Fuzz target of the launcher over any settings file: the dialog runs its default click script (English on the
// language page, then play) on the software device without pictures, always plays, and leaves the file as it was
// when the tree did not load, else a file that loads again.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "engine/data/tagtree.h"
#include "gfx/d3d9/d3d9_testing.h"
#include "gfx/testsupport/fuzz.h"
#include "gfx/testsupport/headless.h"
#include "platform/win32/dialog_testing.h"
#include "ui/frontend/launcher.h"

namespace {

constexpr int kWindowSide = 64;

GxD3D9TestAdapter g_adapter;
std::string g_folder;

D3DDISPLAYMODE Mode(UINT width, UINT height) { return D3DDISPLAYMODE{width, height, 60, D3DFMT_X8R8G8B8}; }

std::string ReadSettings()
{
    std::ifstream in("setup.xml", std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    g_folder = GxFuzzScratchPath("launcher_fuzz");
    std::error_code error;
    std::filesystem::create_directories(g_folder, error);
    GxD3D9TestUseBackend("software");
    HWND window = GxD3D9TestWindow(kWindowSide, kWindowSide);
    // The launcher runs on the opened engine, before it starts.
    if (error || !window || !GxD3D9TestEngineOpen(&window) || !GxTestFileSystemOpen())
        std::abort();
    g_adapter.modes = {Mode(640, 480), Mode(800, 600), Mode(1024, 768)};
    GxD3D9TestInstallAdapter(&g_adapter);
    Win32DialogSetAutomatic(TRUE);
    Win32DialogSetScript(Win32DialogDefaultScript());
    std::filesystem::current_path(g_folder, error);
    if (error)
        std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);
    {
        std::ofstream out("setup.xml", std::ios::binary | std::ios::trunc);
        out.write(input.data(), static_cast<std::streamsize>(input.size()));
        if (!out)
            std::abort();
    }
    CFerroxTagTree tree;
    tree.Load("./setup.xml");
    LauncherGame game;
    game.setup = &tree;
    int adapter = -1;
    int mode = -1;
    if (LauncherChooseVideoMode(&game, 0, &adapter, &mode) != 1 || adapter < 0 || mode < 0)
        std::abort();
    if (!tree.IsLoaded()) {
        if (ReadSettings() != input)
            std::abort();
        return 0;
    }
    CFerroxTagTree saved;
    if (!saved.Load("./setup.xml"))
        std::abort();
    return 0;
}
