// Animated textures: the description reader, frame names, loading and stepping.
#include "engine/world/animtexture.h"

#include <cstdlib>
#include <cstring>

#include "gfx/core/filesys.h"
#include "gfx/core/image.h"
#include "gfx/core/texture.h"

namespace {

constexpr float kSecondsPerMillisecond = 0.001f;
constexpr int32_t kTwoDigits = 10;

// The text after the first "=", or null.
const char* AfterEquals(const char* line)
{
    const char* equals = std::strchr(line, '=');
    return equals ? equals + 1 : nullptr;
}

}  // namespace

// ---- Description ----

void FerroxAnimIniReader::Line(const char* line)
{
    if (!line)
        return;
    if (!started) {
        started = line[0] == '[';
        return;
    }
    const char* value = AfterEquals(line);
    if (countNext) {
        // A count beyond the limit is held at it while parsing, so no overflow reaches the caller.
        long parsed = value ? std::strtol(value, nullptr, 10) : 0;
        count =
            static_cast<int32_t>(parsed < 0 ? 0 : (parsed > kFerroxAnimMaxFrames ? kFerroxAnimMaxFrames + 1 : parsed));
    } else {
        delayMs = value ? std::strtof(value, nullptr) : 0.0f;
    }
    countNext = !countNext;
}

int32_t FerroxAnimIniReader::FrameCount() const { return count > kFerroxAnimMaxFrames ? kFerroxAnimMaxFrames : count; }

float FerroxAnimIniReader::DelaySeconds() const { return delayMs * kSecondsPerMillisecond; }

std::string FerroxAnimFrameName(const std::string& base, int32_t frame)
{
    return base + (frame < kTwoDigits ? "0" : "") + std::to_string(frame);
}

// ---- Animated texture ----

CFerroxAnimTexture::CFerroxAnimTexture() : m_loaded(0), m_current(0) { CFerroxAnimTexture::Clear(); }

CFerroxAnimTexture::~CFerroxAnimTexture() { CFerroxAnimTexture::Unload(); }

void CFerroxAnimTexture::Clear()
{
    m_delay = 0.0f;
    m_elapsed = 0.0f;
    m_frameCount = 0;
    m_pTexture = nullptr;
    m_pSlot = nullptr;
    m_pSavedRaster = nullptr;
}

int CFerroxAnimTexture::Load(const char* path, GxTexture** slot)
{
    if (!path)
        return 0;
    if (GxFileExists(path)) {
        if (GxFile* file = GxFileOpen(path, "r")) {
            FerroxAnimIniReader reader;
            char line[kFerroxAnimLineBytes + 1];
            while (GxFileGets(line, sizeof(line), file))
                reader.Line(line);
            GxFileClose(file);
            m_frameCount = reader.FrameCount();
            m_delay = reader.DelaySeconds();
        }
    }
    const std::string text = path;
    const size_t slash = text.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : text.substr(0, slash + 1);
    std::string file = slash == std::string::npos ? text : text.substr(slash + 1);
    const size_t dot = file.rfind('.');
    if (dot != std::string::npos)
        file.erase(dot);
    m_baseName = file;

    GxImageSetPath(folder.c_str());
    for (int32_t i = 0; i < m_frameCount; i++)
        m_frames.push_back(GxTextureRead(FerroxAnimFrameName(m_baseName, i).c_str(), nullptr));
    GxImageSetPath("");

    m_pSlot = slot;
    m_pTexture = slot ? *slot : nullptr;
    m_pSavedRaster = m_pTexture ? GxTextureGetRaster(m_pTexture) : nullptr;
    m_current = 0;
    m_loaded = 1;
    return 1;
}

void CFerroxAnimTexture::Update(float elapsed)
{
    if (m_frames.empty())
        return;
    m_elapsed += elapsed;
    if (m_elapsed < m_delay)
        return;
    m_elapsed -= m_delay;
    m_current = (m_current + 1) % m_frames.size();
    GxTexture* frame = m_frames[m_current];
    if (m_pTexture && frame)
        GxTextureSetRaster(m_pTexture, GxTextureGetRaster(frame));
}

void CFerroxAnimTexture::Unload()
{
    if (m_pTexture && m_loaded)
        GxTextureSetRaster(m_pTexture, m_pSavedRaster);
    for (GxTexture* frame : m_frames) {
        if (frame)
            GxTextureDestroy(frame);
    }
    m_frames.clear();
}

const char* CFerroxAnimTexture::GetBaseName() const
{
    return m_frames.empty() || !m_frames[0] ? "" : m_frames[0]->name;
}
