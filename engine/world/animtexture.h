// Animated textures: a material's texture stepped through numbered frame textures at a fixed rate, described
// by an ".ini" file (frame count and delay in milliseconds) beside the frames.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct GxTexture;
struct GxRaster;

// Longest line of a description, and the most frames one may ask for.
constexpr size_t kFerroxAnimLineBytes = 1024;
constexpr int32_t kFerroxAnimMaxFrames = 1000;

// Reads a description line by line: lines before the first "[" line are skipped; after it, lines pair up as
// frame count then delay, the text after the first "=" of each; the last pair counts.
struct FerroxAnimIniReader {
    bool started = false;
    bool countNext = true;
    int32_t count = 0;
    float delayMs = 0.0f;
    void Line(const char* line);
    // The count kept within 0 .. kFerroxAnimMaxFrames (a hostile count loads no more) and the delay in seconds.
    int32_t FrameCount() const;
    float DelaySeconds() const;
};

// Name of frame i: the base name, then i with a leading "0" below 10 (base00 .. base09, base10, base100).
std::string FerroxAnimFrameName(const std::string& base, int32_t frame);

class CFerroxAnimTexture {
public:
    CFerroxAnimTexture();
    CFerroxAnimTexture(const CFerroxAnimTexture&) = delete;
    CFerroxAnimTexture& operator=(const CFerroxAnimTexture&) = delete;

    // One step at most per call; nothing without frames. A frame that was not found, or a slot that held no
    // texture, gives no picture: the texture keeps the one it shows.
    virtual void Update(float elapsed);
    // Reads the description at path (its folder holds the frames) and takes over the texture in the slot.
    virtual int Load(const char* path, GxTexture** slot);
    // Gives the texture its own picture back and destroys the frames.
    virtual void Unload();
    virtual void Clear();
    virtual ~CFerroxAnimTexture();

    const char* GetBaseName() const;
    size_t GetFrameCount() const { return m_frames.size(); }
    size_t GetCurrentFrame() const { return m_current; }
    float GetElapsed() const { return m_elapsed; }
    GxTexture* GetFrame(size_t index) const { return index < m_frames.size() ? m_frames[index] : nullptr; }

private:
    int32_t m_loaded;
    std::vector<GxTexture*> m_frames;
    size_t m_current;
    float m_delay;
    float m_elapsed;
    int32_t m_frameCount;
    GxTexture* m_pTexture;
    GxTexture** m_pSlot;
    GxRaster* m_pSavedRaster;
    std::string m_baseName;
};
