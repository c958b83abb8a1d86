// The play test's file-panel steps: a save named with wildcards that both panels list, a refused name, a name typed
// with shift saved as the key codes give it with a picture of the screen beside it, the load panel showing that save
// with its picture, and a folder made, saved into, loaded from and deleted with its save through the panels.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <list>
#include <string>
#include <vector>

#include "engine/world/camera.h"
#include "game/shell/game.h"
#include "gfx/core/camera.h"
#include "gfx/core/image.h"
#include "gfx/core/raster.h"
#include "playtest/playtest.h"
#include "ui/game/filecanvas.h"
#include "ui/game/ingame.h"
#include "ui/game/panels.h"
#include "ui/game/savepanel.h"

namespace {

constexpr const char* kRefusedName = "../evil";
// Typed with shift for its capital, which the key codes do not carry: the field and the save hold kSavedName.
constexpr const char* kCasedName = "monCentre";
constexpr const char* kSavedName = "moncentre";
constexpr const char* kUpperName = "MONCENTRE";
// A save whose name holds the file system's wildcards, beside one with a long name: both panels list it at once.
constexpr const char* kStarredName = "*a*a*a*a*a*a*a*a";
constexpr size_t kLongNameLength = 100;
constexpr int kTypingBudget = 200;  // frames for a name to reach the field
constexpr int kShownFrames = 4;     // frames for a press's result to be drawn
// The phase after a refused name was saved: what it left is checked, then the panel opens again.
constexpr int kRefusedShown = 4;
constexpr int kSavedFrames = 20;  // frames after a save for the panel to be gone
// The folder the folder steps make under "maps", and the save they make in it.
constexpr const char* kFolderName = "ptfolder";
constexpr const char* kFolderSave = "insub";
constexpr const char16_t* kFolderSaveWide = u"insub";
// A light pixel of drawn text.
constexpr int kLight = 200;
// The panel's and main bar's own colours, as their pictures are painted: the background, the list's stripes and
// rim, a button's face; a thumbnail that holds them shows the interface.
constexpr int kInterfaceColours[][3] = {{58, 70, 96}, {84, 98, 128},  {72, 85, 113},
                                        {30, 38, 56}, {98, 110, 136}, {70, 82, 104}};
constexpr int kColourTolerance = 6;
// Where the panel and the main bar stand in the 64 x 64 picture of a 1024 x 768 frame (top-down rows), and the
// share of their pixels at least in an interface colour when the picture shows them.
constexpr int kPanelPictureRight = 30, kPanelPictureTop = 32;
constexpr int kLeastInterfaceShare = 30;  // percent
// Thumbnails are drawn at (200, 160) of the screen (bottom-up), 64 pixels a side; a drawn pixel may differ from the
// file's by its filtering.
constexpr int kThumbnailX = 200, kThumbnailY = 160;
constexpr int kThumbnailTolerance = 24;
constexpr uint16_t kNewFolderTooltip = 3;  // hot-spot k shows text k of the panel's list
constexpr int kTooltipFrames = 20;         // a tooltip shows after the pointer rested 0.6 s
constexpr const char* kNoSaveButton = "the save panel has no save button";

CGame* FileGame() { return static_cast<CGame*>(g_pGame); }

CFerroxFileIOCanvas* Panel(bool save)
{
    CInterface* ui = InterfaceGet();
    if (!ui)
        return nullptr;
    return static_cast<CFerroxFileIOCanvas*>(save ? ui->m_pSavePanel.get() : ui->m_pLoadPanel.get());
}

bool Open(CFerroxFileIOCanvas* panel)
{
    CInterface* ui = InterfaceGet();
    return ui && panel && ui->GetStack().Holds(panel);
}

// What a name typed key by key becomes: the key codes are the table's, lower case whether shift is held or not.
std::string AsTyped(const std::string& name)
{
    std::string typed = name;
    for (char& c : typed)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return typed;
}

WORD KeyFor(char c)
{
    if (c == '.')
        return VK_OEM_PERIOD;
    if (c == '/')
        return VK_OEM_2;
    return static_cast<WORD>(std::toupper(static_cast<unsigned char>(c)));
}

bool NearColour(const GxUInt8* p, const int* rgb, int tolerance)
{
    for (int i = 0; i < 3; i++)
        if (std::abs(static_cast<int>(p[i]) - rgb[i]) > tolerance)
            return false;
    return true;
}

}  // namespace

bool CPlayTest::OpenFilePanel(int t, bool save, int first)
{
    CInterface* ui = InterfaceGet();
    float x = 0.0f, y = 0.0f;
    if (m_phase == first) {
        NextPhaseIf(
            ClickWidget(t, ui ? ui->m_pMainPanel.get() : nullptr, MAIN_OPTIONS, "the main bar has no options button"));
        return true;
    }
    if (m_phase != first + 1)
        return false;
    if (!Expect(WidgetCentre(ui->m_pOptionsPanel.get(), save ? OPTIONS_SAVE : OPTIONS_LOAD, &x, &y),
                "the options button opened no options panel") ||
        !Click(t, x, y))
        return true;
    if (!Open(Panel(save)))
        Fail(std::string("the options panel opened no ") + (save ? "save" : "load") + " panel");
    NextPhaseIf(true);
    return true;
}

bool CPlayTest::TypeName(int t, const std::string& name)
{
    // A key goes down in one frame (shift first for a capital) and up in the next.
    if (t % 2 == 1) {
        Key(m_key, false);
        if (m_shifted)
            Key(VK_SHIFT, false);
        m_shifted = false;
        return false;
    }
    const std::string typed = AsTyped(name);
    const std::string text = Panel(true)->GetNameText();
    if (text == typed)
        return true;
    if (t > kTypingBudget) {
        Fail("typing did not reach the save panel's name field (it holds \"" + text + "\")");
        return false;
    }
    const bool prefix = text.size() < typed.size() && typed.compare(0, text.size(), text) == 0;
    const unsigned char next = prefix ? static_cast<unsigned char>(name[text.size()]) : '\0';
    m_shifted = prefix && std::isupper(next);
    m_key = prefix ? KeyFor(static_cast<char>(next)) : static_cast<WORD>(VK_BACK);
    if (m_shifted)
        Key(VK_SHIFT, true);
    Key(m_key, true);
    return false;
}

bool CPlayTest::TypeAndClick(int t, const std::string& name, int index, const std::string& missing)
{
    if (OpenFilePanel(t, true))
        return true;
    switch (m_phase) {
    case 2:
        NextPhaseIf(TypeName(t, name));
        return true;
    case 3:
        NextPhaseIf(ClickWidget(t, Panel(true), index, missing));
        return true;
    default:
        return false;
    }
}

int CPlayTest::LightPixels(int left, int bottom, int right, int top)
{
    CFerroxCamera* camera = FileGame() ? FileGame()->GetCamera() : nullptr;
    GxCamera* graphics = camera ? camera->GetGraphicsCamera() : nullptr;
    GxRaster* raster = graphics ? graphics->frameBuffer : nullptr;
    GxUInt8* bits = raster ? GxRasterLock(raster, 0, gxRASTERLOCKREAD) : nullptr;
    if (!bits)
        return -1;
    int light = 0;
    for (int y = bottom; y < top; y++) {
        const int row = raster->height - 1 - y;
        if (row < 0 || row >= raster->height)
            continue;
        const auto* line = reinterpret_cast<const GxUInt32*>(bits + static_cast<size_t>(row) * raster->stride);
        for (int x = std::max(left, 0); x < std::min(right, static_cast<int>(raster->width)); x++) {
            const GxUInt32 p = line[x];
            light += ((p >> 16) & 0xFF) > kLight && ((p >> 8) & 0xFF) > kLight && (p & 0xFF) > kLight;
        }
    }
    GxRasterUnlock(raster);
    return light;
}

// "../evil" typed and saved: nothing is written, and it fails as a failed save does: the panel closes and the main
// bar tells it. The save panel is opened again for the next step. The save folder holds a save named with wildcards
// from here on.
bool CPlayTest::SaveRefused(int)
{
    const int t = m_count++;
    if (m_phase == 0 && t == 0) {
        // The file steps begin here, with no file panel open: the start folder.
        m_startFolder = std::filesystem::current_path();
        const std::string maps = (m_startFolder / kFilePanelMapsFolder).string() + "/";
        std::filesystem::create_directories(maps);
        for (const std::string& name : {std::string(kStarredName), std::string(kLongNameLength, 'a')})
            if (!std::ofstream(maps + name + ".fds").good())
                Fail("the save " + name + " was not written");
    }
    if (TypeAndClick(t, kRefusedName, FILE_PANEL_ACT, kNoSaveButton))
        return false;
    if (m_phase == kRefusedShown) {
        if (t < kShownFrames)
            return false;
        CInterface* ui = InterfaceGet();
        const std::list<int32_t>* told = ui && ui->m_pMainPanel ? &ui->m_pMainPanel->GetQueue() : nullptr;
        const std::filesystem::path maps = m_startFolder / kFilePanelMapsFolder;
        const bool saved = std::filesystem::exists(maps / "../evil.fds") || std::filesystem::exists(maps / "evil.fds");
        NextPhaseIf(Expect(!Open(Panel(true)), "the panel stayed open on a refused name") &&
                    Expect(told && std::find(told->begin(), told->end(), kSavePanelFailedMessage) != told->end(),
                           "a refused name was not told as a failed save") &&
                    Expect(!saved, "a refused name was saved"));
        return false;
    }
    return !OpenFilePanel(t, true, kRefusedShown + 1) && Open(Panel(true));
}

// "monCentre" typed with shift for its capital: shift gives no capital, so the save is written as "moncentre", and
// its picture is the screen at the moment of saving, the panel on it.
bool CPlayTest::SaveCased(int)
{
    const int t = m_count++;
    if (m_phase == 0) {
        if (!TypeName(t, kCasedName))
            return false;
        // The panel browses by the working directory.
        m_savePath = (std::filesystem::current_path() / (std::string(kSavedName) + ".fds")).string();
        std::remove(m_savePath.c_str());
        std::remove((std::filesystem::current_path() / (std::string(kSavedName) + ".bmp")).string().c_str());
        NextPhaseIf(true);
        return false;
    }
    if (!ClickSave(t, 1, "save_panel.bmp", m_savePath))
        return false;
    const std::filesystem::path folder = std::filesystem::path(m_savePath).parent_path();
    bool cased = false;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        cased = cased || entry.path().filename() == std::string(kCasedName) + ".fds";
    return Expect(!cased, "the name typed with shift kept a capital the key codes do not give") &&
           ThumbnailShowsTheScreen(folder / (std::string(kSavedName) + ".bmp"));
}

bool CPlayTest::ThumbnailShowsTheScreen(const std::filesystem::path& path)
{
    GxImage* image = GxImageReadBMP(path.string().c_str());
    if (!image || image->depth != 32 || image->width != kFilePanelThumbnailSide) {
        GxImageDestroy(image);
        Fail("the save has no 64 x 64 picture beside it");
        return false;
    }
    int interface = 0, seen = 0;
    for (int row = 0; row < image->height; row++) {
        for (int x = 0; x < image->width; x++) {
            const bool underPanel = x < kPanelPictureRight && row >= kPanelPictureTop;
            if (!underPanel)
                continue;
            const GxUInt8* p = image->pixels + row * image->stride + x * 4;
            seen++;
            for (const int* colour : kInterfaceColours) {
                if (NearColour(p, colour, kColourTolerance)) {
                    interface++;
                    break;
                }
            }
        }
    }
    GxImageDestroy(image);
    if (interface * 100 < seen * kLeastInterfaceShare) {
        Fail("the save's picture does not show the panel on the screen (" + std::to_string(interface) + " of " +
             std::to_string(seen) + " pixels in its colours)");
        return false;
    }
    return true;
}

// "MONCENTRE" typed with shift is the name of the save just written: saving under it asks first, writes nothing
// before the answer, and No keeps the save; then close.
bool CPlayTest::SaveCaseAsks(int)
{
    const int t = m_count++;
    CFerroxFileIOCanvas* panel = Panel(true);
    CInterface* ui = InterfaceGet();
    const std::string cased = (m_startFolder / kFilePanelMapsFolder / kSavedName).string() + ".fds";
    if (m_phase == 2)
        m_before = static_cast<long>(std::filesystem::file_size(cased));  // kept as the typing ends
    if (TypeAndClick(t, kUpperName, FILE_PANEL_ACT, kNoSaveButton))
        return false;
    switch (m_phase) {
    case 4:
        if (t >= kShownFrames)
            NextPhaseIf(Expect(Holds(ui->m_pConfirmPanel.get()) &&
                                   static_cast<long>(std::filesystem::file_size(cased)) == m_before,
                               "saving under the name of a save wrote without asking"));
        return false;
    case 5:
        NextPhaseIf(ClickWidget(t, ui->m_pConfirmPanel.get(), CONFIRM_NO, "the question has no No button"));
        return false;
    case 6:
        if (t >= kShownFrames)
            NextPhaseIf(Expect(!Holds(ui->m_pConfirmPanel.get()) && Open(panel) && std::filesystem::exists(cased),
                               "No did not leave the save panel open with the save kept"));
        return false;
    default:
        return CloseFilePanel(t, panel, 7, "the save panel");
    }
}

// The load panel lists the cased save; its row shows the save's picture; the new-folder button has a tooltip;
// close leaves it.
bool CPlayTest::LoadPanelShows(int)
{
    const int t = m_count++;
    CFerroxFileIOCanvas* panel = Panel(false);
    float x = 0.0f, y = 0.0f;
    if (OpenFilePanel(t, false))
        return false;
    switch (m_phase) {
    case 2:
        if (t == 0 && !Expect(RowCentre(panel, FILE_ENTRY_SAVE, u"*a*a*a*a*a*a*a*a", &x, &y),
                              "the load panel does not list the save named with wildcards"))
            return false;
        NextPhaseIf(ClickRow(t, panel, FILE_ENTRY_SAVE, u"moncentre",
                             "the load panel does not list the save typed with shift"));
        return false;
    case 3:
        if (t < kShownFrames ||
            !Expect(panel->GetThumbnail() && ThumbnailOnScreen(), "the load panel does not show the save's picture"))
            return false;
        PictureThenNextPhase("load_panel.bmp", "the load panel");
        return false;
    case 4:
        // The new-folder button's tooltip: its hot-spot is the one after the panel's three texts.
        if (!Expect(WidgetCentre(panel, FILE_PANEL_NEW_FOLDER, &x, &y), "the load panel has no new-folder button"))
            return false;
        if (t < 2)
            Move(x, y);
        if (t < kTooltipFrames ||
            !Expect(panel->GetHoveredHotSpot() == kNewFolderTooltip, "the new-folder button has no tooltip"))
            return false;
        PictureThenNextPhase("load_panel_tooltip.bmp", "the tooltip");
        return false;
    default:
        return CloseFilePanel(t, panel, 5, "the load panel");
    }
}

bool CPlayTest::CloseFilePanel(int t, CFerroxFileIOCanvas* panel, int phase, const std::string& which)
{
    if (m_phase == phase) {
        if (ClickWidget(t, panel, FILE_PANEL_CLOSE, which + " has no close button"))
            m_phase = phase + 1, m_count = 0;
        return false;
    }
    m_waiting = which + " closed";
    return !Open(panel) && t > kShownFrames;
}

bool CPlayTest::ClickSave(int t, int phase, const std::string& picture, const std::filesystem::path& saved)
{
    if (m_phase == phase) {
        if (t == 0 && !Screenshot(picture))
            Fail("the save panel's picture was not written");
        NextPhaseIf(ClickWidget(t, Panel(true), FILE_PANEL_ACT, kNoSaveButton));
        return false;
    }
    m_waiting = "the save " + saved.string() + " and the panel closed";
    return std::filesystem::exists(saved) && !Open(Panel(true)) && t >= kSavedFrames;
}

bool CPlayTest::ThumbnailOnScreen()
{
    const std::string path = std::string(kSavedName) + ".bmp";  // in the folder browsed
    GxImage* image = GxImageReadBMP(path.c_str());
    if (!image || image->depth != 32) {
        GxImageDestroy(image);
        return false;
    }
    const int middle = kFilePanelThumbnailSide / 2;
    const GxUInt8* p = image->pixels + middle * image->stride + middle * 4;
    const int file[3] = {p[0], p[1], p[2]};
    GxImageDestroy(image);
    const long shown = Pixel(kThumbnailX + middle, FileGame()->GetScreenHeight() - kThumbnailY - middle);
    const GxUInt8 rgb[3] = {static_cast<GxUInt8>(shown >> 16), static_cast<GxUInt8>(shown >> 8),
                            static_cast<GxUInt8>(shown)};
    return shown >= 0 && NearColour(rgb, file, kThumbnailTolerance);
}

bool CPlayTest::WorkingIn(const std::string& relative)
{
    std::error_code unknown;
    return std::filesystem::equivalent(std::filesystem::current_path(), m_startFolder / relative, unknown);
}

bool CPlayTest::EnterFolder(int t, CFerroxFileIOCanvas* panel, const std::string& folder, const std::string& missing)
{
    if (WorkingIn(std::string(kFilePanelMapsFolder) + "/" + folder))
        return true;
    if (ClickRow(t, panel, FILE_ENTRY_FOLDER, std::u16string(folder.begin(), folder.end()), missing))
        m_count = 0;
    return false;
}

// A folder made in the save panel is entered and becomes the working directory; a save there lands in it with the
// screen's picture, and once the panel closed the working directory is the start folder again.
bool CPlayTest::SaveInFolder(int)
{
    const int t = m_count++;
    CFerroxFileIOCanvas* panel = Panel(true);
    CInterface* ui = InterfaceGet();
    const std::string inFolder = std::string(kFilePanelMapsFolder) + "/" + kFolderName;
    if (m_phase == 0 && t == 0) {
        std::error_code ignored;
        std::filesystem::remove_all(m_startFolder / inFolder, ignored);  // an earlier run's
    }
    if (TypeAndClick(t, kFolderName, FILE_PANEL_NEW_FOLDER, "the save panel has no new-folder button"))
        return false;
    switch (m_phase) {
    case 4:
        NextPhaseIf(ClickWidget(t, ui->m_pConfirmPanel.get(), CONFIRM_YES, "the new folder asked no question"));
        return false;
    case 5:
        if (t >= kShownFrames)
            NextPhaseIf(Expect(WorkingIn(inFolder) && panel->GetFolderPath() == "./" + inFolder + "/",
                               "the new folder is not the folder browsed (" + panel->GetFolderPath() + ")"));
        return false;
    case 6:
        NextPhaseIf(TypeName(t, kFolderSave));
        return false;
    default: {
        const std::filesystem::path saved = m_startFolder / inFolder / (std::string(kFolderSave) + ".fds");
        if (!ClickSave(t, 7, "save_in_folder_panel.bmp", saved))
            return false;
        return Expect(WorkingIn(""), "the save panel closed away from the start folder") &&
               ThumbnailShowsTheScreen(saved.parent_path() / (std::string(kFolderSave) + ".bmp"));
    }
    }
}

// The load panel enters the folder by its row and loads the save there: the load reads it from the start folder,
// and the level comes back with its content read by the game's own paths; the working directory is the start
// folder again.
bool CPlayTest::LoadFromFolder(int)
{
    return LoadNamed(kFolderSaveWide, kFolderName) &&
           Expect(WorkingIn(""), "the load left the working directory away from the start folder");
}

// In the folder, the save is deleted (its picture with it), then the folder, empty now, from inside: the panel is
// back in "maps", and closed, in the start folder.
bool CPlayTest::DeleteInFolder(int)
{
    const int t = m_count++;
    CFerroxFileIOCanvas* panel = Panel(false);
    CInterface* ui = InterfaceGet();
    const std::filesystem::path folder = m_startFolder / kFilePanelMapsFolder / kFolderName;
    if (OpenFilePanel(t, false))
        return false;
    switch (m_phase) {
    case 2:
        // The folder's row makes it the working directory.
        NextPhaseIf(EnterFolder(t, panel, kFolderName, "the load panel does not list the folder made"));
        return false;
    case 3:
        NextPhaseIf(ClickRow(t, panel, FILE_ENTRY_SAVE, kFolderSaveWide,
                             "the load panel does not list the save in the folder"));
        return false;
    case 4:  // the save deleted, then (7) the folder
    case 7:
        NextPhaseIf(ClickWidget(t, panel, FILE_PANEL_DELETE, "the load panel has no delete button"));
        return false;
    case 5:
    case 8:
        NextPhaseIf(
            ClickWidget(t, ui->m_pConfirmPanel.get(), CONFIRM_YES,
                        m_phase == 5 ? "the delete asked no question" : "the empty folder's delete asked no question"));
        return false;
    case 6:
        if (t >= kShownFrames)
            NextPhaseIf(Expect(!std::filesystem::exists(folder / (std::string(kFolderSave) + ".fds")) &&
                                   !std::filesystem::exists(folder / (std::string(kFolderSave) + ".bmp")) &&
                                   panel->GetEntries().empty(),
                               "the save and its picture were not deleted"));
        return false;
    case 9:
        if (t < kShownFrames || !Expect(!std::filesystem::exists(folder) && WorkingIn(kFilePanelMapsFolder) &&
                                            panel->GetFolderPath() == "./maps/",
                                        "the empty folder was not deleted from inside with the panel back in maps"))
            return false;
        PictureThenNextPhase("delete_in_folder_panel.bmp", "the load panel");
        return false;
    default:
        return CloseFilePanel(t, panel, 10, "the load panel") &&
               Expect(WorkingIn(""), "the load panel closed away from the start folder");
    }
}
