// Test support of the file panels: a start folder per test and run, made the working directory while the test runs,
// the panel pictures painted on the fly, panels whose saves, loads and thumbnails are files of the test's own (or
// fail on request), and a notice seam that records questions and messages.
#pragma once

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "engine/data/file.h"
#include "engine/data/utf.h"
#include "engine/testsupport/files.h"
#include "gfx/core/image.h"
#include "ui/game/filecanvas.h"
#include "ui/game/loadpanel.h"
#include "ui/game/savepanel.h"
#include "ui/toolkit/toolkit_testing.h"

struct FilePanelQuestion {
    GameConfirmCallback yes;
    uint16_t text;
    int16_t list;
    int32_t closeBoth;
    std::string extra;
};

class FilePanelTestNotices : public CGameNotices {
public:
    void QueueMessage(int16_t number) override { messages.push_back(number); }
    void AskConfirmation(GameConfirmCallback yes, uint16_t text, int16_t list, int32_t closeBoth,
                         const char* extra) override
    {
        questions.push_back({yes, text, list, closeBoth, extra ? extra : ""});
    }
    std::vector<int16_t> messages;
    std::vector<FilePanelQuestion> questions;
};

// Writes the save as a text of its own and the thumbnail as a patterned BMP, and records the paths.
class FilePanelTestGame {
public:
    int SaveGame(const char* path)
    {
        saved.push_back(path);
        if (failSaves)
            return 0;
        // Through the engine's file, as the game writes: the file layer decides which file a name is.
        CFerroxFile file;
        if (file.Open(path, 0) != 0)
            return 0;
        file.WriteLine(content);
        return file.Close() == 0 ? 1 : 0;
    }
    int LoadGame(const char* path)
    {
        loaded.push_back(path);
        loadedFrom.push_back(std::filesystem::current_path());
        return loadResult;
    }
    int SaveScreenshot(const char* path, int32_t width, int32_t height)
    {
        GxImage* image = GxImageCreate(width, height, 32);
        if (!image || !GxImageAllocatePixels(image))
            return 0;
        for (int32_t i = 0; i < width * height * 4; i++)
            image->pixels[i] = static_cast<GxUInt8>(i * 7);
        const bool written = GxImageWriteBMP(image, path) != nullptr;
        GxImageDestroy(image);
        return written ? 1 : 0;
    }
    std::vector<std::string> saved, loaded;
    std::vector<std::filesystem::path> loadedFrom;  // the working directory of each load
    std::string content = "game";
    bool failSaves = false;
    int loadResult = 1;
};

// A file panel whose saves, loads and thumbnails go to the test's files instead of the game.
template <typename TPanel>
class FilePanelUnderTest : public TPanel {
public:
    explicit FilePanelUnderTest(FilePanelTestGame* files) : m_pFiles(files) {}

protected:
    int SaveGameFile(const std::string& path) override { return m_pFiles->SaveGame(path.c_str()); }
    int LoadGameFile(const std::string& path) override { return m_pFiles->LoadGame(path.c_str()); }
    int WriteThumbnail(const std::string& path, int32_t width, int32_t height) override
    {
        return m_pFiles->SaveScreenshot(path.c_str(), width, height);
    }

private:
    FilePanelTestGame* m_pFiles;
};

// Panel picture: a background, 15 buttons placed by a "_p" map; buttons 8 to 15 are the list rows.
inline void FilePanelWritePictures(const std::filesystem::path& folder, const std::string& stem)
{
    constexpr int kWidth = 400, kHeight = 300, kButtons = 15;
    std::filesystem::create_directories(folder);
    ASSERT_TRUE(UiPicture(kWidth, kHeight, {60, 60, 90, 255}).Write((folder / (stem + ".png")).string()));
    UiPicture place = UiMap(kWidth, kHeight, kButtons);
    for (int k = 0; k < kButtons; k++) {
        const bool row = k >= 7;
        const int x = row ? 20 : 10 + k * 40;
        const int y = row ? 250 - (k - 7) * 12 : 20;
        place.Block(x, y, 1, 1, UiPaletteColour(k));
        UiPicture button(row ? 200 : 30, row ? 11 : 16, {200, 200, 200, 255});
        ASSERT_TRUE(button.Write((folder / (std::to_string(k + 1) + "_s.png")).string()));
    }
    ASSERT_TRUE(place.Write((folder / (stem + "_p.png")).string()));
}

// The speed the game ran at before a file panel paused it.
constexpr float kFilePanelTestSpeed = 2.0f;

template <typename TPanel>
class FilePanelTest : public UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        if (HasFatalFailure())
            return;
        workingFolder = std::filesystem::current_path();
        ASSERT_TRUE(GxImageRegisterImageFormat("bmp", GxImageReadBMP, GxImageWriteBMP));
        start = std::filesystem::temp_directory_path() / ("ferrox_files_" + FerroxTestRunTag());
        std::filesystem::create_directories(start / "maps");
        UiTestLocale* locale = static_cast<UiTestLocale*>(game->m_pLocale.get());
        locale->lists.push_back("load");
        locale->lists.push_back("save");
        locale->lists.push_back("InGameMessages");
        g_pGame->SetNotices(&notices);
        const std::string stem = Stem();
        FilePanelWritePictures(start / "panel", stem);
        panel = std::make_unique<FilePanelUnderTest<TPanel>>(&seam);
        std::filesystem::current_path(start);
        panel->BuildPanel((start / "panel" / (stem + ".png")).string().c_str(), 0.0f, 0.0f);
        FerroxGetGameInterface()->GetStack().Push(panel.get(), 1);
        // As the options panel leaves the game while a file panel is open.
        game->SetSpeed(kFilePanelTestSpeed);
        game->Pause();
    }
    void TearDown() override
    {
        std::filesystem::current_path(workingFolder);
        FerroxGetGameInterface()->GetStack().Clear();
        panel.reset();
        g_pGame->SetNotices(nullptr);
        std::error_code ignored;
        std::filesystem::remove_all(start, ignored);
        UiTest::TearDown();
    }
    static std::string Stem();
    void Touch(const std::string& relative, const std::string& text = "x")
    {
        std::filesystem::create_directories((start / relative).parent_path());
        std::ofstream(start / relative) << text;
    }
    std::string Read(const std::string& relative)
    {
        std::ifstream in(start / relative);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    bool Exists(const std::string& relative) { return std::filesystem::exists(start / relative); }
    // The working directory, from the start folder ("" at the start folder itself).
    std::string Here() { return std::filesystem::relative(std::filesystem::current_path(), start).generic_string(); }
    void Press(int32_t index) { panel->OnWidgetEvent(index, FERROX_WIDGET_PRESSED); }
    void Type(const std::string& name) { panel->GetNameField()->SetText(name.c_str()); }
    std::vector<std::string> Names()
    {
        std::vector<std::string> names;
        for (const FileEntry& entry : panel->GetEntries())
            names.push_back(FerroxUtf16ToUtf8(entry.name));
        return names;
    }
    // Answers yes to the last question.
    void Yes()
    {
        ASSERT_FALSE(notices.questions.empty());
        notices.questions.back().yes();
    }
    // The speed set before the panel opened is back and input flows again.
    bool Resumed() const { return game->GetSpeed() == kFilePanelTestSpeed && !game->IsInputBlocked(); }

    std::filesystem::path workingFolder;
    std::filesystem::path start;
    FilePanelTestNotices notices;
    FilePanelTestGame seam;
    std::unique_ptr<FilePanelUnderTest<TPanel>> panel;
};

template <>
inline std::string FilePanelTest<CLoadPanel>::Stem()
{
    return "load";
}
template <>
inline std::string FilePanelTest<CSavePanel>::Stem()
{
    return "save";
}
// Index of "InGameMessages" in the fixture's locale.
constexpr int16_t kFilePanelTestMessageList = 4;
