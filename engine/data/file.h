// Line-oriented text files and tag files with section seeking; results are 0 for success, 1 for failure.
#pragma once

#include <cstdint>
#include <string>

struct GxFile;

// The longest line ReadLine gives whole, far beyond any line the game writes.
constexpr size_t kFerroxFileMaxLine = 1u << 20;

class CFerroxFile {
public:
    CFerroxFile();
    // Virtual slots 0 to 2, before Init: reserved, they do nothing here or in the tag file.
    virtual void ReservedSlot0() {}
    virtual void ReservedSlot1() {}
    virtual void ReservedSlot2() {}
    virtual int Init();
    // Closes a file still open (a written one replaces its target as Close does), so that its handle is not lost.
    virtual ~CFerroxFile();

    // read = 0: write a file that replaces any file of that name; otherwise the file must exist
    // and is read. The lines written go to a temporary of their own beside it (GxFileOpenTemporary),
    // renamed over the name by Close. 0 when open, 1 when not. A file already open is closed first.
    int Open(const char* name, int read);
    // For a written file: 0 only when every line, the flush and the close succeeded and the file
    // replaced its target; otherwise the target keeps its old content and the temporary is removed.
    int Close();
    // Next line without its line end; empty at the end of the file. A line longer than kFerroxFileMaxLine
    // bytes is cut there (its rest passed over).
    std::string& ReadLine(std::string& out);
    // As ReadLine, but a line longer than limit bytes is not held: it is passed over to its end and false
    // is returned, out then holding at most limit bytes of it.
    bool ReadLineWithin(std::string& out, size_t limit);
    // Writes text as it stands (no line end is added); a failed write is kept for Close to report.
    void WriteLine(const char* text);
    void WriteLine(const std::string& text) { WriteLine(text.c_str()); }
    // Non-zero once a write to the open file has failed (or nothing is open for writing).
    int HasWriteFailed() const { return !m_pFile || m_mode != 0 || m_writeFailed ? 1 : 0; }

    // Reads the whole of a file open for reading into memory, when it holds at most maxBytes: from then on every
    // read and SeekTag takes these bytes, whatever another program does to the file or its name. False, with the
    // file closed, when it is larger or cannot be read.
    bool Hold(uint64_t maxBytes);

    // Non-zero once no byte is left to read (or no file is open).
    int IsEof();
    // Bytes between the read position and the end of the file; 0 without a file open for reading.
    uint64_t GetBytesLeft() const;
    int IsOpen() const { return m_pFile != nullptr; }
    const std::string& GetName() const { return m_name; }
    int32_t GetMode() const { return m_mode; }

protected:
    // Takes the next block of a file open for reading into the read-ahead; false when none is left.
    bool FillReadAhead();

    std::string m_name;
    GxFile* m_pFile;
    int32_t m_mode;  // 0 writing, 1 reading
    bool m_writeFailed;
    // Bytes read from the file and not yet taken, from m_readAt on: lines are cut from blocks, not read a
    // piece at a time.
    std::string m_readAhead;
    size_t m_readAt = 0;
    bool m_held = false;      // m_readAhead holds the whole file: nothing more is read from it
    std::string m_temporary;  // while writing: the file's own name beside m_name
};

class CFerroxTagFile : public CFerroxFile {
public:
    CFerroxTagFile() { Init(); }
    // The tag file's own reserved slots 0 to 2, which do nothing either.
    void ReservedSlot0() override {}
    void ReservedSlot1() override {}
    void ReservedSlot2() override {}
    int Init() override { return CFerroxFile::Init(); }

    // Reads from the top of the open file (of its held bytes when held) up to the first line containing the tag;
    // 0 when found and lines follow. A closed file is not opened again by its name: 1.
    int SeekTag(std::string tag);

private:
    // Back to the first byte of the open file; false when that fails.
    bool Rewind();
};
