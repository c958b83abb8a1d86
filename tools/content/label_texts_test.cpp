// Words on interface pictures: every label of every canvas reads in each language, the checks catch what would
// not, and a worded canvas gets a picture per language with the language's letters on it.
#include "tools/content/label_texts.h"

#include <cstring>
#include <string>
#include <vector>

#include "tools/content/card_painter.h"
#include "tools/content/content_testing.h"
#include "tools/content/filepanel_images.h"
#include "tools/content/frontend_pictures.h"
#include "tools/content/interface_painter.h"
#include "tools/content/management_pictures.h"
#include "tools/content/panel_painter.h"

namespace {

std::vector<ContentCanvasLayout> WordedLayouts()
{
    return {ContentMainMenuLayout(), ContentCityLayout(0), ContentCityLayout(1), ContentCityLayout(2)};
}

TEST(PictureWords, EveryLabelReadsInEveryLanguage)
{
    for (const ContentCanvasLayout& layout : WordedLayouts()) {
        EXPECT_FALSE(layout.labels.empty()) << layout.stem;
        for (int language = 0; language < kContentLanguageCount; language++) {
            std::string error;
            EXPECT_TRUE(ContentCheckLabels(layout, language, &error)) << error;
        }
    }
    // The words a French player meets first are French.
    EXPECT_STREQ(ContentLabelText("Quit", kContentFrench), "Quitter");
    EXPECT_STREQ(ContentLabelText("Yes", kContentGerman), "Ja");
    EXPECT_EQ(ContentLabelText("Quit", 3), nullptr);
    EXPECT_EQ(ContentLabelText(nullptr, kContentFrench), nullptr);
}

TEST(PictureWords, UnknownWordsOverlapsAndButtonEdgesAreRefused)
{
    ContentCanvasLayout layout = {"x", "x", 200, 60, {60, 60, 60}, {{100, 10, 60, 28}}, {}, {{10, 20, "Yes"}}, {}, {}};
    std::string error;
    EXPECT_TRUE(ContentCheckLabels(layout, kContentFrench, &error)) << error;
    layout.labels = {{10, 20, "Gibberish"}};
    EXPECT_FALSE(ContentCheckLabels(layout, kContentEnglish, &error));
    EXPECT_NE(error.find("\"Gibberish\" of x has no form in English"), std::string::npos) << error;
    // Right-aligned at 40, the German "Ja" reaches back over the end of "Nein".
    layout.labels = {{10, 20, "No"}, {40, 20, "Yes", CONTENT_LABEL_RIGHT}};
    EXPECT_FALSE(ContentCheckLabels(layout, kContentGerman, &error));
    EXPECT_NE(error.find("runs into \"Nein\""), std::string::npos) << error;
    layout.labels = {{90, 20, "Close"}};
    EXPECT_FALSE(ContentCheckLabels(layout, kContentEnglish, &error));
    EXPECT_NE(error.find("a button's edge"), std::string::npos) << error;
    layout.labels = {{110, 20, "No"}};
    EXPECT_TRUE(ContentCheckLabels(layout, kContentEnglish, &error)) << error;
    layout.labels = {{180, 20, "Close"}};
    EXPECT_FALSE(ContentCheckLabels(layout, kContentFrench, &error));
    EXPECT_NE(error.find("runs off the picture or onto its rim in French"), std::string::npos) << error;
    // Nor do they touch the rim along the picture's top.
    const int below = layout.height - kContentButtonFrame - 1 - ContentDigitHeight(kContentLabelFont);
    layout.labels = {{10, below + 1, "Yes"}};
    EXPECT_FALSE(ContentCheckLabels(layout, kContentEnglish, &error));
    EXPECT_NE(error.find("onto its rim"), std::string::npos) << error;
    layout.labels = {{10, below, "Yes"}};
    EXPECT_TRUE(ContentCheckLabels(layout, kContentEnglish, &error)) << error;
    // Words that touch read as one: side by side they keep a space between them, and beside a button they keep
    // it off the button's frame (which starts two pixels before the button at x 100).
    const int yes = ContentTextWidth(kContentLabelFont, "Yes");
    ASSERT_GT(yes, 0);
    layout.labels = {{10, 20, "Yes"}, {10 + yes + kContentLabelGap - 1, 20, "No"}};
    EXPECT_FALSE(ContentCheckLabels(layout, kContentEnglish, &error));
    EXPECT_NE(error.find("runs into \"Yes\""), std::string::npos) << error;
    layout.labels = {{10, 20, "Yes"}, {10 + yes + kContentLabelGap, 20, "No"}};
    EXPECT_TRUE(ContentCheckLabels(layout, kContentEnglish, &error)) << error;
    const int beside = 100 - kContentButtonFrame - kContentLabelGap - yes;
    layout.labels = {{beside + 1, 20, "Yes"}};
    EXPECT_FALSE(ContentCheckLabels(layout, kContentEnglish, &error));
    EXPECT_NE(error.find("a button's edge"), std::string::npos) << error;
    layout.labels = {{beside, 20, "Yes"}};
    EXPECT_TRUE(ContentCheckLabels(layout, kContentEnglish, &error)) << error;
}

class PictureWordFiles : public ContentFilesTest {};

// One picture serves every language: none is written per language, and a word the table lacks is refused.
TEST_F(PictureWordFiles, ACanvasHasOnePictureForEveryLanguage)
{
    std::string error;
    ASSERT_TRUE(ContentWriteCanvas(ContentConfirmLayout(), dir.string(), &error)) << error;
    ASSERT_TRUE(ContentWriteCanvas(ContentMessagesLayout(), dir.string(), &error)) << error;
    EXPECT_TRUE(std::filesystem::exists(dir / "confirm.png"));
    for (const char* other : {"confirmger.png", "confirmfre.png", "messagesger.png", "messagesfre.png"})
        EXPECT_FALSE(std::filesystem::exists(dir / other)) << other;
    // Each button also under the name the canvas looks for without its placement map.
    EXPECT_TRUE(std::filesystem::exists(dir / "1_s.png"));
    EXPECT_TRUE(std::filesystem::exists(dir / "01_s.png"));
    EXPECT_GT(ContentTextWidth(kContentLabelFont, "\xC3\xA9"), 0);
    // A byte that starts no UTF-8 sequence is U+FFFD, as in every text the program decodes.
    EXPECT_EQ(ContentTextWidth(kContentLabelFont, "\xE9t"), ContentTextWidth(kContentLabelFont, "\xEF\xBF\xBDt"));
    EXPECT_GT(ContentTextWidth(kContentLabelFont, "\xE9t"), 0);
    ContentCanvasLayout unknown = ContentConfirmLayout();
    unknown.labels.push_back({10, 100, "Gibberish"});
    EXPECT_FALSE(ContentWriteCanvas(unknown, dir.string(), &error));
}

}  // namespace
