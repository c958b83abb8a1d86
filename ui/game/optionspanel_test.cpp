// The options panel's load and save buttons: the game pauses, the file panel opens modally in the saves
// folder, and a saves folder that cannot be made closes it again and resumes the game.
#include <filesystem>

#include "engine/testsupport/files.h"
#include "ui/game/filecanvas.h"
#include "ui/game/ingame_testing_local.h"
#include "ui/game/loadpanel.h"
#include "ui/game/panels.h"
#include "ui/game/savepanel.h"

namespace {

constexpr float kAbove = kUiMainBarHeight - 8.0f;

class OptionsFileTest : public UiGameTest {
protected:
    void SetUp() override
    {
        UiGameTest::SetUp();
        if (HasFatalFailure())
            return;
        CreateWithFonts();
        start = std::filesystem::temp_directory_path() / ("ferrox_options_" + FerroxTestRunTag());
        std::filesystem::create_directories(start);
        workingFolder = std::filesystem::current_path();
        std::filesystem::current_path(start);
        auto load = std::make_unique<CLoadPanel>();
        load->Init();
        ui->m_pLoadPanel = std::move(load);
        auto save = std::make_unique<CSavePanel>();
        save->Init();
        ui->m_pSavePanel = std::move(save);
        game->m_gameSpeed = 2.0f;
    }
    void TearDown() override
    {
        std::error_code ignored;
        std::filesystem::current_path(workingFolder, ignored);
        std::filesystem::remove_all(start, ignored);
        UiGameTest::TearDown();
    }
    void Press(int k)
    {
        Open(ui->m_pOptionsPanel.get());
        Click(40.0f, kAbove + 20.0f + 30.0f * static_cast<float>(k - 1));
    }
    std::filesystem::path start;
    std::filesystem::path workingFolder;
};

TEST_F(OptionsFileTest, LoadAndSavePauseTheGameAndOpenTheirPanelInTheSavesFolder)
{
    std::filesystem::create_directories(start / kFilePanelMapsFolder);
    for (int button : {OPTIONS_LOAD, OPTIONS_SAVE}) {
        game->m_gameSpeed = 2.0f;
        Press(button);
        CFerroxCanvas* panel = button == OPTIONS_LOAD ? ui->m_pLoadPanel.get() : ui->m_pSavePanel.get();
        ASSERT_EQ(1, ui->GetStack().GetModalCount()) << button;
        EXPECT_EQ(0.0f, game->m_gameSpeed);
        EXPECT_EQ(2.0f, game->m_resumeSpeed);
        EXPECT_EQ(1, game->m_inputBlocked);
        EXPECT_TRUE(std::filesystem::is_directory(start / kFilePanelMapsFolder));
        EXPECT_TRUE(std::filesystem::equivalent(std::filesystem::current_path(), start / kFilePanelMapsFolder));
        EXPECT_EQ("./maps/", static_cast<CFerroxFileIOCanvas*>(panel)->GetFolderPath());
        // Only the main bar stays beneath it.
        EXPECT_EQ(1, ui->GetStack().GetNormalCount());
        ui->GetStack().Remove(panel);
        game->Resume();
        std::filesystem::current_path(start);
    }
}

}  // namespace
