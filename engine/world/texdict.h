// A level's texture dictionary: read from a stream or a file, made current, written back, destroyed.
#pragma once

#include <cstdint>

struct GxStream;
struct GxTexDictionary;

class CFerroxTexDictionary {
public:
    CFerroxTexDictionary();
    virtual int IsEmpty();
    virtual void MakeCurrent();
    virtual int IsCurrent();
    // Reads the body of a texture dictionary chunk (the header already read); 1 on success.
    virtual int ReadFromStream(GxStream* stream);
    // Reads the first texture dictionary chunk of a graphics stream file; 1 on success.
    virtual int LoadFile(const char* fileName);
    // Reads the body of a dictionary stored as images; 1 on success.
    virtual int ReadImagesFromStream(GxStream* stream);
    // Writes the dictionary as a texture dictionary chunk; an existing file is replaced only once the new
    // one is complete. 1 on success.
    virtual int SaveFile(const char* fileName);
    virtual int Create();
    virtual void Destroy();
    virtual void Init();
    virtual ~CFerroxTexDictionary();

    GxTexDictionary* GetDictionary() const { return m_pDictionary; }

private:
    int32_t m_empty;
    GxTexDictionary* m_pDictionary;
};
