// The start-up table and the texture read that tries the driver's own texture files first.
#include "engine/data/startup.h"

namespace {

const GxStartup kNoStartup = {};
const GxStartup* g_startup = &kNoStartup;

GxTextureCallBackRead g_previousTextureRead = nullptr;

GxTexture* ReadTextureDriverFirst(const GxChar* name, const GxChar* maskName)
{
    GxTexture* texture = g_startup->readTexture ? g_startup->readTexture(name, maskName) : nullptr;
    if (texture)
        return texture;
    return g_previousTextureRead ? g_previousTextureRead(name, maskName) : nullptr;
}

}  // namespace

void FerroxSetStartup(const GxStartup* startup) { g_startup = startup ? startup : &kNoStartup; }

const GxStartup& FerroxGetStartup() { return *g_startup; }

int FerroxInstallTextureReader()
{
    GxTextureCallBackRead current = GxTextureGetReadCallback();
    if (current == ReadTextureDriverFirst)
        return 1;
    g_previousTextureRead = current;
    return GxTextureSetReadCallback(ReadTextureDriverFirst) ? 1 : 0;
}
