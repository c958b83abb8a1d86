// Fuzz target of the character dresser: whatever the bytes, it dresses them or refuses them, and what it dressed
// it refuses to dress again (the heads are found there).
#include <cstdlib>
#include <vector>

#include "gfx/anim/anim.h"
#include "gfx/testsupport/fuzz.h"
#include "gfx/world/userdata.h"
#include "gfx/world/world.h"
#include "tools/content/dress_writer.h"

namespace {

void AttachCharacterPlugins()
{
    if (!GxWorldPluginAttach() || !GxUserDataPluginAttach() || !GxAnimHierarchyPluginAttach() ||
        !GxSkinPluginAttach()) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    if (!GxFuzzStartOnDriver(AttachCharacterPlugins)) {
        std::abort();
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::vector<GxUInt8> file(data, data + size);
    const std::vector<GxUInt8> dressed = ContentDressCharacterBytes(file);
    if (!dressed.empty() && !ContentDressCharacterBytes(dressed).empty()) {
        std::abort();
    }
    GxTestTakeError();
    return 0;
}
