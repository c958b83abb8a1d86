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

int g_answered = 0;
void Answer() { g_answered++; }

// Escape closes what is on top, one a press: the question unanswered, then the file panel under it (the game
// resumes), then the open panel or card; under the end of the game it closes nothing, and with nothing open it
// leaves the leave question to the game.
TEST_F(OptionsFileTest, EscapeClosesTheQuestionThenTheFilePanelThenTheOpenPanel)
{
    Press(OPTIONS_SAVE);
    CFerroxCanvas* save = ui->m_pSavePanel.get();
    ASSERT_EQ(save, ui->GetStack().GetTopModal());
    g_answered = 0;
    ui->AskConfirmation(Answer, 1, 0, 1, "playtest");
    ASSERT_EQ(ui->m_pConfirmPanel.get(), ui->GetStack().GetTopModal());

    EXPECT_EQ(1, ui->CloseTopPanel());
    EXPECT_EQ(save, ui->GetStack().GetTopModal());
    EXPECT_EQ(0, g_answered);
    EXPECT_EQ(nullptr, ui->m_pConfirmPanel->GetCallback());
    EXPECT_EQ(1, game->m_inputBlocked);

    EXPECT_EQ(1, ui->CloseTopPanel());
    EXPECT_EQ(0, ui->GetStack().GetModalCount());
    EXPECT_EQ(2.0f, game->m_gameSpeed);
    EXPECT_EQ(0, game->m_inputBlocked);
    ui->Update(0.01f);
    EXPECT_TRUE(ui->GetStack().Holds(ui->m_pMainPanel.get())) << "no closing is left over for the next update";

    Open(ui->m_pMallSummaryPanel.get());
    EXPECT_EQ(1, ui->CloseTopPanel());
    EXPECT_FALSE(ui->GetStack().Holds(ui->m_pMallSummaryPanel.get()));
    CFerroxObject shop;
    game->m_pSelectedObject = &shop;
    ui->GetStack().Push(ui->m_pShopPopup.get(), 0);
    EXPECT_EQ(1, ui->CloseTopPanel());
    EXPECT_FALSE(ui->GetStack().Holds(ui->m_pShopPopup.get()));
    EXPECT_EQ(nullptr, game->m_pSelectedObject);
    EXPECT_EQ(0, ui->CloseTopPanel());
    EXPECT_EQ(1, ui->GetStack().GetNormalCount());

    ui->GetStack().Push(ui->m_pEndGameCanvas.get(), 1);
    Open(ui->m_pOptionsPanel.get());
    EXPECT_EQ(1, ui->CloseTopPanel());
    EXPECT_TRUE(ui->GetStack().Holds(ui->m_pEndGameCanvas.get()));
    EXPECT_TRUE(ui->GetStack().Holds(ui->m_pOptionsPanel.get()));
    ui->GetStack().Remove(ui->m_pEndGameCanvas.get());
}

}  // namespace
