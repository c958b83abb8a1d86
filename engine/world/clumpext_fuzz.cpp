// Fuzz target of clumps read with the program's plugins attached: whatever reads names no engine object and
// model, however its extension chunk is formed; a read clump is cloned, written back and destroyed.
#include <cstdlib>

#include "engine/application/app.h"
#include "engine/world/clumpext.h"
#include "gfx/testsupport/fuzz.h"
#include "gfx/world/clump.h"

namespace {

bool g_attached = false;

void AttachProgramPlugins() { g_attached = FerroxAttachGraphicsPlugins() != 0; }

void CheckNamesNothing(GxClump* clump)
{
    if (GetClumpOwner(clump) || GetClumpComposite(clump))
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    if (!GxFuzzStartOnDriver(AttachProgramPlugins) || !g_attached)
        std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    GxMemory memory = {const_cast<GxUInt8*>(data), static_cast<GxUInt32>(size)};
    GxStream* stream = GxStreamOpen(gxSTREAMMEMORY, gxSTREAMREAD, &memory);
    if (!stream)
        return 0;
    GxClump* clump = GxStreamFindChunk(stream, gxID_CLUMP, nullptr, nullptr) ? GxClumpStreamRead(stream) : nullptr;
    GxStreamClose(stream, nullptr);
    if (clump) {
        CheckNamesNothing(clump);
        if (GxClump* copy = GxClumpClone(clump)) {
            CheckNamesNothing(copy);
            GxClumpDestroy(copy);
        }
        if (GxStream* out = GxStreamOpen(gxSTREAMMEMORY, gxSTREAMWRITE, nullptr)) {
            GxClumpStreamWrite(clump, out);
            GxStreamClose(out, nullptr);
        }
        GxClumpDestroy(clump);
    }
    GxFuzzClearError();
    return 0;
}
