// The player's saves set aside while a harness run saves under the same names; see playtest/keptsaves.h.
#include "playtest/keptsaves.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "platform/win32/windows.h"
#include "ui/game/filecanvas.h"

namespace {

const char* const kExtensions[] = {".fds", ".bmp"};
const char* const kKeptFolder = "kept";

// Moves a file, replacing what the target held; false when it did not move.
bool Move(const std::filesystem::path& from, const std::filesystem::path& to)
{
    if (MoveFileExA(from.string().c_str(), to.string().c_str(), MOVEFILE_REPLACE_EXISTING))
        return true;
    // Another file system: copied, then removed once the copy stands.
    std::error_code failure;
    std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing, failure);
    return !failure && std::filesystem::remove(from, failure) && !failure;
}

// The path from the working folder as it is now; empty (no run) stays empty.
std::string Whole(const std::string& path)
{
    std::error_code failure;
    return path.empty() ? path : std::filesystem::absolute(path, failure).string();
}

}  // namespace

CKeptSaves::CKeptSaves(const std::string& folder, const std::vector<std::string>& names)
    : m_folder(Whole(folder)), m_maps(Whole(kFilePanelMapsFolder))
{
    for (const std::string& name : names)
        for (const char* extension : kExtensions)
            m_files.push_back(name + extension);
}

bool CKeptSaves::SetAside(std::string* error)
{
    const std::filesystem::path maps = m_maps;
    const std::filesystem::path kept = std::filesystem::path(m_folder) / kKeptFolder;
    std::error_code failure;
    // The run's own saves go to the folder at the end: it stands before the run, or the run does not start.
    std::filesystem::create_directories(m_folder, failure);
    if (failure) {
        *error = "the run's folder " + m_folder + " cannot be made";
        return false;
    }
    for (const std::string& file : m_files) {
        if (!std::filesystem::exists(maps / file, failure))
            continue;
        std::filesystem::create_directories(kept, failure);
        if (failure || !Move(maps / file, kept / file)) {
            *error = "the player's save " + (maps / file).string() + " cannot be set aside in " + kept.string();
            return false;
        }
    }
    m_setAside = true;
    return true;
}

void CKeptSaves::Finish()
{
    if (!m_setAside)
        return;
    m_setAside = false;
    const std::filesystem::path maps = m_maps;
    const std::filesystem::path kept = std::filesystem::path(m_folder) / kKeptFolder;
    std::error_code failure;
    for (const std::string& file : m_files) {
        if (std::filesystem::exists(maps / file, failure) && !Move(maps / file, std::filesystem::path(m_folder) / file))
            std::fprintf(stderr, "mall: the run's save %s was not moved to %s\n", (maps / file).string().c_str(),
                         m_folder.c_str());
        if (std::filesystem::exists(kept / file, failure) && !Move(kept / file, maps / file))
            std::fprintf(stderr, "mall: the player's save %s stays in %s\n", file.c_str(), kept.string().c_str());
    }
}
