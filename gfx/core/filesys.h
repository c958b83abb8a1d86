// File-system manager, file-system and file-slot records, and the stdio-like file functions over them.
#pragma once

#include "gfx/core/gx.h"
#include "platform/win32/wintypes.h"

struct GxFile;
struct GxFileSystem;

// Mode flags handed to a file system's open.
enum GxFileModeFlag {
    gxFILEMODEREAD = 0x01,
    gxFILEMODEWRITE = 0x02,
    gxFILEMODECREATE = 0x04,  // create or truncate
    gxFILEMODEKEEP = 0x08,    // keep existing contents
    gxFILEMODEASYNC = 0x10,
    gxFILEMODEAPPEND = 0x20,     // every write goes to the end ("a")
    gxFILEMODEEXCLUSIVE = 0x40,  // creates a new file: never opens an existing name, nor a link ("wx")
};

// Slot status.
enum GxFileStatus {
    gxFILESTATUSFREE = 1,
    gxFILESTATUSREADY = 2,
    gxFILESTATUSBUSY = 3,  // an operation is in progress
    gxFILESTATUSFAILED = 4,
    gxFILESTATUSOPENING = 5,
};

// Pending operation of a slot.
enum GxFileOperation {
    gxFILEOPNONE = 1,
    gxFILEOPOPEN = 2,
    gxFILEOPSEEK = 4,
    gxFILEOPREAD = 5,
};

// Origins of a file system's seek operation (GxFileSeek takes 0, 1, 2 as stdio does).
enum GxFileSystemSeek {
    gxFSSEEKBEGIN = 1,
    gxFSSEEKCURRENT = 2,
    gxFSSEEKEND = 3,
};

// Manager error-callback codes.
enum GxFileSystemError {
    gxFSERRNOFILESYSTEM = 4,  // no file system given
    gxFSERRTOOMANY = 5,       // too many file systems
    gxFSERRNOTFOUND = 6,      // file system or device not found
    gxFSERRNAMEUSED = 7,      // file-system name already registered
    gxFSERRNOSLOT = 8,        // no free file slot
};

// Results of a file system's open operation.
enum GxFileOpenResult {
    gxFILEOPENOK = 1,
    gxFILEOPENOSREFUSED = 3,
    gxFILEOPENPATHTOOLONG = 5,
};

// Longest full path a file system builds, not counting the NUL.
constexpr GxInt32 gxFILEMAXPATH = 255;
// Longest file-system name, not counting the NUL.
constexpr GxInt32 gxFILESYSTEMMAXNAME = 7;

typedef void (*GxFileCallBack)(GxFile* file, GxUInt32 value, GxInt32 status, GxInt32 operation, void* data);
typedef void (*GxFileSystemErrorCallBack)(GxInt32 code);

// Operations a file system installs.
struct GxFileSystemOps {
    GxInt32 (*open)(GxFileSystem* fs, GxFile* file, const char* path, GxUInt32 mode);  // 1 on success
    void (*close)(GxFile* file);
    GxUInt32 (*read)(GxFile* file, void* buffer, GxUInt32 n);         // bytes read
    GxUInt32 (*write)(GxFile* file, const void* buffer, GxUInt32 n);  // bytes written
    GxBool (*seek)(GxFile* file, GxInt32 offset, GxInt32 origin);     // origin: GxFileSystemSeek
    GxInt32 (*sync)(GxFile* file, GxBool wait);                       // the slot status
    void (*release)(GxFile* file);
    GxBool (*eof)(GxFile* file);
    GxInt32 (*wait)(GxFile* file);
    GxBool (*exists)(GxFileSystem* fs, const char* path);
    GxBool (*rename)(GxFileSystem* fs, const char* from, const char* to);  // replaces `to`; may be null
    GxBool (*remove)(GxFileSystem* fs, const char* path);                  // may be null
};

// A registered file system serving one device prefix, with its own file slots.
struct GxFileSystem {
    GxFileSystem* next;
    GxInt32 numFiles;
    GxInt32 state;                                        // 2 once set up
    char* deviceName;                                     // heap copy, e.g. "C:"
    GxBool async;                                         // open every file asynchronously
    GxFile* (*getFile)(GxFileSystem* fs, GxInt32 index);  // null when index is out of range
    void (*fsClose)(GxFileSystem* fs);                    // releases the slots
    void (*init)(const char* name);
    void (*deinit)(const char* name);
    GxFileSystemOps ops;
    char name[gxFILESYSTEMMAXNAME + 1];
    GxUInt32 reserved;
    GxFile* files;
};

// An open-file slot owned by its file system.
struct GxFile {
    GxUInt32 sizeLow;
    GxUInt32 sizeHigh;
    GxUInt32 posLow;
    GxUInt32 posHigh;
    GxBool async;
    GxInt32 openState;  // 2 once open
    GxInt32 status;     // GxFileStatus
    GxInt32 opened;     // 1 once open
    GxInt32 operation;  // GxFileOperation pending
    GxUInt32 bytes;     // transferred by the last completed operation
    GxFileCallBack callback;
    void* callbackData;
    GxFileSystem* fileSystem;
    HANDLE handle;
    OVERLAPPED overlapped;
    HANDLE event;
    GxUInt32 mode;  // GxFileModeFlag given at open
};

// The manager's one record.
struct GxFileSystemManager {
    GxFileSystem* first;
    GxInt32 maxFileSystems;  // 0: no limit
    GxInt32 numFileSystems;
    GxBool isOpen;
    GxUInt32 lastError;  // OS error code of the last file operation
    GxFileSystemErrorCallBack errorCallback;
    GxFileSystem* defaultFileSystem;
};

GxBool GxFileSystemManagerOpen(GxInt32 maxFileSystems);
void GxFileSystemManagerClose(void);
GxFileSystem* GxFileSystemManagerGetDefault(void);
GxBool GxFileSystemManagerSetDefault(GxFileSystem* fs);
GxFileSystemManager* GxFileSystemManagerGet(void);

GxBool GxFileSystemRegister(GxFileSystem* fs);
void GxFileSystemUnregister(GxFileSystem* fs);
GxFileSystem* GxFileSystemFind(const char* name);
GxFileSystem* GxFileSystemFindByDevice(const char* device);

// stdio-like file functions. Mode letters: r, w, a, + and b, and x with w: only a new file is created.
GxFile* GxFileOpen(const char* path, const char* mode);
// 0, or -1 when a write to the file failed or its data could not be flushed and closed.
GxInt32 GxFileClose(GxFile* file);
size_t GxFileRead(void* buffer, size_t size, size_t count, GxFile* file);
size_t GxFileWrite(const void* buffer, size_t size, size_t count, GxFile* file);
GxInt32 GxFileSeek(GxFile* file, GxInt32 offset, GxInt32 origin);  // 0 set, 1 current, 2 end; 0 or -1
GxInt32 GxFileTell(GxFile* file);                                  // low word of the position, -1 when unknown
char* GxFileGets(char* buffer, GxInt32 n, GxFile* file);
GxInt32 GxFilePuts(const char* string, GxFile* file);
GxBool GxFileEof(GxFile* file);
GxBool GxFileExists(const char* path);
// Renames `from` over `to` (both on one file system), replacing `to` in one step.
GxBool GxFileRename(const char* from, const char* to);
GxBool GxFileRemove(const char* path);
// Opens a new file for writing beside `path`, to replace it once written: "<path>.<16 hex digits>.tmp", a name
// no other file has, created exclusively, so that no other writer (another game saving the same name) shares it
// and no link planted under a name leads the bytes elsewhere. Its name goes to `out`. Null when no such file
// could be made or the name does not fit.
GxFile* GxFileOpenTemporary(const char* path, char* out, size_t outSize);
// For a file name GxFileOpenTemporary gives, the length of the name it replaces (its start); 0 for any other name
// (filesys_builder.cpp; the program does not link it).
size_t GxFileTemporaryTargetLength(const char* name);
// The one way a file written beside its target replaces it. GxFileCommitTemporary closes `file`, the temporary
// named `temporary` from GxFileOpenTemporary (the close flushes it), and, when `written` is set and the close
// succeeded, renames it over `path`; otherwise, or when the rename fails, it removes the temporary. True when `path`
// now holds the new bytes; else `path` is as it was. Files replaced together take the two halves:
// GxFileCloseTemporary closes and keeps the temporary only when `written` and the close succeeded (true), and
// GxFileRenameTemporary renames it over `path` and removes it when that fails.
GxBool GxFileCommitTemporary(GxFile* file, const char* temporary, const char* path, GxBool written);
GxBool GxFileCloseTemporary(GxFile* file, const char* temporary, GxBool written);
GxBool GxFileRenameTemporary(const char* temporary, const char* path);
