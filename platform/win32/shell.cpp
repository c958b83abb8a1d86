// Shell calls: no system folder, and documents opened with the desktop's opener (or reported without a display).
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/win32/shellapi.h"

namespace {

constexpr intptr_t kShellSuccess = 42;  // any value above 32 means success
const char kOpener[] = "xdg-open";

std::string Unquoted(const char* file)
{
    std::string text = file;
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"')
        text = text.substr(1, text.size() - 2);
    return text;
}

// Starts the opener detached: the first child forks the opener and leaves at once, so nothing waits for the
// opener and no zombie is left behind.
bool StartOpener(const std::string& file)
{
    const pid_t child = fork();
    if (child < 0)
        return false;
    if (child == 0) {
        if (fork() == 0) {
            execlp(kOpener, kOpener, file.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        _exit(0);
    }
    int status = 0;
    return waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

BOOL WINAPI SHGetSpecialFolderPathA(HWND, LPSTR pszPath, int, BOOL)
{
    if (pszPath != nullptr)
        pszPath[0] = '\0';
    return FALSE;
}

HINSTANCE WINAPI ShellExecuteA(HWND, LPCSTR lpOperation, LPCSTR lpFile, LPCSTR, LPCSTR, INT)
{
    if (lpFile == nullptr || (lpOperation != nullptr && std::strcmp(lpOperation, "open") != 0))
        return reinterpret_cast<HINSTANCE>(static_cast<intptr_t>(SE_ERR_NOASSOC));
    const std::string file = Unquoted(lpFile);
    if (!Win32HasDisplay()) {
        std::fprintf(stderr, "win32: open %s\n", file.c_str());
        return reinterpret_cast<HINSTANCE>(kShellSuccess);
    }
    std::fflush(nullptr);
    if (!StartOpener(file))
        return reinterpret_cast<HINSTANCE>(static_cast<intptr_t>(SE_ERR_NOASSOC));
    return reinterpret_cast<HINSTANCE>(kShellSuccess);
}
