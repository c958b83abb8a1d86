// The game base's clocks and set-up, and the debug switches read from a data file.
#include "engine/application/base.h"
#include "engine/application/keyboard.h"
#include "engine/application/mouse.h"
#include "engine/world/camera.h"
#include "engine/world/level.h"

#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "engine/testsupport/files.h"
#include "gfx/core/engine_testing.h"
#include "gfx/core/image.h"
#include "platform/testsupport/debugoutput.h"
#include "platform/win32/winbase.h"

namespace {

TEST(FerroxGame, UpdateClampsFrameTimeAndSkipsAFrame)
{
    CFerroxGame game;
    game.Update(0.02f);
    game.Update(0.2f);
    EXPECT_FLOAT_EQ(0.05f, game.GetFrameTime());
    EXPECT_FLOAT_EQ(0.07f, game.GetGameTime());
    EXPECT_EQ(game.GetFrameTimes()[1], game.GetGameTime());
    game.SetSkipFrame(1);
    game.Update(0.01f);
    EXPECT_EQ(0.0f, game.GetFrameTime());
    EXPECT_EQ(0.0f, game.GetGameTime());
    game.Update(0.01f);
    EXPECT_FLOAT_EQ(0.01f, game.GetGameTime());
    // Only a time above the limit is clamped.
    game.Update(-0.005f);
    EXPECT_FLOAT_EQ(-0.005f, game.GetFrameTime());
    EXPECT_FLOAT_EQ(0.005f, game.GetGameTime());
}

// The image path needs a started graphics engine.
class FerroxGameStarted : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(GxTestEngineStart()); }
    void TearDown() override { GxTestEngineShutdown(); }
};

TEST_F(FerroxGameStarted, CreateOnceWithAWindowAndReleaseOwnedObjects)
{
    CFerroxGame game;
    game.SetStartDirectory("C:\\mall");
    HWND window = reinterpret_cast<HWND>(0x1234);
    EXPECT_EQ(0, game.Create(nullptr, "Ferrox Game"));
    EXPECT_EQ(1, game.Create(window, "Ferrox Game"));
    EXPECT_EQ(0, game.Create(window, "again"));
    EXPECT_EQ(window, game.GetWindow());
    EXPECT_STREQ("Ferrox Game", game.GetName());
    EXPECT_STREQ("C:\\mall\\", GxImageGetPath());
    EXPECT_EQ(640, game.SetScreenSize(640, 480));
    EXPECT_EQ(480, game.GetScreenHeight());
    int adapter = 3, mode = 4;
    EXPECT_EQ(1, game.ChooseVideoMode(&adapter, &mode));
    EXPECT_EQ(3, adapter);

    // The interface goes after the level manager and before the input and the camera it may still reach.
    static int deleted = 0;
    static bool inputLeftForInterface = false;
    struct CountedInterface : CFerroxGameInterface {
        explicit CountedInterface(CFerroxGame* owner) : game(owner) {}
        ~CountedInterface() override
        {
            ++deleted;
            inputLeftForInterface = !game->m_pLevelManager && game->m_pMouse && game->m_pKeyboard && game->m_pCamera;
        }
        CFerroxGame* game;
    };
    game.m_pLevelManager = std::make_unique<CFerroxLevelManager>();
    game.m_pInterface = std::make_unique<CountedInterface>(&game);
    game.m_pCamera = std::make_unique<CFerroxCamera>();
    game.m_pMouse = std::make_unique<CFerroxMouse>();
    game.m_pKeyboard = std::make_unique<CFerroxKeyboard>();
    game.Release();
    EXPECT_EQ(1, deleted);
    EXPECT_TRUE(inputLeftForInterface);
    EXPECT_EQ(nullptr, game.m_pMouse);
    EXPECT_EQ(nullptr, game.GetWindow());
    EXPECT_EQ(nullptr, game.m_pCamera);
}

// A subclass whose own Init leaves the base alone: Release must still clear what it freed.
class GameWithOwnInit : public CFerroxGame {
public:
    void Init() override { ownInits++; }
    int ownInits = 0;
};

TEST(FerroxGame, ReleaseInASubclassClearsTheFreedPointers)
{
    GameWithOwnInit game;
    game.m_pMouse = std::make_unique<CFerroxMouse>();
    game.m_pCamera = std::make_unique<CFerroxCamera>();
    game.Release();
    EXPECT_EQ(nullptr, game.m_pMouse);
    EXPECT_EQ(nullptr, game.m_pCamera);
    game.Release();  // a second release frees nothing twice
}

std::string g_debugText;
void CaptureDebug(const char* text) { g_debugText += text; }

class DebugSettings : public FerroxTestFiles {
protected:
    void SetUp() override
    {
        FerroxTestFiles::SetUp();
        g_debugText.clear();
        StandInSetDebugOutputHook(CaptureDebug);
        StandInSetDebugOutput(FALSE);
    }
    void TearDown() override
    {
        StandInSetDebugOutputHook(nullptr);
        StandInSetDebugOutput(TRUE);
        FerroxTestFiles::TearDown();
    }
    CFerroxDebugSettings settings;
};

TEST_F(DebugSettings, DefaultsAndSwitchesFromTheDebugBlock)
{
    EXPECT_EQ(0, settings.GetSwitch(FERROX_DEBUG_FULLTRACE));
    EXPECT_EQ(1, settings.GetSwitch(FERROX_DEBUG_CLUMPLOAD));
    std::string data = Path("data.xml");
    WriteFile(data, "<DEBUG>\r\n<readtxd>\r\n1\r\n</readtxd>\r\n<assetpool>\r\nyes\r\n</assetpool>\r\n"
                    "<unknown>\r\n1\r\n</unknown>\r\n<cameracoords>\r\n</cameracoords>\r\n</DEBUG>\r\n");
    ASSERT_EQ(1, settings.Load(data.c_str()));
    EXPECT_EQ(1, settings.GetSwitch(FERROX_DEBUG_READTXD));
    EXPECT_EQ(0, settings.GetSwitch(FERROX_DEBUG_ASSETPOOL));
    EXPECT_EQ(0, settings.GetSwitch(FERROX_DEBUG_CAMERACOORDS));
    EXPECT_EQ("", g_debugText);
}

TEST_F(DebugSettings, EnabledFullTraceFreezesTheSwitchesAfterIt)
{
    std::string data = Path("data.xml");
    WriteFile(data, "<DEBUG>\n<fulltrace>\n1\n</fulltrace>\n<readtxd>\n1\n</readtxd>\n</DEBUG>\n");
    settings.Load(data.c_str());
    EXPECT_EQ(1, settings.GetSwitch(FERROX_DEBUG_FULLTRACE));
    EXPECT_EQ(0, settings.GetSwitch(FERROX_DEBUG_READTXD));
}

TEST_F(DebugSettings, MissingBlockOrChildrenWriteTheBanner)
{
    EXPECT_EQ(0, settings.Load(Path("absent.xml").c_str()));
    EXPECT_NE(std::string::npos, g_debugText.find("FERROX ERROR\nCOULDN'T FIND DEBUG TAG in data.xml"));
    g_debugText.clear();
    std::string data = Path("data.xml");
    WriteFile(data, "<DEBUG>\n</DEBUG>\n");
    EXPECT_EQ(0, settings.Load(data.c_str()));
    EXPECT_NE(std::string::npos, g_debugText.find("COULDN'T FIND DEBUG CHILD"));
    EXPECT_EQ(1, settings.GetSwitch(FERROX_DEBUG_STREAMCHECKING));
}

}  // namespace

#include "engine/data/random.h"

namespace {

TEST(FerroxRandom, TheSameSeedGivesTheSameNumbers)
{
    FerroxSrand(42);
    int first[4] = {FerroxRand(), FerroxRand(), FerroxRand(), FerroxRand()};
    FerroxSrand(42);
    for (int value : first) {
        EXPECT_EQ(value, FerroxRand());
        EXPECT_LE(0, value);
        EXPECT_GE(FERROX_RAND_MAX, value);
    }
}

}  // namespace
