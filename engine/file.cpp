// Line-oriented text files over the graphics core's file functions, and section seeking.
#include "engine/file.h"

#include <cstring>

#include "gfx/core/filesys.h"

namespace {
// One piece of a line: at most 255 bytes.
const int kPieceBuffer = 256;
}

CFerroxFile::CFerroxFile() : m_pFile(nullptr), m_mode(0)
{
    Init();
}

CFerroxFile::~CFerroxFile()
{
    Close();
}

int CFerroxFile::Init()
{
    m_pFile = nullptr;
    m_mode = 0;
    return 0;
}

int CFerroxFile::Open(const char* name, int read)
{
    if (!name)
        return 1;
    Close();
    if (read && !GxFileExists(name))
        return 1;
    GxFile* file = GxFileOpen(name, read ? "r" : "w");
    if (!file)
        return 1;
    m_pFile = file;
    m_mode = read ? 1 : 0;
    m_name = name;
    return 0;
}

int CFerroxFile::Close()
{
    if (!m_pFile)
        return 1;
    GxFileClose(m_pFile);
    m_pFile = nullptr;
    return 0;
}

std::string& CFerroxFile::ReadLine(std::string& out)
{
    out.clear();
    if (!m_pFile || m_mode != 1)
        return out;
    char buffer[kPieceBuffer];
    for (;;) {
        memset(buffer, 0, sizeof(buffer));
        if (!GxFileGets(buffer, kPieceBuffer, m_pFile))
            break;
        size_t length = strlen(buffer);
        out.append(buffer, length);
        // The buffer was zero-filled, so an LF anywhere in it, even behind a NUL byte, ended the line.
        // A piece may also stop short of the buffer without ending the line (a CR kept for the next piece).
        if (memchr(buffer, '\n', sizeof(buffer) - 1) || GxFileEof(m_pFile))
            break;
    }
    // Only a real line end is removed: a last line without LF keeps all its characters.
    if (!out.empty() && out.back() == '\n') {
        out.pop_back();
        if (!out.empty() && out.back() == '\r')
            out.pop_back();
    }
    return out;
}

void CFerroxFile::WriteLine(const char* text)
{
    if (!m_pFile || !text || !*text)
        return;
    GxFilePuts(text, m_pFile);
}

int CFerroxFile::IsEof()
{
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
    while (!GxFileEof(m_pFile)) {
        ReadLine(line);
        if (line.find(tag) != std::string::npos)
            return GxFileEof(m_pFile) ? 1 : 0;
    }
    return 1;
}
