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

HINSTANCE ShellResult(intptr_t code) { return reinterpret_cast<HINSTANCE>(code); }

std::string Unquoted(const char* file)
{
    std::string text = file;
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"')
        text = text.substr(1, text.size() - 2);
    return text;
}

// The opener's full path from the folders of PATH; empty when none holds it, so that a machine without the
// desktop's opener is told at once rather than by a child that fails unseen.
std::string FindOpener()
{
    const char* path = std::getenv("PATH");
    std::string folders = path != nullptr ? path : "";
    size_t start = 0;
    while (start <= folders.size()) {
        size_t end = folders.find(':', start);
        if (end == std::string::npos)
            end = folders.size();
        const std::string folder = end > start ? folders.substr(start, end - start) : ".";
        const std::string candidate = folder + "/" + kOpener;
        if (access(candidate.c_str(), X_OK) == 0)
            return candidate;
        start = end + 1;
    }
    return std::string();
}

// Starts the opener detached: the first child forks the opener and leaves at once, so nothing waits for the
// opener and no zombie is left behind.
bool StartOpener(const std::string& opener, const std::string& file)
{
    const pid_t child = fork();
    if (child < 0)
        return false;
    if (child == 0) {
        if (fork() == 0) {
            execl(opener.c_str(), kOpener, file.c_str(), static_cast<char*>(nullptr));
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
        return ShellResult(SE_ERR_NOASSOC);
    const std::string file = Unquoted(lpFile);
    if (access(file.c_str(), R_OK) != 0)
        return ShellResult(SE_ERR_FNF);
    const std::string opener = FindOpener();
    if (opener.empty())
        return ShellResult(SE_ERR_NOASSOC);
    if (!Win32HasDisplay()) {
        std::fprintf(stderr, "win32: open %s\n", file.c_str());
        return ShellResult(kShellSuccess);
    }
    std::fflush(nullptr);
    if (!StartOpener(opener, file))
        return ShellResult(SE_ERR_NOASSOC);
    return ShellResult(kShellSuccess);
}
