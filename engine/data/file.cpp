// Line-oriented text files over the graphics core's file functions, and section seeking.
#include "engine/data/file.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "gfx/core/assert.h"
#include "gfx/core/filesys.h"

namespace {
// Bytes a read takes from the file at once.
const size_t kReadAheadBytes = 64 * 1024;
}  // namespace

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
    GX_ASSERT(name != nullptr, "a file is opened by its name");
    Close();
    if (read && !GxFileExists(name))
        return 1;
    char temporary[gxFILEMAXPATH + 1] = "";
    GxFile* file = read ? GxFileOpen(name, "r") : GxFileOpenTemporary(name, temporary, sizeof(temporary));
    if (!file)
        return 1;
    m_pFile = file;
    m_temporary = temporary;
    m_mode = read ? 1 : 0;
    m_name = name;
    m_writeFailed = false;
    return 0;
}

int CFerroxFile::Close()
{
    m_readAhead.clear();
    m_readAt = 0;
    m_held = false;
    if (!m_pFile)
        return 1;
    GxFile* file = m_pFile;
    m_pFile = nullptr;
    if (m_mode == 1) {
        GxFileClose(file);
        return 0;
    }
    const std::string temporary = std::move(m_temporary);
    m_temporary.clear();
    return GxFileCommitTemporary(file, temporary.c_str(), m_name.c_str(), !m_writeFailed) ? 0 : 1;
}

std::string& CFerroxFile::ReadLine(std::string& out)
{
    ReadLineWithin(out, kFerroxFileMaxLine);
    return out;
}

// Reads from the top of the open handle, never by name, so the bytes are those of the file opened even when
// another file was renamed over its name since.
bool CFerroxFile::Hold(uint64_t maxBytes)
{
    if (!m_pFile || m_mode != 1)
        return false;
    const uint64_t size = (static_cast<uint64_t>(m_pFile->sizeHigh) << 32) | m_pFile->sizeLow;
    if (size > maxBytes || GxFileSeek(m_pFile, 0, 0) != 0) {
        Close();
        return false;
    }
    m_readAhead.clear();
    m_readAt = 0;
    std::string held;
    held.reserve(static_cast<size_t>(size));
    // A file that grew in place since it was opened is taken no further than the limit allows.
    while (FillReadAhead()) {
        if (held.size() + m_readAhead.size() > maxBytes) {
            Close();
            return false;
        }
        held += m_readAhead;
    }
    m_readAhead.swap(held);
    m_readAt = 0;
    m_held = true;
    return true;
}

bool CFerroxFile::FillReadAhead()
{
    if (m_held)
        return false;
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
        const size_t room = limit + 1 - std::min(out.size(), limit + 1);
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
    GX_ASSERT(text != nullptr, "a line to write");
    GX_ASSERT(m_pFile && m_mode == 0, "lines are written to a file open for writing");
    if (!*text)
        return;
    if (static_cast<size_t>(GxFilePuts(text, m_pFile)) != strlen(text))
        m_writeFailed = true;
}

uint64_t CFerroxFile::GetBytesLeft() const
{
    if (!m_pFile || m_mode != 1)
        return 0;
    if (m_held)
        return m_readAhead.size() - m_readAt;
    uint64_t size = (static_cast<uint64_t>(m_pFile->sizeHigh) << 32) | m_pFile->sizeLow;
    uint64_t position = (static_cast<uint64_t>(m_pFile->posHigh) << 32) | m_pFile->posLow;
    return (size > position ? size - position : 0) + (m_readAhead.size() - m_readAt);
}

int CFerroxFile::IsEof()
{
    if (m_pFile && m_mode == 1 && m_readAt < m_readAhead.size())
        return 0;
    if (m_held)
        return 1;
    return !m_pFile || GxFileEof(m_pFile) ? 1 : 0;
}

// The bytes of the open file, never a file renamed over its name since: a reader seeks within the file its
// caller opened (and checked).
bool CFerroxTagFile::Rewind()
{
    // A closed file is not opened again by its name: what the name leads to now may be another file than the one
    // whose sections were read and checked.
    if (!m_pFile)
        return false;
    if (m_held) {
        m_readAt = 0;
        return true;
    }
    m_readAhead.clear();
    m_readAt = 0;
    return GxFileSeek(m_pFile, 0, 0) == 0;
}

int CFerroxTagFile::SeekTag(std::string tag)
{
    // Reopening a file held for writing would truncate it.
    if (m_mode != 1 || !Rewind())
        return 1;
    std::string line;
    while (!IsEof()) {
        ReadLine(line);
        if (line.find(tag) != std::string::npos)
            return IsEof();
    }
    return 1;
}
