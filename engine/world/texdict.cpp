// A level's texture dictionary over the graphics core's dictionaries and streams.
#include "engine/world/texdict.h"

#include <string>

#include "gfx/core/filesys.h"
#include "gfx/core/stream.h"
#include "gfx/core/texture.h"
CFerroxTexDictionary::CFerroxTexDictionary() { Init(); }

CFerroxTexDictionary::~CFerroxTexDictionary() { Destroy(); }

void CFerroxTexDictionary::Init()
{
    m_pDictionary = nullptr;
    m_empty = 1;
}

int CFerroxTexDictionary::IsEmpty() { return m_empty; }

void CFerroxTexDictionary::MakeCurrent()
{
    if (m_pDictionary)
        GxTexDictionarySetCurrent(m_pDictionary);
}

int CFerroxTexDictionary::IsCurrent() { return m_pDictionary && GxTexDictionaryGetCurrent() == m_pDictionary ? 1 : 0; }

int CFerroxTexDictionary::ReadFromStream(GxStream* stream)
{
    if (m_pDictionary)
        GxTexDictionaryDestroy(m_pDictionary);
    m_pDictionary = stream ? GxTexDictionaryStreamRead(stream) : nullptr;
    // The held dictionary is gone either way; a failed read leaves the flag as it was.
    if (!m_pDictionary)
        return 0;
    m_empty = 0;
    return 1;
}

int CFerroxTexDictionary::ReadImagesFromStream(GxStream* stream)
{
    if (m_pDictionary)
        GxTexDictionaryDestroy(m_pDictionary);
    m_pDictionary = stream ? GxTexDictionaryStreamReadImages(stream) : nullptr;
    // The held dictionary is gone either way; a failed read leaves the flag as it was.
    if (!m_pDictionary)
        return 0;
    m_empty = 0;
    return 1;
}

int CFerroxTexDictionary::LoadFile(const char* fileName)
{
    if (!fileName)
        return 0;
    GxStream* stream = GxStreamOpen(gxSTREAMFILENAME, gxSTREAMREAD, fileName);
    if (!stream)
        return 0;
    GxUInt32 length = 0, version = 0;
    int result = 0;
    // Without a dictionary chunk the held dictionary stays.
    if (GxStreamFindChunk(stream, gxID_TEXDICTIONARY, &length, &version))
        result = ReadFromStream(stream);
    GxStreamClose(stream, nullptr);
    return result;
}

int CFerroxTexDictionary::SaveFile(const char* fileName)
{
    if (!fileName || !m_pDictionary)
        return 0;
    char temporary[gxFILEMAXPATH + 1];
    GxFile* file = GxFileOpenTemporary(fileName, temporary, sizeof(temporary));
    if (!file)
        return 0;
    GxStream* stream = GxStreamOpen(gxSTREAMFILE, gxSTREAMWRITE, file);
    const bool written = stream && GxTexDictionaryStreamWrite(m_pDictionary, stream) != nullptr;
    const bool closed = stream && GxStreamClose(stream, nullptr) != 0;
    return GxFileCommitTemporary(file, temporary, fileName, written && closed) ? 1 : 0;
}

int CFerroxTexDictionary::Create()
{
    if (!m_pDictionary)
        m_pDictionary = GxTexDictionaryCreate();
    return m_pDictionary ? 1 : 0;
}

void CFerroxTexDictionary::Destroy()
{
    if (m_pDictionary)
        GxTexDictionaryDestroy(m_pDictionary);
    Init();
}
