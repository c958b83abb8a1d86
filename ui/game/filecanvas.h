// The save-file browser the load and save panels share: a listing of the saves (".fds") and sub-folders of a
// folder under the start folder's "maps", the selected save's 64 x 64 thumbnail, a one-line name field and the
// folder buttons (new folder, up, delete, paging, close).
//
// Browsing changes the process's working directory: opening enters "maps", and every way of leaving returns to the
// start folder taken when the canvas was built, so the game's relative paths meet another folder only while a file
// panel is open (the game is paused then; its sounds and fonts are read by the start folder's absolute path). The
// folder path follows the working directory from the start folder, for the load. File calls go through the
// platform's wide (UTF-16) stand-ins; the name field holds UTF-8. The panels call the game's operations (g_pGame:
// save, load, resume) and ask and tell through its notice seam (questions and messages). Single-threaded; a panel
// owns its font, thumbnail and entries.
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
// Most entries a listing holds: as many as the panel's signed 16-bit entry index reaches, so every row listed stays
// selectable. The first found, in the order the file system gives them, are kept; they are sorted after.
constexpr size_t kFileCanvasMostEntries = static_cast<size_t>(INT16_MAX) + 1;
// The sorted entries of the working directory, at most kFileCanvasMostEntries; empty when it cannot be read.
std::vector<FileEntry> FileCanvasList();
// A name the panels may write or remove by: no separator, which would reach another folder.
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
// The file layer names its drive ("C:") before every path it opens.
constexpr size_t kFilePanelDriveLength = 2;
// Where the list draws its rows: row i's name starts at (x, panel height - top - step x i), on one line.
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
    // The canvas, then the selected save's thumbnail.
    void Render() override;
    void Build(const char* path, float x, float y, int32_t scaled) override;
    // Every panel gives it an empty body; nothing calls it.
    virtual void Reserved() = 0;
    // Starts browsing in "maps" of the start folder.
    virtual void OpenMapsFolder();
    // Enters a folder of the one shown (UTF-8 name) and adds it to the folder path.
    void EnterFolder(const std::string& name);
    // Makes the named folder (relative or absolute; ".." goes up) the working directory, emptying the name field,
    // and lists the working directory; 1 when the directory changed.
    int ChangeFolder(const std::u16string& name);
    void ListFolder();
    void SelectEntry(int16_t index, int32_t browseOnly);
    void ShowThumbnail(const std::string& path);
    // Back to the start folder, listed, with the folder path "./".
    void ReturnToStartFolder();
    // Leaves the panel: start folder, off the stack, the game resumes.
    void Close();
    // Has the game camera write its current frame at width x height to path and shows it.
    void SaveThumbnail(const std::string& path, int32_t width, int32_t height);

    // The working directory when the canvas was built.
    const std::string& GetStartFolder() const { return m_startFolder; }
    // "./", then each folder entered and "/": the browsed folder from the start folder.
    const std::string& GetFolderPath() const { return m_folderPath; }
    const std::vector<FileEntry>& GetEntries() const { return m_entries; }
    int16_t GetSelected() const { return m_selected; }
    uint16_t GetFirstVisible() const { return m_firstVisible; }
    int32_t HasSaves() const { return m_hasSaves; }
    CFerroxImage* GetThumbnail() const { return m_pThumbnail.get(); }
    CFerroxTextField* GetNameField() const;
    std::string GetNameText() const;

protected:
    // The buttons both panels share, as a panel's OnWidgetEvent begins: true when button 6 (load or save) was
    // pressed, which the panel then acts on before ShowSelectedRow.
    bool OnFileButton(int32_t index, int32_t event);
    // The selected save entry, null when none is selected.
    const FileEntry* SelectedEntry() const;
    // After every event: the selected entry's row button shows, red.
    void ShowSelectedRow();
    // The list rows both panels draw after the file canvas.
    void RenderRows();

    // The game's save and load (a GameLoadResult), and the camera's picture written beside a save, 1 when written:
    // by default the game's operations. The file panels' tests (filepanel_testing.h) write and read files of their
    // own, and fail on request, without a level.
    virtual int SaveGameFile(const std::string& path);
    virtual int LoadGameFile(const std::string& path);
    virtual int WriteThumbnail(const std::string& path, int32_t width, int32_t height);

    // The folder path follows a change of the working directory made by a row or a button: a folder entered adds its
    // name, ".." reads the path from the working directory.
    void FollowFolder(const std::u16string& name);
    // The entry of the working directory that name names, as the file system resolves it for every call (the name
    // as written, else one that differs only by case); empty when there is none. *folder tells its kind.
    std::u16string ResolveName(const std::string& name, bool* folder) const;
    // Whether a file of the working directory has that name.
    bool FileExists(const std::string& name) const;
    // Whether a file of the working directory has exactly that name.
    bool FileNamed(const std::string& name) const;
    // Whether a file of that name written in the working directory is found again: listed through its full path,
    // which the file search holds under MAX_PATH, and loaded through the folder path, which the file layer holds to
    // gxFILEMAXPATH behind its drive.
    bool Reachable(const std::string& file) const;
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

    // The panel whose question is open.
    static CFerroxFileIOCanvas* s_pAsking;
};
