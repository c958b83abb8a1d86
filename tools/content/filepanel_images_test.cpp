// The load and save panels' pictures build 15 buttons in their places, and their texts exist in three languages.
#include "tools/content/filepanel_images.h"

#include <filesystem>

#include "game/shell/savegame.h"
#include "tools/content/content_testing.h"

namespace {

class FilePanelPictures : public ContentFilesTest {};

TEST_F(FilePanelPictures, BothPanelsBuildFifteenButtonsAtTheirPlaces)
{
    const std::filesystem::path& root = dir;
    std::string error;
    ASSERT_TRUE(ContentWriteFilePanels(root.string(), &error)) << error;
    for (const char* stem : {"load", "save"}) {
        const ContentCanvasLayout layout = ContentFilePanelLayout(stem);
        ASSERT_EQ(layout.buttons.size(), static_cast<size_t>(kContentFilePanelButtons));
        CFerroxCanvas canvas;
        canvas.Build((root / "images" / "panels" / stem / (std::string(stem) + ".png")).string().c_str(), 0.0f, 0.0f,
                     0);
        ASSERT_EQ(canvas.GetWidgetCount(), kContentFilePanelButtons + 1) << stem;
        for (int k = 0; k < kContentFilePanelButtons; k++) {
            EXPECT_EQ(canvas.GetWidget(k + 1)->m_x, layout.buttons[k].x) << stem << " " << k + 1;
            EXPECT_EQ(canvas.GetWidget(k + 1)->m_y, layout.buttons[k].y) << stem << " " << k + 1;
        }
        // The first row is the top one.
        EXPECT_GT(canvas.GetWidget(8)->m_y, canvas.GetWidget(15)->m_y);
        canvas.Release();
    }
}

TEST(FilePanelImages, PanelListsAndTheFailedSaveMessageExistInThreeLanguages)
{
    const std::string text = ContentSourceText("language.xml");
    CFerroxTagTree tree;
    ASSERT_TRUE(tree.LoadFromMemory(text.data(), text.size()));
    for (int32_t language = 0; language < 3; language++) {
        CLocale locale;
        locale.SetLanguage(language);
        locale.LoadTextsFromTree(tree);
        struct Wanted {
            const char* list;
            uint16_t index;
        };
        for (const Wanted& wanted :
             {Wanted{"load", 0}, Wanted{"load", 2}, Wanted{"save", 0}, Wanted{"save", 2}, Wanted{"InGameMessages", 34},
              Wanted{"InGameMessages", 35}, Wanted{"InGameMessages", 39},
              Wanted{"InGameMessages", kGameLoadRefusedMessage}, Wanted{"InGameMessages", kGameLoadDroppedMessage}}) {
            const int16_t list = locale.FindTextList(wanted.list);
            ASSERT_GE(list, 0) << wanted.list;
            bool missing = false;
            const std::u16string found = locale.GetText(list, wanted.index, &missing);
            EXPECT_FALSE(missing) << wanted.list << " " << wanted.index << " language " << language;
            EXPECT_FALSE(found.empty());
        }
    }
}

}  // namespace
