// Line-oriented text files over the graphics core's file functions, and section seeking.
#include "engine/data/file.h"

#include <cstring>
#include <string>

#include "gfx/core/filesys.h"

namespace {
// One piece of a line: at most 255 bytes.
const int kPieceBuffer = 256;
// CR LF.
const size_t kLineEndBytes = 2;
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

bool CFerroxFile::ReadLineWithin(std::string& out, size_t limit)
{
    out.clear();
    if (!m_pFile || m_mode != 1)
        return true;
    char buffer[kPieceBuffer];
    bool within = true;
    for (;;) {
        memset(buffer, 0, sizeof(buffer));
        if (!GxFileGets(buffer, kPieceBuffer, m_pFile))
            break;
        if (within)
            out.append(buffer, strlen(buffer));
        // Past the limit and a line end's room, the rest of the line is read but not kept.
        if (within && out.size() > limit && out.size() - limit > kLineEndBytes) {
            within = false;
            out.resize(limit);
        }
        // The buffer was zero-filled, so an LF anywhere in it, even behind a NUL byte, ended the line.
        // A piece may also stop short of the buffer without ending the line (a CR kept for the next piece).
        if (memchr(buffer, '\n', sizeof(buffer) - 1) || GxFileEof(m_pFile))
            break;
    }
    if (!within)
        return false;
    // Only a real line end is removed: a last line without LF keeps all its characters.
    if (!out.empty() && out.back() == '\n') {
        out.pop_back();
        if (!out.empty() && out.back() == '\r')
            out.pop_back();
    }
    if (out.size() <= limit)
        return true;
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
    return size > position ? size - position : 0;
}

int CFerroxFile::IsEof() { return !m_pFile || GxFileEof(m_pFile) ? 1 : 0; }

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
    while (!GxFileEof(m_pFile)) {
        ReadLine(line);
        if (line.find(tag) != std::string::npos)
            return GxFileEof(m_pFile) ? 1 : 0;
    }
    return 1;
}
