// Win32-shaped kernel calls of the Linux stand-in layer: files, events, critical sections, timers, debug output.
#ifndef PLATFORM_WIN32_WINBASE_H
#define PLATFORM_WIN32_WINBASE_H

#include <cstdint>

#include "platform/win32/wintypes.h"

// Files. Paths use drive "C:" for the root of the Linux tree; '\\' and '/'
// both separate; a name not found as written is matched without case. A name names the file its UTF-16 form
// names (MultiByteToWideChar, CP_UTF8): bytes that are not UTF-8 stand for U+FFFD, as they do in the wide calls.
HANDLE WINAPI CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                          LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                          DWORD dwFlagsAndAttributes, HANDLE hTemplateFile);
BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead, LPDWORD lpNumberOfBytesRead,
                     LPOVERLAPPED lpOverlapped);
BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite, LPDWORD lpNumberOfBytesWritten,
                      LPOVERLAPPED lpOverlapped);
BOOL WINAPI GetOverlappedResult(HANDLE hFile, LPOVERLAPPED lpOverlapped, LPDWORD lpNumberOfBytesTransferred,
                                BOOL bWait);
DWORD WINAPI SetFilePointer(HANDLE hFile, LONG lDistanceToMove, PLONG lpDistanceToMoveHigh, DWORD dwMoveMethod);
DWORD WINAPI GetFileSize(HANDLE hFile, LPDWORD lpFileSizeHigh);
DWORD WINAPI GetFileAttributesA(LPCSTR lpFileName);
BOOL WINAPI DeleteFileA(LPCSTR lpFileName);
// Renames a file; with MOVEFILE_REPLACE_EXISTING an existing target is replaced in one step.
#define MOVEFILE_REPLACE_EXISTING 0x00000001
BOOL WINAPI MoveFileExA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, DWORD dwFlags);
BOOL WINAPI FlushFileBuffers(HANDLE hFile);
BOOL WINAPI CloseHandle(HANDLE hObject);

// Errors (per thread).
DWORD WINAPI GetLastError(void);
void WINAPI SetLastError(DWORD dwErrCode);

// Events.
HANDLE WINAPI CreateEventA(LPSECURITY_ATTRIBUTES lpEventAttributes, BOOL bManualReset, BOOL bInitialState,
                           LPCSTR lpName);

// Critical sections: recursive locks.
void WINAPI InitializeCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
void WINAPI EnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
void WINAPI LeaveCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
void WINAPI DeleteCriticalSection(LPCRITICAL_SECTION lpCriticalSection);

// Timers: a steady clock.
BOOL WINAPI QueryPerformanceCounter(LARGE_INTEGER* lpPerformanceCount);
BOOL WINAPI QueryPerformanceFrequency(LARGE_INTEGER* lpFrequency);
DWORD WINAPI GetTickCount(void);

// Debug output goes to standard error when MALL_DEBUG_OUTPUT is set in the environment (and not "0").
void WINAPI OutputDebugStringA(LPCSTR lpOutputString);

// Text between UTF-8 and UTF-16: CP_UTF8 is the one code page. A length of -1 takes the text up to and with its
// terminating zero, which is then converted and counted too; a length of 0 fails (ERROR_INVALID_PARAMETER). A byte
// that starts no well-formed sequence, and each longest start of one that breaks off, becomes U+FFFD, and an
// unpaired surrogate becomes U+FFFD; with MB_ERR_INVALID_CHARS or WC_ERR_INVALID_CHARS either fails instead
// (ERROR_NO_UNICODE_TRANSLATION). An output size of 0 asks for the size needed; otherwise the result is the units
// or bytes written, 0 when they do not fit (ERROR_INSUFFICIENT_BUFFER). The default-character arguments must be
// null.
#define CP_UTF8 65001
#define MB_ERR_INVALID_CHARS 0x00000008
#define WC_ERR_INVALID_CHARS 0x00000080
int WINAPI MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte,
                               char16_t* lpWideCharStr, int cchWideChar);
int WINAPI WideCharToMultiByte(UINT CodePage, DWORD dwFlags, const char16_t* lpWideCharStr, int cchWideChar,
                               LPSTR lpMultiByteStr, int cbMultiByte, LPCSTR lpDefaultChar, LPBOOL lpUsedDefaultChar);

// C runtime names the callers use.
// Current directory as "C:\\dir\\sub"; a null buffer is allocated with malloc
// (at least maxlen bytes); null with errno ERANGE when the buffer is too small.
// File search of the C runtime: matches of "*" and "?" within one folder, taken in sorted name order.
// "*.*" matches every name, with or without a dot. Returns -1 (errno ENOENT) when nothing matches. A name on disk
// that is not UTF-8 is never listed, as no name reaches it.
// attrib is _A_SUBDIR for a folder and 0 for a plain file; a link is described by itself (its own size and time)
// with FILE_ATTRIBUTE_REPARSE_POINT, plus _A_SUBDIR when it leads to a folder; anything else (a pipe, a device)
// has FILE_ATTRIBUTE_DEVICE.
struct _finddata_t {
    unsigned attrib;
    long long time_write;
    unsigned long size;
    char name[260];
};
constexpr unsigned _A_SUBDIR = 0x10;
intptr_t _findfirst(const char* pattern, struct _finddata_t* data);
int _findnext(intptr_t handle, struct _finddata_t* data);
int _findclose(intptr_t handle);
char* _getcwd(char* buffer, int maxlen);
// Wide forms: UTF-16 names over the same calls. A name that is not well-formed UTF-16 (an unpaired surrogate)
// fails with EINVAL.
// _findclose ends a wide search too.
struct _wfinddata_t {
    unsigned attrib;
    long long time_write;
    unsigned long size;
    char16_t name[260];
};
intptr_t _wfindfirst(const char16_t* pattern, struct _wfinddata_t* data);
int _wfindnext(intptr_t handle, struct _wfinddata_t* data);
// 0 on success, -1 with errno set (EEXIST, ENOENT, ENOTEMPTY, EACCES...). _wremove removes files only; _wchdir
// makes the folder the process's working directory, which every relative path is then taken from.
int _wchdir(const char16_t* path);
int _wmkdir(const char16_t* path);
int _wrmdir(const char16_t* path);
int _wremove(const char16_t* path);
int _stricmp(const char* a, const char* b);
int _strnicmp(const char* a, const char* b, size_t n);
char* _strupr(char* s);
char* _strlwr(char* s);

// Seams of the stand-in itself: none is set in the game; tests set theirs through their support
// (platform/testsupport).
// A tap sees every debug string first and answers 1 to print it to standard error, 0 to keep it quiet, or
// kDebugTapDefault to leave that to the environment (null: no tap).
constexpr int kDebugTapDefault = -1;
typedef int (*StandInDebugTap)(const char* text);
void StandInSetDebugTap(StandInDebugTap tap);
// When a gate is set, each overlapped read and write asks it first; one it holds back stays pending (FALSE,
// ERROR_IO_PENDING) until a waiting GetOverlappedResult or CancelIo ends it, or the completer the call returns
// runs every transfer still pending (and returns how many it ran).
typedef bool (*StandInIoGate)(void);
typedef int (*StandInIoCompleter)(void);
StandInIoCompleter StandInSetIoGate(StandInIoGate gate);
// When a gate is set, WriteFile asks it before each write and fails with ERROR_DISK_FULL when it answers false.
typedef bool (*StandInWriteGate)(void);
void StandInSetWriteGate(StandInWriteGate gate);
// Maps a Win32-style path to the Linux path it names (drive, separators, case).
// Returns FALSE with the last error set when it cannot be mapped or does not fit.
BOOL StandInMapPath(LPCSTR path, char* out, size_t outSize);

#endif
