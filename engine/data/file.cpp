// Line-oriented text files over the graphics core's file functions, and section seeking.
#include "engine/data/file.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "gfx/core/filesys.h"

namespace {
// Bytes a read takes from the file at once.
const size_t kReadAheadBytes = 64 * 1024;
}  // namespace

GxFile* FerroxOpenReplacement(const char* name)
{
    char temporary[gxFILEMAXPATH + 1];
    if (!name || !GxFileTemporaryName(name, temporary, sizeof(temporary)))
        return nullptr;
    return GxFileOpen(temporary, "w");
}

// The close flushes the written bytes to the disk, so a rename after it leaves the old file or the whole new one.
bool FerroxCloseReplacement(GxFile* file, const char* name, bool ok)
{
    if (!file)
        return false;
    ok = GxFileClose(file) == 0 && ok;
    if (!name)
        return false;
    if (!ok)
        FerroxDiscardReplacement(name);
    return ok;
}

void FerroxDiscardReplacement(const char* name)
{
    char temporary[gxFILEMAXPATH + 1];
    if (name && GxFileTemporaryName(name, temporary, sizeof(temporary)))
        GxFileRemove(temporary);
}

bool FerroxRenameReplacement(const char* name)
{
    char temporary[gxFILEMAXPATH + 1];
    if (!name || !GxFileTemporaryName(name, temporary, sizeof(temporary)))
        return false;
    if (GxFileRename(temporary, name))
        return true;
    GxFileRemove(temporary);
    return false;
}

bool FerroxCommitReplacement(GxFile* file, const char* name, bool ok)
{
    return FerroxCloseReplacement(file, name, ok) && FerroxRenameReplacement(name);
}

CFerroxFile::CFerroxFile() : m_pFile(nullptr), m_mode(0), m_writeFailed(false) { Init(); }

CFerroxFile::~CFerroxFile() { Close(); }

int CFerroxFile::Init()
{
    m_pFile = nullptr;
    m_mode = 0;
    m_writeFailed = false;
    return 0;
}

int CFerroxFile::Open(const char* name, int read)
{
    if (!name)
        return 1;
    Close();
    if (read && !GxFileExists(name))
        return 1;
    GxFile* file = read ? GxFileOpen(name, "r") : FerroxOpenReplacement(name);
    if (!file)
        return 1;
    m_pFile = file;
    m_mode = read ? 1 : 0;
    m_name = name;
    m_writeFailed = false;
    return 0;
}

int CFerroxFile::Close()
{
    m_readAhead.clear();
    m_readAt = 0;
    if (!m_pFile)
        return 1;
    GxFile* file = m_pFile;
    m_pFile = nullptr;
    if (m_mode == 1) {
        GxFileClose(file);
        return 0;
    }
    return FerroxCommitReplacement(file, m_name.c_str(), !m_writeFailed) ? 0 : 1;
}

std::string& CFerroxFile::ReadLine(std::string& out)
{
    ReadLineWithin(out, std::string::npos);
    return out;
}

bool CFerroxFile::FillReadAhead()
{
    m_readAhead.resize(kReadAheadBytes);
    m_readAt = 0;
    const size_t got = GxFileRead(&m_readAhead[0], 1, kReadAheadBytes, m_pFile);
    m_readAhead.resize(got);
    return got > 0;
}

// A line ends at its LF; the LF and a CR before it are removed. A NUL byte cuts the rest of its line, and past
// the limit the rest of the line is read but not kept.
bool CFerroxFile::ReadLineWithin(std::string& out, size_t limit)
{
    out.clear();
    if (!m_pFile || m_mode != 1)
        return true;
    bool within = true;
    bool cut = false;
    bool ended = false;
    while (!ended && (m_readAt < m_readAhead.size() || FillReadAhead())) {
        const char* start = m_readAhead.data() + m_readAt;
        const size_t left = m_readAhead.size() - m_readAt;
        const char* lineEnd = static_cast<const char*>(memchr(start, '\n', left));
        ended = lineEnd != nullptr;
        const size_t piece = ended ? static_cast<size_t>(lineEnd - start) : left;
        m_readAt += ended ? piece + 1 : piece;
        size_t kept = cut ? 0 : piece;
        if (const void* nul = memchr(start, '\0', kept)) {
            kept = static_cast<size_t>(static_cast<const char*>(nul) - start);
            cut = true;
        }
        // One byte more than the limit is held, so that a CR before the line end does not count as over it.
        const size_t room = limit == std::string::npos ? kept : limit + 1 - std::min(out.size(), limit + 1);
        if (kept > room)
            within = false;
        out.append(start, std::min(kept, room));
    }
    if (ended && !out.empty() && out.back() == '\r' && !cut)
        out.pop_back();
    if (within && out.size() <= limit)
        return true;
    if (out.size() > limit)
        out.resize(limit);
    return false;
}

void CFerroxFile::WriteLine(const char* text)
{
    if (!m_pFile || m_mode != 0 || !text || !*text)
        return;
    if (static_cast<size_t>(GxFilePuts(text, m_pFile)) != strlen(text))
        m_writeFailed = true;
}

uint64_t CFerroxFile::GetBytesLeft() const
{
    if (!m_pFile || m_mode != 1)
        return 0;
    uint64_t size = (static_cast<uint64_t>(m_pFile->sizeHigh) << 32) | m_pFile->sizeLow;
    uint64_t position = (static_cast<uint64_t>(m_pFile->posHigh) << 32) | m_pFile->posLow;
    return (size > position ? size - position : 0) + (m_readAhead.size() - m_readAt);
}

int CFerroxFile::IsEof()
{
    if (m_pFile && m_mode == 1 && m_readAt < m_readAhead.size())
        return 0;
    return !m_pFile || GxFileEof(m_pFile) ? 1 : 0;
}

int CFerroxTagFile::SeekTag(std::string tag)
{
    std::string name = m_name;
    // Reopening a file held for writing would truncate it.
    if (name.empty() || m_mode != 1)
        return 1;
    Close();
    if (Open(name.c_str(), m_mode) != 0)
        return 1;
    std::string line;
    while (!IsEof()) {
        ReadLine(line);
        if (line.find(tag) != std::string::npos)
            return IsEof();
    }
    return 1;
}
