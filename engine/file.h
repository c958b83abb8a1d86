// Line-oriented text files and tag files with section seeking; results are 0 for success, 1 for failure.
#pragma once

#include <cstdint>
#include <string>

struct GxFile;

class CFerroxFile {
public:
    CFerroxFile();
    virtual void Empty0() {}
    virtual void Empty1() {}
    virtual void Empty2() {}
    virtual int Init();
    // Closes a file still open, so that its slot of the file system is not lost.
    virtual ~CFerroxFile();

    // read = 0: create or truncate for writing; otherwise the file must exist and is read.
    int Open(const char* name, int read);
    int Close();
    // Next line without its line end; empty at the end of the file.
    std::string& ReadLine(std::string& out);
    void WriteLine(const char* text);
    void WriteLine(const std::string& text) { WriteLine(text.c_str()); }

    // Non-zero once no byte is left to read (or no file is open).
    int IsEof();
    int IsOpen() const { return m_pFile != nullptr; }
    const std::string& GetName() const { return m_name; }
    int32_t GetMode() const { return m_mode; }

protected:
    std::string m_name;
    GxFile* m_pFile;
    int32_t m_mode;   // 0 writing, 1 reading
};

class CFerroxTagFile : public CFerroxFile {
public:
    CFerroxTagFile() { Init(); }
    void Empty0() override {}
    void Empty1() override {}
    void Empty2() override {}
    int Init() override { return CFerroxFile::Init(); }

    // Reopens the file and reads up to the first line containing the tag; 0 when found and lines follow.
    int SeekTag(std::string tag);
};
