// Test support of the in-game interface: painted panel pictures, a recording locale, a sound-recording
// interface, and a fixture that runs in a scratch folder of its own with the interface on the game.
#pragma once

#include <array>
#include <cstdlib>
#include <map>

#include "engine/data/tagtree.h"
#include "engine/testsupport/files.h"
#include "game/world/objectmgr.h"
#include "game/world/statistics.h"
#include "ui/game/ingame.h"
#include "ui/game/panels.h"
#include "ui/toolkit/toolkit_testing.h"

// Every picture loaded, in order.
inline std::vector<std::string> uiLoadLog;

class CLoggingImageImpl : public CRecordingImageImpl {
public:
    void Load(const FerroxWidgetRecord* record, float* rect, const char* name) override
    {
        uiLoadLog.push_back(name ? name : "");
        CRecordingImageImpl::Load(record, rect, name);
    }
};

inline CFerroxImageImpl* UiMakeLoggingImage() { return new CLoggingImageImpl(); }

// One catalogue text drawn: the font it was given, list, index, place and box.
struct UiTextRecord {
    CFerroxWideTextFont* font;
    int16_t list;
    uint16_t index;
    float x;
    int y;
    int alignment;
    bool boxed;
    FerroxTextBox box;
};

// Draws nothing without a font, as the game's locale does; records the rest.
class UiRecordingLocale : public CFerroxLocale {
public:
    void DrawText(CFerroxWideTextFont* font, int16_t list, uint16_t index, float x, int y, int, int alignment, float,
                  int, const FerroxTextBox* box) override
    {
        if (!font)
            return;
        texts.push_back({font, list, index, x, y, alignment, box != nullptr, box ? *box : FerroxTextBox{}});
    }
    int16_t FindTextList(const char* name) override
    {
        auto it = std::find(lists.begin(), lists.end(), name);
        return it == lists.end() ? FERROX_NO_TEXT_LIST : static_cast<int16_t>(it - lists.begin());
    }
    std::vector<std::string> lists = {"general_tooltips", "InGameMessages", "base", "00_start", "messages", "confirm"};
    std::vector<UiTextRecord> texts;
};

// The interface with its sound effects recorded instead of played.
class UiRecordingInterface : public CInterface {
public:
    void PlaySample(int32_t sample, int32_t) override { samples.push_back(sample); }
    std::vector<int32_t> samples;
};

inline void UiPaintPanel(const std::string& path, int32_t width, int32_t height,
                         const std::vector<std::array<int32_t, 4>>& buttons,
                         const std::vector<std::array<int32_t, 4>>& hotSpots = {})
{
    const std::filesystem::path file(path);
    std::filesystem::create_directories(file.parent_path());
    const std::string stem = path.substr(0, path.size() - 4);
    ASSERT_TRUE(UiPicture(width, height, {60, 60, 90, 255}).Write(path));
    if (!buttons.empty()) {
        UiPicture map = UiMap(width, height, static_cast<int>(buttons.size()));
        for (size_t k = 0; k < buttons.size(); k++)
            map.At(buttons[k][0], height - 1 - buttons[k][1]) = UiPaletteColour(static_cast<int>(k));
        ASSERT_TRUE(map.Write(stem + "_p.png"));
        for (size_t k = 0; k < buttons.size(); k++) {
            const std::string name = (file.parent_path() / (std::to_string(k + 1) + "_s.png")).string();
            ASSERT_TRUE(UiPicture(buttons[k][2], buttons[k][3], {200, 200, 200, 255}).Write(name));
        }
    }
    if (!hotSpots.empty()) {
        UiPicture map = UiMap(width, height, static_cast<int>(hotSpots.size()));
        for (size_t k = 0; k < hotSpots.size(); k++)
            map.Block(hotSpots[k][0], hotSpots[k][1], hotSpots[k][2], hotSpots[k][3],
                      UiPaletteColour(static_cast<int>(k)));
        ASSERT_TRUE(map.Write(stem + "_h.png"));
    }
}

// Main bar button k (1 to 11) lies at (10 + 60 (k - 1), 10), 40 x 30; the bar is 800 x 80.
inline std::array<int32_t, 4> UiMainButton(int k) { return {10 + 60 * (k - 1), 10, 40, 30}; }
constexpr float kUiMainBarHeight = 80.0f;

class UiGameTest : public UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        if (HasFatalFailure())
            return;
        std::filesystem::remove_all(dir);
        dir = std::filesystem::temp_directory_path() / ("ferrox_uigame_" + FerroxTestRunTag());
        std::filesystem::create_directories(dir);
        start = std::filesystem::current_path().string();
        std::filesystem::current_path(dir);
        FerroxSetImageImplFactory(UiMakeLoggingImage);
        uiLoadLog.clear();
        PaintPanels();
        if (HasFatalFailure())
            return;
        game->m_pLocale = std::make_unique<UiRecordingLocale>();
        locale = static_cast<UiRecordingLocale*>(game->m_pLocale.get());
        game->SetScreenSize(800, 600);
        game->SetStartDirectory(".");
        game->m_pInterface = std::make_unique<UiRecordingInterface>();
        ui = static_cast<UiRecordingInterface*>(game->m_pInterface.get());
        PointAt(700.0f, 500.0f);
    }
    void TearDown() override
    {
        InterfaceSetSelectionClassifier(nullptr);
        InterfaceSetBuildMenuMaker(nullptr);
        CDynamicObjectManager::DestroyInstance();
        if (!start.empty()) {
            std::error_code failed;
            std::filesystem::current_path(start, failed);
            EXPECT_FALSE(failed);
        }
        UiTest::TearDown();
    }
    void PaintPanels()
    {
        std::vector<std::array<int32_t, 4>> mainButtons;
        for (int k = 1; k <= MAIN_MESSAGES; k++)
            mainButtons.push_back(UiMainButton(k));
        UiPaintPanel("images/panels/main/base/base.png", 800, 80, mainButtons, {{700, 60, 30, 15}});
        for (const char* season : {"spring", "summer", "autumn", "winter"})
            ASSERT_TRUE(
                UiPicture(64, 36, {90, 190, 80, 255}).Write(std::string("images/panels/main/base/") + season + ".png"));
        ASSERT_TRUE(UiPicture(64, 6, {255, 255, 255, 255}).Write("images/panels/main/base/bar.png"));
        UiPaintPanel("images/panels/main/options/00_start.png", 200, 160,
                     {{10, 10, 60, 20}, {10, 40, 60, 20}, {10, 70, 60, 20}, {10, 100, 60, 20}, {10, 130, 60, 20}});
        UiPaintPanel("images/panels/confirm/confirm.png", 200, 130, {{20, 10, 50, 20}, {130, 10, 50, 20}});
        UiPaintPanel("images/panels/message/messages.png", 600, 300,
                     {{560, 270, 30, 20}, {560, 150, 30, 20}, {560, 20, 30, 20}});
        for (const char* plain :
             {"images/panels/main/manage/00_start.png", "images/panels/finance/finance.png",
              "images/panels/shoppers/shoppers.png", "images/panels/staff/staff.png", "images/panels/hire/hire.png",
              "images/panels/contractors/contractors.png", "images/panels/load/load.png", "images/panels/save/save.png",
              "images/panels/shopperpopup/shopperpopup.png", "images/panels/shoppopup/shoppopup.png",
              "images/panels/staffpopup/staffpopup.png"})
            UiPaintPanel(plain, 300, 100, {});
    }
    // A data tree whose "FONTS" block names the fonts given.
    void LoadData(const std::vector<std::string>& fonts, bool withBlock = true)
    {
        std::string text = "<GAME>\n</GAME>\n";
        if (withBlock) {
            text += "<FONTS>\n";
            for (const std::string& font : fonts)
                text += font + "\n";
            text += "</FONTS>\n";
        }
        ASSERT_TRUE(data.LoadFromMemory(text.data(), text.size()));
    }
    void CreateWithFonts(int count = 4)
    {
        LoadData(std::vector<std::string>(kFontNames.begin(), kFontNames.begin() + count));
        ASSERT_EQ(ui->Create(&data), 1);
    }
    // The interface's fonts made again measuring as wide as the game's fonts draw figures.
    void MeasureLikeTheGame()
    {
        FerroxSetFontImplFactory(UiMakeMeasuredFont);
        for (size_t k = 0; k < ui->m_fonts.size() && k < kFontNames.size(); k++) {
            auto font = std::make_unique<CFerroxFont>();
            font->Load(("." + kFontNames[k]).c_str(), 0, 0);
            ui->m_fonts[k] = std::move(font);
        }
    }
    // What a panel drew besides its background picture: its figures, pictures and bars, and the room of each
    // catalogue text of `list` (shop names, job titles) drawn since the locale's texts were last cleared.
    std::vector<UiDrawRecord> DrawnOn(const std::string& background, int16_t list = -1, float room = 0.0f) const
    {
        std::vector<UiDrawRecord> drawn;
        for (const UiDrawRecord& record : uiDrawRecords)
            if (record.picture.find(background) == std::string::npos)
                drawn.push_back(record);
        for (const UiTextRecord& text : locale->texts)
            if (text.list == list)
                drawn.push_back({"text " + std::to_string(text.index),
                                 text.x,
                                 static_cast<float>(text.y),
                                 room,
                                 CRecordingFontImpl::kHeight,
                                 {},
                                 0,
                                 0,
                                 false});
        return drawn;
    }
    // Every two things drawn on one row keep at least `gap` pixels apart; each stays right of `left`.
    static void ExpectApart(const std::vector<UiDrawRecord>& drawn, float gap, float left)
    {
        for (size_t i = 0; i < drawn.size(); i++) {
            const UiDrawRecord& a = drawn[i];
            EXPECT_GE(a.x, left) << "'" << a.picture << "'";
            for (size_t j = i + 1; j < drawn.size(); j++) {
                const UiDrawRecord& b = drawn[j];
                const bool oneRow = a.y < b.y + b.height && b.y < a.y + a.height;
                const bool apart = a.x + a.width + gap <= b.x || b.x + b.width + gap <= a.x;
                EXPECT_TRUE(!oneRow || apart) << "'" << a.picture << "' at " << a.x << ", " << a.y << " and '"
                                              << b.picture << "' at " << b.x << ", " << b.y;
            }
        }
    }
    // Opens a panel as a button would, and lets one frame pass with the pointer away from every panel (a push
    // outside the stack's walk ends the next walk early).
    void Open(CFerroxCanvas* panel)
    {
        ui->OpenPanel(panel);
        PointAt(790.0f, 590.0f);
        ui->Update(0.01f);
    }
    // One frame as the game runs it.
    void Frame(float seconds)
    {
        ui->Update(seconds);
        ui->Render();
    }
    // Presses at (x, bottom-up y) for one frame, then lets go away from every panel for one frame.
    void Click(float x, float y)
    {
        PointAt(x, y);
        mouse->GetPosition()->left = FERROX_BUTTON_DOWN;
        ui->Update(0.01f);
        mouse->GetPosition()->left = FERROX_BUTTON_UP;
        PointAt(790.0f, 590.0f);
        ui->Update(0.01f);
    }
    // Texts drawn by the font, in order.
    std::vector<UiDrawRecord> TextsOf(const std::string& text) const
    {
        std::vector<UiDrawRecord> found;
        for (const UiDrawRecord& record : uiDrawRecords)
            if (record.picture == text)
                found.push_back(record);
        return found;
    }
    // Draws of pictures whose name holds the text, in order.
    static std::vector<UiDrawRecord> DrawsOf(const std::string& name)
    {
        std::vector<UiDrawRecord> found;
        for (const UiDrawRecord& record : uiDrawRecords)
            if (record.picture.find(name) != std::string::npos)
                found.push_back(record);
        return found;
    }
    bool Drew(const std::string& name) const { return !DrawsOf(name).empty(); }
    // The figures among what was drawn: every record that is no picture.
    static std::vector<UiDrawRecord> Figures(const std::vector<UiDrawRecord>& drawn)
    {
        std::vector<UiDrawRecord> kept;
        for (const UiDrawRecord& record : drawn)
            if (record.picture.find(".png") == std::string::npos)
                kept.push_back(record);
        return kept;
    }
    // Draws one panel alone.
    static void RenderOnly(CFerroxCanvas* panel)
    {
        uiDrawRecords.clear();
        panel->Render();
    }
    static void Press(CFerroxCanvas* panel, int32_t index) { panel->OnWidgetEvent(index, FERROX_WIDGET_PRESSED); }
    std::vector<UiDrawRecord> Bars() const { return DrawsOf("bar.png"); }

    const std::vector<std::string> kFontNames = {"/images/fonts/bigFont", "/images/fonts/figures",
                                                 "/images/fonts/msgfont", "/images/fonts/tooltip"};
    std::string start;
    CFerroxTagTree data;
    UiRecordingLocale* locale = nullptr;
    UiRecordingInterface* ui = nullptr;
};
