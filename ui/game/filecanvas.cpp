// The save-file browser: listing, selection, thumbnail, folder path and the shared folder buttons.
#include "ui/game/filecanvas.h"

#include <algorithm>
#include <ctime>
#include <utility>

#include "engine/data/file.h"
#include "engine/data/locale.h"
#include "engine/data/utf.h"
#include "game/shell/game.h"
#include "game/shell/savegame.h"
#include "gfx/core/image.h"
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
// The game writes 64 x 64 thumbnails: a picture much larger is none of its own and is not read.
constexpr int32_t kThumbnailMostSide = 4 * kFilePanelThumbnailSide;
constexpr float kThumbnailX = 200.0f;
constexpr float kThumbnailY = 160.0f;
constexpr float kRowBoxWidth = 400.0f;

// Set as the program starts: a temporary written before it was left by an earlier run.
const long long g_programStart = static_cast<long long>(std::time(nullptr));

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

std::vector<FileEntry> FileCanvasList(const std::string& folder)
{
    std::vector<FileEntry> entries;
    const std::u16string pattern = Wide(folder + "*.*");
    _wfinddata_t data;
    intptr_t handle = _wfindfirst(pattern.c_str(), &data);
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

long long FileCanvasProgramStart() { return g_programStart; }

int FileCanvasClearTemporaries(const std::string& folder, long long before)
{
    return FerroxRemoveStaleTemporaries(folder, {kFilePanelSaveSuffix, kFilePanelThumbnailSuffix}, before);
}

bool FileCanvasSameName(const std::u16string& a, const std::u16string& b)
{
    auto fold = [](char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&fold](char16_t x, char16_t y) { return fold(x) == fold(y); });
}

// Separators would reach another folder; the file system takes '*' and '?' as wildcards and refuses them in a name.
bool FileCanvasNameAllowed(const std::string& name)
{
    return name.find_first_of("/\\*?") == std::string::npos && name != "." && name != "..";
}

// ---- Canvas ----

CFerroxFileIOCanvas::CFerroxFileIOCanvas()
    : m_startFolder("."), m_folderPath(kRootPath), m_pFont(nullptr), m_pendingKind(0), m_clearsTemporaries(0)
{
    CFerroxFileIOCanvas::Init();
}

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

std::string CFerroxFileIOCanvas::FullPath(const std::string& name) const
{
    return m_startFolder + "/" + m_folderPath.substr(std::string(kRootPath).size()) + name;
}

std::string CFerroxFileIOCanvas::CurrentFolderName() const
{
    std::string path = m_folderPath;
    if (!path.empty() && path.back() == '/')
        path.pop_back();
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::u16string CFerroxFileIOCanvas::ResolveName(const std::string& path, bool* folder) const
{
    // The folder's names in sorted order: the name as written wins, else the first that differs from it only by
    // case, which is the entry every open, rename, removal and new folder of the path reaches. The whole folder is
    // listed so that a name holding '*' or '?' is compared, never read as a pattern.
    const std::u16string wide = Wide(path);
    const size_t slash = wide.rfind(u'/');
    const std::u16string leaf = slash == std::u16string::npos ? wide : wide.substr(slash + 1);
    const std::u16string every = (slash == std::u16string::npos ? u"" : wide.substr(0, slash + 1)) + u"*.*";
    _wfinddata_t data;
    intptr_t handle = _wfindfirst(every.c_str(), &data);
    if (handle == -1)
        return std::u16string();
    std::u16string found;
    bool foundFolder = false;
    do {
        const std::u16string name = data.name;
        const bool exact = name == leaf;
        if (exact || (found.empty() && FileCanvasSameName(name, leaf))) {
            found = name;
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

bool CFerroxFileIOCanvas::FileExists(const std::string& path) const
{
    bool folder = false;
    return !ResolveName(path, &folder).empty() && !folder;
}

int CFerroxFileIOCanvas::OpenMapsFolder()
{
    m_folderPath = kRootPath;
    std::vector<FileEntry> top = FileCanvasList(FullPath(""));
    const std::u16string maps = Wide(kFilePanelMapsFolder);
    const bool present = std::any_of(top.begin(), top.end(), [&maps](const FileEntry& entry) {
        return entry.kind == FILE_ENTRY_FOLDER && entry.name == maps;
    });
    if (!present && _wmkdir(Wide(FullPath(kFilePanelMapsFolder)).c_str()) != 0) {
        if (CFerroxInterface* game = FerroxGetGameInterface())
            game->GetStack().Remove(this);
        if (g_pGame)
            g_pGame->Resume();
        return 0;
    }
    EnterFolder(kFilePanelMapsFolder);
    return 1;
}

void CFerroxFileIOCanvas::EnterFolder(const std::string& name) { ChangeFolder(Wide(name)); }

void CFerroxFileIOCanvas::ChangeFolder(const std::u16string& name)
{
    if (CFerroxTextField* field = GetNameField())
        field->SetText("");
    if (name == u"..") {
        std::string path = m_folderPath.substr(0, m_folderPath.size() - 1);
        size_t slash = path.rfind('/');
        if (slash != std::string::npos)
            m_folderPath = path.substr(0, slash + 1);
    } else if (!name.empty() && !IsDotName(name) && name.find_first_of(u"/\\") == std::u16string::npos) {
        std::vector<FileEntry> here = FileCanvasList(FullPath(""));
        const bool present = std::any_of(here.begin(), here.end(), [&name](const FileEntry& entry) {
            return entry.kind == FILE_ENTRY_FOLDER && entry.name == name;
        });
        if (present)
            m_folderPath += FerroxUtf16ToUtf8(name) + "/";
    }
    ListFolder();
}

void CFerroxFileIOCanvas::ListFolder()
{
    m_selected = -1;
    if (m_clearsTemporaries)
        FileCanvasClearTemporaries(FullPath(""), FileCanvasProgramStart());
    m_entries = FileCanvasList(FullPath(""));
    m_firstVisible = 0;
    std::vector<FileEntry>::iterator save = std::find_if(
        m_entries.begin(), m_entries.end(), [](const FileEntry& entry) { return entry.kind == FILE_ENTRY_SAVE; });
    m_hasSaves = save != m_entries.end() ? 1 : 0;
    // Only the first save's thumbnail is read: a folder of hundreds of saves lists at the cost of one picture.
    if (m_hasSaves)
        SelectEntry(static_cast<int16_t>(save - m_entries.begin()), 0);
    else {
        m_pThumbnail.reset();
    }
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
        ShowThumbnail(FullPath(name + kFilePanelThumbnailSuffix));
        return;
    }
    if (!browseOnly)
        ChangeFolder(entry.name);
    m_selected = -1;
}

void CFerroxFileIOCanvas::ShowThumbnail(const std::string& path)
{
    m_pThumbnail.reset();
    GxInt32 width = 0, height = 0;
    if (!FileExists(path) || !GxImageReadBMPSize(path.c_str(), &width, &height) || width > kThumbnailMostSide ||
        height > kThumbnailMostSide)
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
    // A picture that could not be written leaves any older one on disk, but it is not shown as this one.
    if (WriteThumbnail(path, width, height))
        ShowThumbnail(path);
}

int CFerroxFileIOCanvas::SaveGameFile(const std::string& path) { return g_pGame ? g_pGame->SaveGame(path.c_str()) : 0; }

int CFerroxFileIOCanvas::LoadGameFile(const std::string& path)
{
    return g_pGame ? g_pGame->LoadGame(path.c_str()) : kGameLoadRefused;
}

int CFerroxFileIOCanvas::WriteThumbnail(const std::string&, int32_t, int32_t) { return 0; }

void CFerroxFileIOCanvas::ReturnToStartFolder()
{
    m_folderPath = kRootPath;
    if (CFerroxTextField* field = GetNameField())
        field->SetText("");
    // The panel is leaving: forget the listing rather than list the start folder.
    m_entries.clear();
    m_selected = -1;
    m_firstVisible = 0;
    m_hasSaves = 0;
    m_pThumbnail.reset();
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
    CFerroxWidget* background = GetWidget(0);
    if (!m_pFont || !background)
        return;
    for (int32_t row = 0; row < kFilePanelRows; row++) {
        size_t index = static_cast<size_t>(m_firstVisible) + static_cast<size_t>(row);
        if (index >= m_entries.size())
            break;
        const FileEntry& entry = m_entries[index];
        const float y = m_y + background->m_height - kFilePanelRowTop - kFilePanelRowStep * static_cast<float>(row);
        FerroxTextBox box = {m_x + kFilePanelRowX, y, kRowBoxWidth, kFilePanelRowStep};
        m_pFont->DrawWideText(entry.name.c_str(), m_x + kFilePanelRowX, static_cast<int>(y),
                              entry.kind == FILE_ENTRY_FOLDER ? 1 : 0, FERROX_ALIGN_LEFT, 0.0f, 0, &box);
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

void CFerroxFileIOCanvas::OnWidgetEvent(int32_t index, int32_t event)
{
    // The name field sits past the counted widgets and is never hidden.
    CFerroxWidget* widget = index < m_widgetCount ? GetWidget(index) : nullptr;
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
        const bool inMaps = CurrentFolderName().find(kFilePanelMapsFolder) != std::string::npos;
        if (index == FILE_PANEL_NEW_FOLDER) {
            if (FileCanvasNameAllowed(name)) {
                m_pendingName = Wide(name);
                m_question = name;
                Ask(MakeFolderConfirmed, FILE_PANEL_TEXT_NEW_FOLDER, m_tooltipList, 0, m_question.c_str());
            }
        } else if (index == FILE_PANEL_UP) {
            if (!inMaps)
                ChangeFolder(u"..");
        } else if (index == FILE_PANEL_DELETE) {
            if (m_selected >= 0 && static_cast<size_t>(m_selected) < m_entries.size()) {
                m_pendingName = m_entries[static_cast<size_t>(m_selected)].name;
                m_pendingKind = FILE_ENTRY_SAVE;
                m_question = FerroxUtf16ToUtf8(m_pendingName);
                if (FileCanvasNameAllowed(m_question))
                    Ask(DeleteConfirmed, FILE_PANEL_TEXT_DELETE, m_tooltipList, 0, m_question.c_str());
            } else if (m_entries.empty() && !inMaps) {
                m_pendingKind = FILE_ENTRY_FOLDER;
                m_pendingPath = m_folderPath;
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
            OnAct();
        } else if (index == FILE_PANEL_CLOSE) {
            Close();
        } else if (index >= FILE_PANEL_FIRST_ROW && index < FILE_PANEL_FIRST_ROW + kFilePanelRows) {
            SelectEntry(static_cast<int16_t>(m_firstVisible + index - FILE_PANEL_FIRST_ROW), 0);
        }
    }
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
    if (!panel || panel->m_pendingName.empty())
        return;
    // A name the folder already holds, in any case, is that entry: a folder is entered, a file is left alone.
    bool folder = false;
    const std::u16string held = panel->ResolveName(panel->FullPath(FerroxUtf16ToUtf8(panel->m_pendingName)), &folder);
    if (!held.empty()) {
        if (folder)
            panel->ChangeFolder(held);
        return;
    }
    if (_wmkdir(Wide(panel->FullPath(FerroxUtf16ToUtf8(panel->m_pendingName))).c_str()) == 0)
        panel->ChangeFolder(panel->m_pendingName);
}

void CFerroxFileIOCanvas::DeleteConfirmed()
{
    CFerroxFileIOCanvas* panel = s_pAsking;
    if (!panel)
        return;
    if (panel->m_pendingKind == FILE_ENTRY_SAVE) {
        const std::string stem = FerroxUtf16ToUtf8(panel->m_pendingName);
        for (const char* suffix : {kFilePanelSaveSuffix, kFilePanelThumbnailSuffix}) {
            const std::string path = panel->FullPath(stem + suffix);
            if (panel->FileExists(path))
                _wremove(Wide(path).c_str());
        }
        panel->ListFolder();
        return;
    }
    if (panel->m_pendingKind != FILE_ENTRY_FOLDER || panel->m_pendingPath != panel->m_folderPath)
        return;
    const std::string folder = panel->CurrentFolderName();
    panel->ChangeFolder(u"..");
    _wrmdir(Wide(panel->FullPath(folder)).c_str());
    panel->ListFolder();
}
