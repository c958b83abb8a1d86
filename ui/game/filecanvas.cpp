// The save-file browser: listing, selection, thumbnail, folder path and the shared folder buttons.
#include "ui/game/filecanvas.h"

#include <algorithm>
#include <utility>

#include "engine/data/locale.h"
#include "engine/data/path.h"
#include "engine/data/utf.h"
#include "engine/world/camera.h"
#include "game/shell/game.h"
#include "game/shell/savegame.h"
#include "gfx/core/filesys.h"
#include "platform/win32/windows.h"
#include "ui/toolkit/interface.h"

namespace {

constexpr FerroxColour kWhite = {255, 255, 255, 255};
constexpr FerroxColour kRed = {255, 0, 0, 255};

constexpr const char* kFontPath = "/images/fonts/msgfont";
constexpr const char* kMessageList = "InGameMessages";
constexpr const char* kRootPath = "./";

// Name field and thumbnail placement.
constexpr float kNameFieldX = 38.0f;
constexpr float kNameFieldY = 42.0f;
constexpr float kNameFieldWidth = 160.0f;
constexpr float kThumbnailX = 200.0f;
constexpr float kThumbnailY = 160.0f;
constexpr float kRowBoxWidth = 400.0f;

bool IsDotName(const std::u16string& name) { return name == u"." || name == u".."; }

std::u16string Wide(const std::string& text) { return FerroxUtf8ToUtf16(text); }

}  // namespace

CFerroxFileIOCanvas* CFerroxFileIOCanvas::s_pAsking = nullptr;

// ---- Listing ----

bool FileCanvasClassify(const char16_t* name, bool folder, FileEntry* entry)
{
    std::u16string text = name ? name : u"";
    if (folder) {
        if (text.empty() || IsDotName(text))
            return false;
        *entry = {text, FILE_ENTRY_FOLDER};
        return true;
    }
    // The suffix is ASCII: each of its characters is one code unit.
    if (text.size() < kFilePanelSaveSuffixLength ||
        !std::equal(text.end() - kFilePanelSaveSuffixLength, text.end(), kFilePanelSaveSuffix))
        return false;
    // A save named ".fds" has an empty name.
    *entry = {text.substr(0, text.size() - kFilePanelSaveSuffixLength), FILE_ENTRY_SAVE};
    return true;
}

bool FileCanvasEntryBefore(const FileEntry& a, const FileEntry& b)
{
    if (a.kind != b.kind)
        return a.kind < b.kind;
    return a.name < b.name;
}

std::vector<FileEntry> FileCanvasList()
{
    std::vector<FileEntry> entries;
    _wfinddata_t data;
    intptr_t handle = _wfindfirst(u"*.*", &data);
    if (handle == -1)
        return entries;
    do {
        FileEntry entry;
        if (FileCanvasClassify(data.name, (data.attrib & _A_SUBDIR) != 0, &entry))
            entries.push_back(entry);
    } while (entries.size() < kFileCanvasMostEntries && _wfindnext(handle, &data) == 0);
    _findclose(handle);
    std::sort(entries.begin(), entries.end(), FileCanvasEntryBefore);
    return entries;
}

bool FileCanvasSameName(const std::u16string& a, const std::u16string& b)
{
    auto fold = [](char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&fold](char16_t x, char16_t y) { return fold(x) == fold(y); });
}

// A separator would write or remove in another folder than the one shown.
bool FileCanvasNameAllowed(const std::string& name) { return name.find_first_of("/\\") == std::string::npos; }

// ---- Canvas ----

CFerroxFileIOCanvas::CFerroxFileIOCanvas() : m_folderPath(kRootPath), m_pFont(nullptr) { CFerroxFileIOCanvas::Init(); }

CFerroxFileIOCanvas::~CFerroxFileIOCanvas()
{
    CFerroxFileIOCanvas::Release();
    m_pFont.reset();
}

void CFerroxFileIOCanvas::Init()
{
    CFerroxCanvas::Init();
    m_hasSaves = 0;
    m_pThumbnail = nullptr;
    m_selected = -1;
    m_nameFieldIndex = -1;
    m_firstVisible = 0;
}

void CFerroxFileIOCanvas::Release()
{
    m_pThumbnail.reset();
    m_entries.clear();
    if (s_pAsking == this)
        s_pAsking = nullptr;
    CFerroxCanvas::Release();
    Init();
}

void CFerroxFileIOCanvas::Build(const char* path, float x, float y, int32_t scaled)
{
    CFerroxCanvas::Build(path, x, y, scaled);
    m_pFont = std::make_unique<CFerroxFont>();
    const char* start = g_pFerroxGame ? g_pFerroxGame->GetStartDirectory() : nullptr;
    m_pFont->Load((std::string(start ? start : ".") + kFontPath).c_str(), 1, 0);

    CFerroxTextField* field = new CFerroxTextField();
    FerroxWidgetRecord record = {};
    record.name = "";
    record.x = x + kNameFieldX;
    record.y = y + kNameFieldY;
    record.extent = kNameFieldWidth;
    record.object = m_pFont.get();
    field->Configure(&record);
    // Past the widget count: drawing and input reach it, the counted operations do not.
    m_nameFieldIndex = static_cast<int16_t>(m_widgetCount);
    m_widgets.emplace_back(field);
    m_startFolder = GetWorkingDirectory();
    m_folderPath = kRootPath;
}

CFerroxTextField* CFerroxFileIOCanvas::GetNameField() const
{
    return static_cast<CFerroxTextField*>(GetWidget(m_nameFieldIndex));
}

std::string CFerroxFileIOCanvas::GetNameText() const
{
    CFerroxTextField* field = GetNameField();
    return field ? field->GetText() : std::string();
}

std::u16string CFerroxFileIOCanvas::ResolveName(const std::string& name, bool* folder) const
{
    // The folder's names in sorted order: the name as written wins, else the first that differs from it only by
    // case, which is the entry every open, removal and new folder of the name reaches. The whole folder is listed
    // so that a name holding '*' or '?' is compared, never read as a pattern.
    const std::u16string leaf = Wide(name);
    _wfinddata_t data;
    intptr_t handle = _wfindfirst(u"*.*", &data);
    if (handle == -1)
        return std::u16string();
    std::u16string found;
    bool foundFolder = false;
    do {
        const std::u16string listed = data.name;
        const bool exact = listed == leaf;
        if (exact || (found.empty() && FileCanvasSameName(listed, leaf))) {
            found = listed;
            foundFolder = (data.attrib & _A_SUBDIR) != 0;
        }
        if (exact)
            break;
    } while (_wfindnext(handle, &data) == 0);
    _findclose(handle);
    if (folder)
        *folder = foundFolder;
    return found;
}

bool CFerroxFileIOCanvas::FileExists(const std::string& name) const
{
    bool folder = false;
    return !ResolveName(name, &folder).empty() && !folder;
}

bool CFerroxFileIOCanvas::FileNamed(const std::string& name) const
{
    bool folder = false;
    return ResolveName(name, &folder) == Wide(name) && !folder;
}

void CFerroxFileIOCanvas::OpenMapsFolder() { EnterFolder(kFilePanelMapsFolder); }

void CFerroxFileIOCanvas::EnterFolder(const std::string& name)
{
    const std::u16string wide = Wide(name);
    if (ChangeFolder(wide))
        FollowFolder(wide);
}

int CFerroxFileIOCanvas::ChangeFolder(const std::u16string& name)
{
    if (CFerroxTextField* field = GetNameField())
        field->SetText("");
    const int changed = _wchdir(name.c_str()) == 0 ? 1 : 0;
    ListFolder();
    return changed;
}

void CFerroxFileIOCanvas::FollowFolder(const std::u16string& name)
{
    if (name != u"..") {
        m_folderPath += FerroxUtf16ToUtf8(name) + "/";
        return;
    }
    // Up reaches the parent of the folder itself, which is not the parent the path's text names when the folder was
    // entered through a link: the path is read from the working directory, from the start folder when it lies
    // inside it, else whole.
    std::string here = GetWorkingDirectory();
    std::string start = m_startFolder;
    if (start.empty() || start.back() != '\\')
        start += '\\';
    if (here + '\\' == start)
        here.clear();
    else if (here.compare(0, start.size(), start) == 0)
        here = kRootPath + here.substr(start.size());
    std::replace(here.begin(), here.end(), '\\', '/');
    m_folderPath = here.empty() ? kRootPath : here + "/";
}

bool CFerroxFileIOCanvas::Reachable(const std::string& file) const
{
    return GetWorkingDirectory().size() + 1 + file.size() < MAX_PATH &&
           kFilePanelDriveLength + m_folderPath.size() + file.size() <= static_cast<size_t>(gxFILEMAXPATH);
}

void CFerroxFileIOCanvas::ListFolder()
{
    m_selected = -1;
    m_entries = FileCanvasList();
    m_firstVisible = 0;
    std::vector<FileEntry>::iterator save = std::find_if(
        m_entries.begin(), m_entries.end(), [](const FileEntry& entry) { return entry.kind == FILE_ENTRY_SAVE; });
    m_hasSaves = save != m_entries.end() ? 1 : 0;
    // The first save in display order is the one selected: only its thumbnail is read, so a folder of hundreds of
    // saves lists at the cost of one picture. A folder without saves leaves the thumbnail shown as it was.
    if (m_hasSaves)
        SelectEntry(static_cast<int16_t>(save - m_entries.begin()), 0);
}

void CFerroxFileIOCanvas::SelectEntry(int16_t index, int32_t browseOnly)
{
    if (m_entries.empty())
        return;
    if (index < 0 || static_cast<size_t>(index) >= m_entries.size()) {
        m_selected = -1;
        return;
    }
    const FileEntry entry = m_entries[static_cast<size_t>(index)];
    if (entry.kind == FILE_ENTRY_SAVE) {
        m_selected = index;
        const std::string name = FerroxUtf16ToUtf8(entry.name);
        if (CFerroxTextField* field = GetNameField())
            field->SetText(name.c_str());
        ShowThumbnail(name + kFilePanelThumbnailSuffix);
        return;
    }
    if (!browseOnly && ChangeFolder(entry.name))
        FollowFolder(entry.name);
    m_selected = -1;
}

void CFerroxFileIOCanvas::ShowThumbnail(const std::string& path)
{
    m_pThumbnail.reset();
    if (!FileExists(path))
        return;
    m_pThumbnail = std::make_unique<CFerroxImage>();
    FerroxWidgetRecord record = {};
    record.name = path.c_str();
    record.x = kThumbnailX;
    record.y = kThumbnailY;
    m_pThumbnail->Configure(&record);
}

void CFerroxFileIOCanvas::SaveThumbnail(const std::string& path, int32_t width, int32_t height)
{
    m_pThumbnail.reset();
    WriteThumbnail(path, width, height);
    ShowThumbnail(path);
}

int CFerroxFileIOCanvas::SaveGameFile(const std::string& path) { return g_pGame ? g_pGame->SaveGame(path.c_str()) : 0; }

int CFerroxFileIOCanvas::LoadGameFile(const std::string& path)
{
    return g_pGame ? g_pGame->LoadGame(path.c_str()) : kGameLoadRefused;
}

int CFerroxFileIOCanvas::WriteThumbnail(const std::string& path, int32_t width, int32_t height)
{
    CFerroxCamera* camera = g_pFerroxGame ? g_pFerroxGame->GetCamera() : nullptr;
    return camera && camera->SaveScreenshot(path.c_str(), width, height) == 0 ? 1 : 0;
}

void CFerroxFileIOCanvas::ReturnToStartFolder()
{
    m_folderPath = kRootPath;
    ChangeFolder(Wide(m_startFolder));
}

void CFerroxFileIOCanvas::Close()
{
    ReturnToStartFolder();
    if (CFerroxInterface* game = FerroxGetGameInterface())
        game->GetStack().RequestPop();
    if (g_pGame)
        g_pGame->Resume();
}

void CFerroxFileIOCanvas::Render()
{
    CFerroxCanvas::Render();
    if (m_pThumbnail)
        m_pThumbnail->Draw(0.0f, 0.0f);
}

void CFerroxFileIOCanvas::RenderRows()
{
    CFerroxWidget* background = GetWidget(0);
    if (!m_pFont || !background)
        return;
    for (int32_t row = 0; row < kFilePanelRows; row++) {
        size_t index = static_cast<size_t>(m_firstVisible) + static_cast<size_t>(row);
        if (index >= m_entries.size())
            break;
        const FileEntry& entry = m_entries[index];
        const float y = m_y + background->m_height - kFilePanelRowTop - kFilePanelRowStep * static_cast<float>(row);
        m_pFont->DrawWideText(entry.name.c_str(), m_x + kFilePanelRowX, static_cast<int>(y),
                              entry.kind == FILE_ENTRY_FOLDER ? 1 : 0, FERROX_ALIGN_LEFT, kRowBoxWidth, 0, nullptr);
    }
}

// ---- Buttons ----

int16_t CFerroxFileIOCanvas::MessageList()
{
    CFerroxLocale* locale = FerroxGameLocale();
    return locale ? locale->FindTextList(kMessageList) : kFerroxNoTextList;
}

void CFerroxFileIOCanvas::Ask(void (*yes)(), uint16_t text, int16_t list, int32_t closeBoth, const char* extra)
{
    CGameNotices* notices = g_pGame ? g_pGame->GetNotices() : nullptr;
    if (!notices)
        return;
    s_pAsking = this;
    notices->AskConfirmation(yes, text, list, closeBoth, extra);
}

bool CFerroxFileIOCanvas::OnFileButton(int32_t index, int32_t event)
{
    CFerroxWidget* widget = GetWidget(index);
    if (event == FERROX_WIDGET_OVER && widget)
        widget->m_visible = 1;
    if (event == FERROX_WIDGET_NOT_OVER && widget) {
        widget->SetColour(kWhite);
        widget->m_visible = 0;
    }
    if (event == FERROX_WIDGET_PRESSED) {
        FerroxReleaseButton();
        const std::string name = GetNameText();
        // Saves stay under "maps": no folder whose name holds it is left upwards or removed.
        const bool inMaps = GetWorkingDirectoryName().find(kFilePanelMapsFolder) != std::string::npos;
        // The question is modal: until it is answered the name field and the selection stay as they are.
        if (index == FILE_PANEL_NEW_FOLDER) {
            Ask(MakeFolderConfirmed, FILE_PANEL_TEXT_NEW_FOLDER, m_tooltipList, 0, name.c_str());
        } else if (index == FILE_PANEL_UP) {
            if (!inMaps && ChangeFolder(u".."))
                FollowFolder(u"..");
        } else if (index == FILE_PANEL_DELETE) {
            // The selected entry is the one deleted, the one the question names, whatever the field holds since.
            if (const FileEntry* selected = SelectedEntry()) {
                Ask(DeleteConfirmed, FILE_PANEL_TEXT_DELETE, m_tooltipList, 0,
                    FerroxUtf16ToUtf8(selected->name).c_str());
            } else if (m_entries.empty() && !inMaps) {
                Ask(DeleteConfirmed, FILE_PANEL_TEXT_DELETE, m_tooltipList, 0, nullptr);
            }
        } else if (index == FILE_PANEL_PAGE_BACK) {
            m_firstVisible = m_firstVisible > kFilePanelRows ? m_firstVisible - kFilePanelRows : 0;
            SelectEntry(static_cast<int16_t>(m_firstVisible), 1);
        } else if (index == FILE_PANEL_PAGE_ON) {
            if (static_cast<size_t>(m_firstVisible) + kFilePanelRows < m_entries.size()) {
                m_firstVisible = static_cast<uint16_t>(m_firstVisible + kFilePanelRows);
                SelectEntry(static_cast<int16_t>(m_firstVisible), 1);
            }
        } else if (index == FILE_PANEL_ACT) {
            return true;
        } else if (index == FILE_PANEL_CLOSE) {
            Close();
        } else if (index >= FILE_PANEL_FIRST_ROW && index < FILE_PANEL_FIRST_ROW + kFilePanelRows) {
            SelectEntry(static_cast<int16_t>(m_firstVisible + index - FILE_PANEL_FIRST_ROW), 0);
        }
    }
    return false;
}

const FileEntry* CFerroxFileIOCanvas::SelectedEntry() const
{
    if (m_selected < 0 || static_cast<size_t>(m_selected) >= m_entries.size())
        return nullptr;
    return &m_entries[static_cast<size_t>(m_selected)];
}

void CFerroxFileIOCanvas::ShowSelectedRow()
{
    if (m_selected >= 0) {
        CFerroxWidget* row = GetWidget(FILE_PANEL_FIRST_ROW + m_selected - m_firstVisible);
        if (row && m_selected >= m_firstVisible && m_selected - m_firstVisible < kFilePanelRows) {
            row->SetColour(kRed);
            row->m_visible = 1;
        }
    }
}

void CFerroxFileIOCanvas::MakeFolderConfirmed()
{
    CFerroxFileIOCanvas* panel = s_pAsking;
    if (!panel)
        return;
    // A name the folder already holds, in any case, is not made, nor one reaching another folder: nothing happens.
    const std::string name = panel->GetNameText();
    if (FileCanvasNameAllowed(name) && _wmkdir(Wide(name).c_str()) == 0)
        panel->EnterFolder(name);
}

void CFerroxFileIOCanvas::DeleteConfirmed()
{
    CFerroxFileIOCanvas* panel = s_pAsking;
    if (!panel)
        return;
    if (const FileEntry* selected = panel->SelectedEntry()) {
        // Only the files of this very name go: a picture of another save, named but for case, stays.
        const std::string stem = FerroxUtf16ToUtf8(selected->name);
        for (const char* suffix : {kFilePanelSaveSuffix, kFilePanelThumbnailSuffix}) {
            const std::string name = stem + suffix;
            if (FileCanvasNameAllowed(name) && panel->FileNamed(name))
                _wremove(Wide(name).c_str());
        }
        panel->ListFolder();
        return;
    }
    const std::string folder = GetWorkingDirectoryName();
    // Only from the folder above is the name the one just left.
    if (!panel->ChangeFolder(u".."))
        return;
    panel->FollowFolder(u"..");
    _wrmdir(Wide(folder).c_str());
    panel->ListFolder();
}
