// Test support of the front end: a fixture in a scratch game root of its own (the working directory while a
// test runs), a locale that records, an application the main menu quits, and writers of canvas pictures,
// scenarios and camera paths.
#pragma once

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "engine/application/app.h"
#include "engine/testsupport/files.h"
#include "engine/world/level.h"
#include "game/shell/gameshell.h"
#include "gfx/core/spline.h"
#include "gfx/core/stream.h"
#include "gfx/world/world.h"
#include "ui/frontend/frontend.h"
#include "ui/toolkit/toolkit_testing.h"

struct FrontTextDraw {
    int16_t list;
    uint16_t index;
    float x;
    int y;
    int alignment;
    bool boxed;
    CFerroxWideTextFont* font;
    FerroxTextBox box;
};

class FrontRecordingLocale : public UiTestLocale {
public:
    FrontRecordingLocale()
    {
        lists = {"general_tooltips", "mainmenu", "scenarios", "InGameMessages", "endgamemessages", "berlin"};
    }
    void DrawText(CFerroxWideTextFont* font, int16_t list, uint16_t index, float x, int y, int, int alignment, float,
                  int, const FerroxTextBox* box) override
    {
        draws.push_back({list, index, x, y, alignment, box != nullptr, font, box ? *box : FerroxTextBox{}});
        if (drawThrough)
            font->DrawWideText(u"text", x, y, 0, alignment, 0.0f, 0, box);
    }
    std::vector<FrontTextDraw> draws;
    bool drawThrough = false;  // the font draws "text" for each call
};

// The shell through which the game gives its canvases the front end: the one a test makes.
class FrontTestShell : public CGameShell {
public:
    CFerroxGameInterface* GetFrontEndInterface() const override { return frontEnd; }
    CFerroxGameInterface* frontEnd = nullptr;
};

class FrontEndTest : public UiWorldTest {
protected:
    void SetUp() override
    {
        UiWorldTest::SetUp();
        if (HasFatalFailure())
            return;
        game->m_pLocale = std::make_unique<FrontRecordingLocale>();
        locale = static_cast<FrontRecordingLocale*>(game->m_pLocale.get());
        g_pFerroxApp = &app;
        game->SetShell(&shell);
        previous = std::filesystem::current_path();
        root = std::filesystem::temp_directory_path() /
               ("ferrox_front_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "_" +
                FerroxTestRunTag());
        std::filesystem::create_directories(root);
        std::filesystem::current_path(root);
        screen = FerroxGetScreenHeight();
    }
    void TearDown() override
    {
        g_pFerroxApp = nullptr;
        FerroxSetInterfaceScale(1.0f, 1.0f);
        std::filesystem::current_path(previous);
        std::error_code ignored;
        std::filesystem::remove_all(root, ignored);
        UiWorldTest::TearDown();
    }

    // A canvas picture of 200 x 100 with one 10 x 10 button every 20 pixels from x 10 on, at y 10.
    static void WriteCanvas(const std::string& folder, const std::string& stem, int buttons)
    {
        std::filesystem::create_directories(folder);
        ASSERT_TRUE(UiPicture(200, 100, {30, 30, 30, 255}).Write(folder + "/" + stem + ".png"));
        UiPicture map = UiMap(200, 100, buttons);
        for (int k = 0; k < buttons; k++) {
            map.Block(ButtonX(k + 1), 10, 1, 1, UiPaletteColour(k));
            ASSERT_TRUE(UiPicture(10, 10, {0, 200, 0, 255}).Write(folder + "/" + std::to_string(k + 1) + "_s.png"));
        }
        ASSERT_TRUE(map.Write(folder + "/" + stem + "_p.png"));
    }
    static int ButtonX(int button) { return 10 + 20 * (button - 1); }
    static void WriteCities()
    {
        WriteCanvas("images/scenario/London", "london", 5);
        WriteCanvas("images/scenario/Berlin", "berlin", 5);
        WriteCanvas("images/scenario/Paris", "paris", 5);
    }
    static void WriteScenario(const std::string& name, const std::string& conditions)
    {
        std::filesystem::create_directories("scenarios");
        std::ofstream("scenarios/" + name) << "<LEVEL>\r\nx.gxs\r\n</LEVEL>\r\n" << conditions;
    }
    // A camera path file of count points along x.
    static void WritePath(const std::string& path, int count)
    {
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        GxStream* stream = GxStreamOpen(gxSTREAMFILENAME, gxSTREAMWRITE, path.c_str());
        ASSERT_NE(stream, nullptr);
        GxUInt8 head[40] = {};
        const GxInt32 type = gxSPLINEOPEN;
        std::memcpy(head + 32, &count, 4);
        std::memcpy(head + 36, &type, 4);
        ASSERT_NE(GxStreamWriteChunkHeader(stream, gxID_SPLINE, 40 + 12 * count, gxLIBRARYVERSION, gxLIBRARYBUILD),
                  nullptr);
        ASSERT_NE(GxStreamWrite(stream, head, sizeof(head)), nullptr);
        for (int i = 0; i < count; i++) {
            const GxReal xyz[3] = {10.0f * static_cast<float>(i), 5.0f, 0.0f};
            ASSERT_NE(GxStreamWriteReal(stream, xyz, sizeof(xyz)), nullptr);
        }
        ASSERT_TRUE(GxStreamClose(stream, nullptr));
    }
    // Holds the left button down over (x, bottom-up y).
    void PressAt(float x, float y)
    {
        mouse->GetPosition()->x = x;
        mouse->GetPosition()->y = screen - y;
        mouse->GetPosition()->left = FERROX_BUTTON_DOWN;
    }
    void PressButton(int button) { PressAt(static_cast<float>(ButtonX(button) + 5), 15.0f); }
    static bool DrewText(const std::string& text)
    {
        for (const UiDrawRecord& record : uiDrawRecords) {
            if (record.picture == text)
                return true;
        }
        return false;
    }
    bool Drew(const std::string& picture) const
    {
        for (const UiDrawRecord& record : uiDrawRecords) {
            if (record.picture.find(picture) != std::string::npos)
                return true;
        }
        return false;
    }

    FrontRecordingLocale* locale = nullptr;
    CFerroxApp app;
    FrontTestShell shell;
    std::filesystem::path previous;
    std::filesystem::path root;
    float screen = 600.0f;
};
