// The save-file browser the load and save panels share: a listing of the saves (".fds") and sub-folders of a
// folder under the start folder's "maps", the selected save's 64 x 64 thumbnail, a one-line name field and the
// folder buttons (new folder, up, delete, paging, close).
//
// Browsing never changes the process's working directory: the canvas keeps the folder it shows as a path
// relative to its start folder, and every listing, thumbnail, save, load and delete is made under it. File calls
// go through the platform's wide (UTF-16) stand-ins; the name field holds UTF-8. The panels call the game's
// operations (g_pGame: save, load, resume) and ask and tell through its notice seam (questions and messages).
// Single-threaded; a panel owns its font, thumbnail and entries.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ui/toolkit/canvas.h"
#include "ui/toolkit/font.h"

enum FileEntryKind : int32_t {
    FILE_ENTRY_SAVE = 1,
    FILE_ENTRY_FOLDER = 2,
};

struct FileEntry {
    std::u16string name;  // file stem or full folder name
    int32_t kind;
};

// The listing entry a found name makes, false when it is not listed: folders by their full name except "."
// and ".."; files whose name ends in exactly ".fds", by their stem.
bool FileCanvasClassify(const char16_t* name, bool folder, FileEntry* entry);
// Saves before folders, each by plain UTF-16 code-unit order.
bool FileCanvasEntryBefore(const FileEntry& a, const FileEntry& b);
// Most entries a listing holds: every row stays selectable through the panel's 16-bit indices, and a folder of
// millions of names takes no more memory or time than this many. The first found, in name order, are kept.
constexpr size_t kFileCanvasMostEntries = 10000;
// The sorted entries of folder (a path ending in "/"), at most kFileCanvasMostEntries; empty when it cannot be read.
std::vector<FileEntry> FileCanvasList(const std::string& folder);
// Removes the temporaries that saves and thumbnails of folder (a path ending in "/") are written to before they
// replace their files (FerroxRemoveStaleTemporaries) and that were last written before `before`, in the
// listing's seconds: what a run cut off while saving left. Returns how many went.
int FileCanvasClearTemporaries(const std::string& folder, long long before);
// When the running program started, in the listing's seconds.
long long FileCanvasProgramStart();
// A name the panels may hand to the file system: no separator, not "." or ".."; an empty one names ".fds".
bool FileCanvasNameAllowed(const std::string& name);
// Whether two names are one to the file system: equal but for the case of the letters A to Z.
bool FileCanvasSameName(const std::u16string& a, const std::u16string& b);

// Button layout of both panels.
enum FilePanelWidget : int32_t {
    FILE_PANEL_NEW_FOLDER = 1,
    FILE_PANEL_UP = 2,
    FILE_PANEL_DELETE = 3,
    FILE_PANEL_PAGE_BACK = 4,
    FILE_PANEL_PAGE_ON = 5,
    FILE_PANEL_ACT = 6,
    FILE_PANEL_CLOSE = 7,
    FILE_PANEL_FIRST_ROW = 8,
};
constexpr int32_t kFilePanelRows = 8;
constexpr int32_t kFilePanelThumbnailSide = 64;
constexpr const char* kFilePanelMapsFolder = "maps";
// A save's file name ends in this (a listing shows the save by the rest), its thumbnail's in the other.
constexpr const char* kFilePanelSaveSuffix = ".fds";
constexpr size_t kFilePanelSaveSuffixLength = 4;
constexpr const char* kFilePanelThumbnailSuffix = ".bmp";
// Where the list draws its rows: row i's name flows from x into a box one step high whose bottom lies
// top + step x i below the panel's top edge.
constexpr float kFilePanelRowX = 30.0f;
constexpr float kFilePanelRowTop = 48.0f;
constexpr float kFilePanelRowStep = 12.0f;

// Texts of a panel's own list (named after its picture, "load" or "save"). Texts 3 to 7 are the tooltips of
// buttons 1 to 5, shown through the picture's hot-spots.
enum FilePanelText : uint16_t {
    FILE_PANEL_TEXT_NEW_FOLDER = 0,  // the new-folder question
    FILE_PANEL_TEXT_DELETE = 2,      // the delete question
};

class CFerroxFileIOCanvas : public CFerroxCanvas {
public:
    CFerroxFileIOCanvas();
    ~CFerroxFileIOCanvas() override;
    void Init() override;
    void Release() override;
    void Render() override;
    void Build(const char* path, float x, float y, int32_t scaled) override;
    void OnWidgetEvent(int32_t index, int32_t event) override;
    // Button 6: load or save.
    virtual void OnAct() = 0;

    // Starts browsing in "maps", making it when missing; when it cannot be made the panel takes itself off the
    // canvas stack, the game resumes and 0 is returned.
    int OpenMapsFolder();
    // Enters a sub-folder of the one shown (UTF-8 or UTF-16 name); ".." goes up. A folder that does not exist
    // leaves the path as it was. Either way the name field is emptied and the folder listed again.
    void EnterFolder(const std::string& name);
    void ChangeFolder(const std::u16string& name);
    void ListFolder();
    void SelectEntry(int16_t index, int32_t browseOnly);
    void ShowThumbnail(const std::string& path);
    void ReturnToStartFolder();
    // Leaves the panel: start folder, off the stack, the game resumes.
    void Close();
    // Writes the thumbnail of a save just written and shows it; when it cannot be written, none is shown.
    void SaveThumbnail(const std::string& path, int32_t width, int32_t height);

    // The folder the relative paths start from; "." (the working directory) unless set.
    void SetStartFolder(const std::string& folder) { m_startFolder = folder; }
    const std::string& GetStartFolder() const { return m_startFolder; }
    // "./", then each folder entered and "/".
    const std::string& GetFolderPath() const { return m_folderPath; }
    // start folder + folder path + name.
    std::string FullPath(const std::string& name) const;
    const std::vector<FileEntry>& GetEntries() const { return m_entries; }
    int16_t GetSelected() const { return m_selected; }
    uint16_t GetFirstVisible() const { return m_firstVisible; }
    int32_t HasSaves() const { return m_hasSaves; }
    CFerroxImage* GetThumbnail() const { return m_pThumbnail.get(); }
    CFerroxTextField* GetNameField() const;
    std::string GetNameText() const;

protected:
    // The game's save and load (a GameLoadResult), and the picture written beside a save, 1 when written: by
    // default the game's operations, and no picture. The save panel writes the mall's picture; the file panels'
    // tests (filepanel_testing.h) write and read files of their own, and fail on request, without a level.
    virtual int SaveGameFile(const std::string& path);
    virtual int LoadGameFile(const std::string& path);
    virtual int WriteThumbnail(const std::string& path, int32_t width, int32_t height);

    // The last component of the folder path.
    std::string CurrentFolderName() const;
    // The entry of the folder that path's last component names, as the file system resolves it for every call
    // (the name as written, else one that differs only by case); empty when there is none. *folder tells its kind.
    std::u16string ResolveName(const std::string& path, bool* folder) const;
    // Whether a save or picture written at path would replace a file.
    bool FileExists(const std::string& path) const;
    // Asks through the game's notices with this panel as the one the answer acts on.
    void Ask(void (*yes)(), uint16_t text, int16_t list, int32_t closeBoth, const char* extra);
    static int16_t MessageList();

    static void MakeFolderConfirmed();
    static void DeleteConfirmed();

    int32_t m_hasSaves;
    std::string m_startFolder;
    std::string m_folderPath;
    int16_t m_nameFieldIndex;
    std::unique_ptr<CFerroxFont> m_pFont;
    uint16_t m_firstVisible;
    int16_t m_selected;
    std::unique_ptr<CFerroxImage> m_pThumbnail;
    std::vector<FileEntry> m_entries;

    // What a question in flight will act on, fixed when it was asked.
    std::u16string m_pendingName;
    int32_t m_pendingKind;
    std::string m_pendingPath;
    std::string m_question;
    // Each listing first clears the temporaries earlier runs left (the save panel).
    int32_t m_clearsTemporaries;

    // The panel whose question is open.
    static CFerroxFileIOCanvas* s_pAsking;
};
