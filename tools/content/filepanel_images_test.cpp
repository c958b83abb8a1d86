// The load and save panels' pictures build 15 buttons and the tooltips of the icon buttons in their places, their
// texts exist in three languages, and drawn for real with the authored font the rows' names sit in their stripes
// and the words of the save and close buttons on those buttons, in every language.
#include "tools/content/filepanel_images.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "engine/data/locale.h"
#include "tools/content/content_testing.h"
#include "tools/content/font_writer.h"
#include "tools/content/icon_painter.h"
#include "ui/game/savepanel.h"
#include "ui/toolkit/draw_testing.h"
#include "ui/toolkit/toolkit_testing.h"

namespace {

constexpr int kIconButtons = 7;
constexpr int kFirstTooltip = 3;
// Texts of each panel's own list: questions, heading, tooltips, button words, caption, the reasons a name is
// refused (what it holds, or that it is empty).
constexpr uint16_t kPanelTexts = 10;
constexpr uint16_t kMessagesUsed = 51;  // "InGameMessages" up to the column cleared on the storeys above
constexpr int kRows = kFilePanelRows;
constexpr int kRowStep = static_cast<int>(kFilePanelRowStep);
constexpr int kTip = 1;  // pixels a letter's tip may reach past its stripe

class FilePanelPictures : public ContentFilesTest {};

std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Where the icon painter's ink lies in a picture.
std::vector<bool> Ink(const ContentPngImage& image)
{
    std::vector<bool> ink;
    for (size_t i = 0; i + 3 < image.rows.size(); i += 4)
        ink.push_back(std::memcmp(&image.rows[i], kContentIconInk, 3) == 0 && image.rows[i + 3] != 0);
    return ink;
}

TEST_F(FilePanelPictures, BothPanelsBuildFifteenButtonsAndTheTooltipsOfTheIconButtons)
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
        // Hot-spot k shows text k: the three before the buttons' are single pixels, then one over each icon button.
        ASSERT_EQ(canvas.GetHotSpotCount(), static_cast<size_t>(kFirstTooltip + kIconButtons)) << stem;
        for (int k = 0; k < kFirstTooltip; k++)
            EXPECT_LE(canvas.GetHotSpot(k)->m_width, 0.0f) << stem << " hot-spot " << k;
        std::set<std::vector<bool>> inks;
        for (int k = 0; k < kIconButtons; k++) {
            const CFerroxWidget* spot = canvas.GetHotSpot(kFirstTooltip + k);
            const CFerroxWidget* button = canvas.GetWidget(k + 1);
            EXPECT_EQ(spot->m_x, button->m_x) << stem << " button " << k + 1;
            EXPECT_EQ(spot->m_y, button->m_y) << stem << " button " << k + 1;
            EXPECT_NEAR(spot->m_width, button->m_width, 1.0f) << stem << " button " << k + 1;
            EXPECT_NEAR(spot->m_height, button->m_height, 1.0f) << stem << " button " << k + 1;
            const std::vector<bool> ink = Ink(ContentCanvasButton(layout, k));
            EXPECT_NE(std::count(ink.begin(), ink.end(), true), 0) << stem << " button " << k + 1 << " has no icon";
            inks.insert(ink);
        }
        EXPECT_EQ(inks.size(), static_cast<size_t>(kIconButtons)) << stem << ": two buttons show one icon";
        canvas.Release();
        // The name field's box is painted, rim and face, inside the panel and clear of the buttons and the list.
        const ContentUiRect box = ContentFilePanelNameBox();
        EXPECT_GE(box.x, 0);
        EXPECT_LE(box.x + box.width, layout.width);
        for (const ContentUiRect& button : layout.buttons) {
            const bool apart = box.x >= button.x + button.width || box.x + box.width <= button.x ||
                               box.y >= button.y + button.height || box.y + box.height <= button.y;
            EXPECT_TRUE(apart) << stem << ": the name's box runs into a button or row at " << button.x << ","
                               << button.y;
        }
        const ContentPngImage background = ContentFilePanelBackground(layout);
        const auto rgb = [&](int x, int y) {
            const uint8_t* p =
                &background.rows[(static_cast<size_t>(layout.height - 1 - y) * background.width + x) * 4];
            return std::array<int, 3>{p[0], p[1], p[2]};
        };
        EXPECT_NE(rgb(box.x, box.y + box.height / 2), rgb(box.x + box.width / 2, box.y + box.height / 2)) << stem;
        EXPECT_NE(rgb(box.x + box.width / 2, box.y + box.height / 2), rgb(box.x + box.width + 2, box.y)) << stem;
        // A row's light lies over the row's name: opaque only in the bars at its ends, see-through across.
        for (int row = 0; row < kRows; row++) {
            const ContentPngImage light = ContentFilePanelRowLight(row);
            const std::filesystem::path button =
                root / "images" / "panels" / stem /
                (std::to_string(kContentFilePanelButtons - kRows + row + 1) + "_s.png");
            const std::filesystem::path expected = root / "expected.png";
            ASSERT_TRUE(ContentWritePicture(expected.string(), light, &error)) << error;
            EXPECT_EQ(ReadFile(button), ReadFile(expected)) << stem << " row " << row << " has another light";
            int across = 0;
            for (size_t i = 0; i + 3 < light.rows.size(); i += 4) {
                const size_t x = (i / 4) % light.width;
                across += x >= 2 && x + 2 < light.width && light.rows[i + 3] > 128;
            }
            EXPECT_EQ(across, 0) << stem << " row " << row << ": its light runs across the name";
        }
    }
}

TEST(FilePanelImages, PanelListsAndMessagesExistInThreeLanguages)
{
    ContentExpectTextLists(ContentSourceText("language.xml"),
                           {{"load", kPanelTexts}, {"save", kPanelTexts}, {"InGameMessages", kMessagesUsed, false}});
}

// The save panel over the authored font, pictures and texts at 800 x 600, with three saves listed.
class FilePanelDrawn : public UiDrawTest {
protected:
    FilePanelDrawn() : UiDrawTest("content_filepanel_draw") {}
    void SetUp() override
    {
        UiDrawTest::SetUp();
        if (dir.empty())
            return;
        std::string error;
        const ContentFontSpec* spec = nullptr;
        for (const ContentFontSpec& font : ContentInterfaceFonts())
            spec = std::strcmp(font.name, "msgfont") == 0 ? &font : spec;
        ASSERT_NE(spec, nullptr);
        std::filesystem::create_directories(dir / "images" / "fonts");
        ASSERT_TRUE(ContentWriteFont(*spec, (dir / "images" / "fonts").string(), &error)) << error;
        ASSERT_TRUE(ContentWriteFilePanels(dir.string(), &error)) << error;
        std::filesystem::create_directories(dir / "maps");
        for (const char* name : {"Mallpy1", "Mallpy2", "Mallpy3"})
            std::ofstream(dir / "maps" / (std::string(name) + ".fds")) << "x";
        text = ContentSourceText("language.xml");
        ASSERT_TRUE(tree.LoadFromMemory(text.data(), text.size()));
        startText = dir.string();
        game = CGame::Instance(nullptr);
        game->SetScreenSize(kScreenW, kScreenH);
        game->m_pMouse = std::make_unique<CFerroxMouse>();
        game->m_pInterface = std::make_unique<UiTestInterface>();
        game->m_pStartDirectory = startText.c_str();
    }
    void TearDown() override
    {
        if (!working.empty())
            std::filesystem::current_path(working);
        if (game) {
            game->m_pStartDirectory = nullptr;
            CGame::DestroyInstance(nullptr);
        }
        UiDrawTest::TearDown();
    }
    // The panel built and listed in a language, drawn with the pointer away from it.
    std::vector<GxUInt32> Draw(int32_t language, CSavePanel* panel)
    {
        auto locale = std::make_unique<CLocale>();
        locale->SetLanguage(language);
        locale->LoadTextsFromTree(tree);
        game->m_pLocale = std::move(locale);
        // The panel browses from the working directory it is built in.
        if (working.empty())
            working = std::filesystem::current_path();
        std::filesystem::current_path(dir);
        panel->BuildPanel((dir / "images" / "panels" / "save" / "save.png").string().c_str(), 0.0f, 0.0f);
        panel->OpenMapsFolder();
        game->m_pMouse->GetPosition()->x = 700.0f;
        game->m_pMouse->GetPosition()->y = 100.0f;
        panel->Update();
        BeginFlatFrame();
        GxRenderStateSet(gxRENDERSTATEZWRITEENABLE, GxRenderStateValue(0));
        GxRenderStateSet(gxRENDERSTATEVERTEXALPHAENABLE, GxRenderStateValue(1));
        panel->Render();
        EXPECT_NE(GxCameraEndUpdate(camera), nullptr);
        return Frame();
    }
    // Pixels of drawn words (white, softened at their edges) in x0 <= x < x1 at bottom-up row y.
    static int Words(const std::vector<GxUInt32>& pixels, int x0, int x1, int y)
    {
        constexpr GxUInt32 kLight = 0xB0;
        int words = 0;
        for (int x = x0; x < x1; x++) {
            const GxUInt32 p = At(pixels, x, y);
            words += (p >> 16 & 0xFF) > kLight && (p >> 8 & 0xFF) > kLight && (p & 0xFF) > kLight;
        }
        return words;
    }

    std::string text;
    std::filesystem::path working;
    CFerroxTagTree tree;
    std::string startText;
    CGame* game = nullptr;
};

TEST_F(FilePanelDrawn, RowsSitInTheirStripesAndNoWordsOnTheButtons)
{
    if (dir.empty())
        GTEST_SKIP() << "no OpenGL";
    const ContentCanvasLayout layout = ContentFilePanelLayout("save");
    constexpr int kListed = 3;
    constexpr int kRowTextWidth = 400;
    for (int32_t language = 0; language < kContentLanguages; language++) {
        CSavePanel panel;
        const std::vector<GxUInt32> pixels = Draw(language, &panel);
        ASSERT_FALSE(HasFailure());
        // The words of the list lie in the stripes of the listed names, but for a tall letter's tip, which may
        // touch the next row (a row step is a pixel short of the font's capitals and descenders); each of those
        // stripes holds words.
        const ContentUiRect top = ContentFilePanelStripe(0);
        const ContentUiRect bottom = ContentFilePanelStripe(kRows - 1);
        std::vector<int> rowWords(kListed, 0);
        for (int y = bottom.y - kRowStep; y < top.y + 2 * kRowStep; y++) {
            const int words = Words(pixels, top.x, top.x + kRowTextWidth, y);
            bool placed = false;
            for (int k = 0; k < kListed; k++) {
                const ContentUiRect stripe = ContentFilePanelStripe(k);
                placed = placed || (y >= stripe.y - kTip && y < stripe.y + stripe.height + kTip);
                rowWords[static_cast<size_t>(k)] += y >= stripe.y && y < stripe.y + stripe.height ? words : 0;
            }
            EXPECT_TRUE(words == 0 || placed)
                << "language " << language << ": a name runs across the stripes at y " << y;
        }
        for (int k = 0; k < kListed; k++)
            EXPECT_GT(rowWords[static_cast<size_t>(k)], 0) << "language " << language << ": row " << k << " is empty";
        // The name field and its widest text with the caret lie inside the box painted for it.
        CFerroxTextField* field = panel.GetNameField();
        ASSERT_NE(field, nullptr);
        const ContentUiRect box = ContentFilePanelNameBox();
        const ContentUiRect cell = ContentLabelRect(
            {static_cast<int>(field->m_x), static_cast<int>(field->m_y), "Mg", CONTENT_LABEL_LEFT, 1, 0});
        EXPECT_GT(static_cast<float>(box.x), field->m_x - 8.0f);
        EXPECT_LT(static_cast<float>(box.x), field->m_x);
        EXPECT_GE(static_cast<float>(box.x + box.width),
                  field->m_x + field->GetMaxWidth() + static_cast<float>(ContentTextWidth(0, " *")));
        EXPECT_LE(box.y, cell.y);
        EXPECT_GE(box.y + box.height, cell.y + cell.height);
        // The save and close buttons carry their icons: the panel writes nothing in or round them.
        for (int button : {FILE_PANEL_ACT, FILE_PANEL_CLOSE}) {
            const ContentUiRect& r = layout.buttons[static_cast<size_t>(button - 1)];
            int inside = 0, outside = 0;
            for (int y = r.y - kRowStep; y < r.y + r.height + 2 * kRowStep; y++) {
                const bool within = y >= r.y && y < r.y + r.height;
                inside += within ? Words(pixels, r.x, r.x + r.width, y) : 0;
                outside += within ? Words(pixels, r.x - 4, r.x, y) + Words(pixels, r.x + r.width, r.x + r.width + 4, y)
                                  : Words(pixels, r.x, r.x + r.width, y);
            }
            EXPECT_EQ(inside + outside, 0) << "language " << language << ": a word on button " << button;
        }
        panel.Release();
    }
}

}  // namespace
