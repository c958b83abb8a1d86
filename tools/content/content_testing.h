// Test support of the content writers: the engine with the host's files and the PNG reader over a scratch folder
// of the test's own, canvases built from written pictures, and the source texts checked list by list in the
// three languages.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "engine/data/locale.h"
#include "engine/data/tagtree.h"
#include "gfx/core/engine_testing.h"
#include "gfx/core/filesys.h"
#include "gfx/core/image.h"
#include "gfx/testsupport/headless.h"
#include "gfx/testsupport/temp_dir.h"
#include "tools/content/templates_writer.h"
#include "ui/toolkit/canvas.h"

class ContentFilesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(GxTestEngineStart());
        m_started = true;
        ASSERT_TRUE(GxTestFileSystemOpen());
        m_opened = true;
        ASSERT_TRUE(GxImageRegisterImageFormat("png", GxImageReadPNG, nullptr));
        m_scratch.emplace("content_test");
        dir = m_scratch->Dir();
    }
    void TearDown() override
    {
        m_scratch.reset();
        if (m_opened)
            GxFileSystemManagerClose();
        if (m_started)
            GxTestEngineShutdown();
    }

    // The widgets, background included, and hot-spots of the canvas built from `picture`.
    struct CanvasCount {
        int32_t widgets;
        size_t hotSpots;
    };
    static CanvasCount CountCanvas(const std::filesystem::path& picture)
    {
        CFerroxCanvas canvas;
        canvas.Build(picture.string().c_str(), 0.0f, 0.0f, 0);
        const CanvasCount count = {canvas.GetWidgetCount(), canvas.GetHotSpotCount()};
        canvas.Release();
        return count;
    }

    std::filesystem::path dir;

private:
    bool m_started = false;
    bool m_opened = false;
    std::optional<GxTestTempDir> m_scratch;
};

// The content sources' text folder; empty when MALL_SOURCE_DIR is unset.
inline std::string ContentTextDir()
{
    const char* source = std::getenv("MALL_SOURCE_DIR");
    return source ? std::string(source) + "/tools/content/text" : std::string();
}

// A file of the content sources' text folder; empty when MALL_SOURCE_DIR is unset or the file cannot be read.
inline std::string ContentSourceText(const char* name)
{
    const std::string dir = ContentTextDir();
    if (dir.empty())
        return "";
    std::ifstream in(dir + "/" + name, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The game data the content tool merges from the text folder, loaded into `data`; false with the reason when
// the folder is unknown or the data does not read.
inline bool ContentLoadAuthoredData(CFerroxTagTree* data, std::string* error)
{
    std::string text;
    if (ContentTextDir().empty()) {
        *error = "MALL_SOURCE_DIR is not set";
        return false;
    }
    if (!ContentGameDataText(ContentTextDir(), &text, error))
        return false;
    if (!data->LoadFromMemory(text.data(), text.size())) {
        *error = "the merged game data does not read as a tag tree";
        return false;
    }
    return true;
}

constexpr int32_t kContentLanguages = 3;
constexpr size_t kContentAnyLength = std::numeric_limits<size_t>::max();

// A text list the game looks up by name: its first `count` entries must be there and not empty.
struct ContentTextList {
    const char* name;
    uint16_t count;
    bool exact = true;                   // nothing past the count: a look-up by substring found the list itself
    size_t longest = kContentAnyLength;  // the longest entry that fits where it is drawn
};

// Checks each list of the language file `text` in every language; `each`, when given, checks more of the
// language's locale.
inline void ContentExpectTextLists(const std::string& text, const std::vector<ContentTextList>& lists,
                                   const std::function<void(CLocale&, int32_t)>& each = nullptr)
{
    ASSERT_FALSE(text.empty());
    CFerroxTagTree tree;
    ASSERT_TRUE(tree.LoadFromMemory(text.data(), text.size()));
    for (int32_t language = 0; language < kContentLanguages; language++) {
        CLocale locale;
        locale.SetLanguage(language);
        locale.LoadTextsFromTree(tree);
        for (const ContentTextList& list : lists) {
            const int16_t index = locale.FindTextList(list.name);
            ASSERT_GE(index, 0) << list.name;
            for (uint16_t k = 0; k < list.count; k++) {
                bool missing = false;
                const std::u16string entry = locale.GetText(index, k, &missing);
                EXPECT_FALSE(missing || entry.empty()) << list.name << " " << k << " language " << language;
                EXPECT_LE(entry.size(), list.longest) << list.name << " " << k << " language " << language;
            }
            bool missing = false;
            locale.GetText(index, list.count, &missing);
            if (list.exact)
                EXPECT_TRUE(missing) << list.name << " has more entries than its own list, language " << language;
        }
        if (each)
            each(locale, language);
    }
}
