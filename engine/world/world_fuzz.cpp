// Fuzz target of the level file reader: any level file builds a world or fails, and releases, without harm.
#include <cstdlib>
#include <string>

#include "engine/testsupport/fuzz_files.h"
#include "engine/world/clumpext.h"
#include "engine/world/world.h"
#include "gfx/anim/anim.h"
#include "gfx/core/spline.h"
#include "gfx/fx/fx.h"
#include "gfx/testsupport/fuzz.h"
#include "gfx/testsupport/plugins.h"
#include "gfx/world/lod.h"
#include "gfx/world/userdata.h"
#include "gfx/world/world.h"

namespace {

std::string g_input;

void AttachLevelPlugins()
{
    if (!GxLODAtomicPluginAttach() || !GxWorldPluginAttach() || !GxTestSectorPluginAttach() ||
        !GxUserDataPluginAttach() || !GxSplinePluginAttach() || !AttachClumpExtension() || !GxAnimPluginAttach() ||
        !GxUVAnimPluginAttach())
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    if (!GxFuzzStartOnDriver(AttachLevelPlugins))
        std::abort();
    g_input = GxFuzzScratchPath("ferrox_world_in", ".gxs");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    GxFuzzScratchWrite(g_input, data, size);
    CFerroxWorld world;
    if (world.Create(g_input.c_str(), nullptr)) {
        world.Update(0.1f);
        world.Render(nullptr);
    }
    world.Release();
    GxFuzzClearError();
    return 0;
}
