// Test support: the game with a four-category technology tree and a notice seam that records what it is told.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/data/tagtree.h"
#include "engine/data/techtree.h"
#include "engine/testsupport/files.h"
#include "game/shell/game.h"

// Four categories, in the order of the game's data, three technologies each.
inline const char* GameTestTechnologies()
{
    return "<TECHNOLOGIES>\n"
           "<cleaning>\n<a>\n1000\n3\n</a>\n<b>\n1001\n3\n</b>\n</cleaning>\n"
           "<engineering>\n<c>\n2000\n3\n</c>\n</engineering>\n"
           "<gardening>\n<d>\n3000\n3\n</d>\n</gardening>\n"
           "<security>\n<e>\n4000\n3\n</e>\n</security>\n"
           "</TECHNOLOGIES>\n";
}

constexpr uint16_t kGameTestCategories = 4;

// Gives the game a technology tree of GameTestTechnologies; false when it does not load.
inline bool GameTestInstallTechnologies(CGame* game)
{
    game->m_pTechTree = std::make_unique<CFerroxTechTree>();
    CFerroxTagTree data;
    const std::string text = GameTestTechnologies();
    data.LoadFromMemory(text.data(), text.size());
    return game->m_pTechTree->LoadTechnologies(&data, nullptr) == 1;
}

class RecordingNotices : public CGameNotices {
public:
    void QueueMessage(int16_t number) override { messages.push_back(number); }
    void AskConfirmation(GameConfirmCallback, uint16_t textIndex, int16_t, int32_t, const char*) override
    {
        questions.push_back(textIndex);
    }
    void PlaySample(int32_t sample, int32_t volume) override { samples.push_back({sample, volume}); }
    void Clear()
    {
        messages.clear();
        questions.clear();
        samples.clear();
    }

    std::vector<int16_t> messages;
    std::vector<uint16_t> questions;
    std::vector<std::pair<int32_t, int32_t>> samples;
};

// The game singleton with the tree and the recorder installed, and a scratch folder for files.
class GameTest : public FerroxTestFiles {
protected:
    void SetUp() override
    {
        FerroxTestFiles::SetUp();
        game = CGame::Instance(nullptr);
        game->SetNotices(&notices);
        ASSERT_TRUE(GameTestInstallTechnologies(game));
    }
    void TearDown() override
    {
        CGame::DestroyInstance(nullptr);
        FerroxTestFiles::TearDown();
    }
    // The frame that ends game day `day`.
    void EndDay(uint16_t day)
    {
        game->m_dayCounter = day;
        game->m_newDay = 1;
    }

    CGame* game = nullptr;
    RecordingNotices notices;
};
