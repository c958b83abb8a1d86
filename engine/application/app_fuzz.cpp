// Fuzz target of the settings and data files the application reads at start-up: the input less its first byte
// becomes ./setup.xml (first byte even) or ./data.xml (odd) of a folder of the run's own, beside a whole copy of
// the other (or, beside a data file and with the first byte's second bit set, no settings file), and the
// application starts on a stand-in graphics engine. Only the file under test may stop the start, with a reason
// naming it; either way the file is left as it was and nothing of the start stays behind.
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "engine/application/app.h"
#include "engine/application/app_local.h"
#include "engine/application/base.h"
#include "engine/data/tagtree.h"
#include "gfx/testsupport/fuzz.h"

namespace {

const char kSetup[] = "<Game_Data>\n<Language>\n0\n</Language>\n</Game_Data>\n<Level_Data>\n<0>\n"
                      "./models/levels/London/london.gxs\n</0>\n<total>\n0\n</total>\n</Level_Data>\n"
                      "<Debug_Data>\n<DebugFile>\ntrace.txt\n</DebugFile>\n</Debug_Data>\n";
const char kData[] = "<DEBUG>\n<fulltrace>\n0\n</fulltrace>\n<clumpload>\n1\n</clumpload>\n</DEBUG>\n";
const char* const kSetupName = "./setup.xml";
const char* const kDataName = "./data.xml";

std::filesystem::path g_root;

GxBool Succeed() { return 1; }

// Every engine and window call succeeds without doing anything: only the application's own steps run.
FerroxAppPlatform StandInPlatform()
{
    FerroxAppPlatform platform = FerroxGetAppPlatform();
    platform.engineInit = [](const GxMemoryFunctions*, GxUInt32, GxUInt32) { return Succeed(); };
    platform.engineOpen = [](void*) { return Succeed(); };
    platform.engineStart = Succeed;
    platform.engineStop = Succeed;
    platform.engineClose = Succeed;
    platform.engineTerm = Succeed;
    platform.getCurrentSubSystem = []() -> GxInt32 { return 0; };
    platform.setSubSystem = [](GxInt32) { return Succeed(); };
    platform.setVideoMode = [](GxInt32) { return Succeed(); };
    platform.getVideoModeInfo = [](GxVideoMode* info, GxInt32) -> GxVideoMode* {
        *info = GxVideoMode{};
        return info;
    };
    platform.setRefreshRate = [](GxUInt32) {};
    for (FerroxPluginStep& step : platform.plugins)
        step.attach = nullptr;
    return platform;
}

// An application whose window, file systems and image formats are left to the stand-in: the host's files stay
// the default file system.
class FuzzApp : public CFerroxApp {
public:
    int Create(HINSTANCE) override { return 1; }
    int OpenFileSystems() override { return 1; }
    void CloseFileSystems() override {}
    int RegisterImageFormats() override { return 1; }
};

class FuzzGame : public CFerroxGame {
public:
    int Create(HWND, const char*) override { return 1; }
};

std::string Read(const char* name)
{
    std::ifstream in(name, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

bool StartsWith(const char* text, const std::string& prefix)
{
    return text && std::strncmp(text, prefix.c_str(), prefix.size()) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    if (!GxFuzzFilesStart())
        std::abort();
    g_root = GxFuzzScratchPath("ferrox_app_root");
    std::filesystem::create_directories(g_root);
    FerroxGetAppPlatform() = StandInPlatform();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const bool setup = (data[0] & 1) == 0;
    const char* name = setup ? kSetupName : kDataName;
    const std::string input(reinterpret_cast<const char*>(data + 1), size - 1);
    // The application reads its files from the working directory; the caller's is back before the next input.
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(g_root);
    GxFuzzScratchWrite(name, data + 1, size - 1);
    const bool noSetup = !setup && (data[0] & 2) != 0;
    if (setup)
        GxFuzzScratchWrite(kDataName, reinterpret_cast<const uint8_t*>(kData), sizeof(kData) - 1);
    else if (noSetup)
        std::filesystem::remove(kSetupName);
    else
        GxFuzzScratchWrite(kSetupName, reinterpret_cast<const uint8_t*>(kSetup), sizeof(kSetup) - 1);

    g_FerroxDebugSettings.SetDefaults();
    FuzzGame game;
    // One application for every input: each stop closes the file systems, so the host's would go with a
    // destroyed one's final stop.
    static FuzzApp app;
    g_pFerroxApp = &app;
    app.m_pGame = &game;
    app.Create(nullptr);
    if (app.Start()) {
        // A missing settings file leaves an empty tree that never counts as loaded, so it is never saved.
        if (!g_pFerroxSetupTree || g_pFerroxSetupTree->IsLoaded() != (noSetup ? 0 : 1) || app.GetStartFailure())
            std::abort();
    } else if (!StartsWith(app.GetStartFailure(), std::string(name) + " ")) {
        // Only the file under test may stop the start, and the reason names it.
        std::abort();
    }
    app.Release();
    g_pFerroxApp = nullptr;
    if (g_pFerroxSetupTree || Read(name) != input)
        std::abort();
    std::filesystem::current_path(previous);
    return 0;
}
