// The clump extension: registration, the per-clump words, their constructor and copy, and their stream form.
#include "engine/world/clumpext.h"

#include "gfx/core/assert.h"
#include "gfx/core/stream.h"
#include "gfx/world/clump.h"

namespace {

// The stream form keeps two 32-bit words whatever the size of a pointer.
const GxUInt32 kStreamWords = 2;
const GxUInt32 kStreamSize = kStreamWords * sizeof(GxUInt32);

struct ClumpExtension {
    CFerroxObject* owner;
    CFerroxComposite* composite;
};

// Offset of the extension inside a clump; -1 until registration succeeded.
GxInt32 g_clumpExtensionOffset = -1;

ClumpExtension* ExtensionOf(void* clump, GxInt32 offset)
{
    GX_ASSERT(offset >= 0, "the plugin is attached before its extension is used");
    return reinterpret_cast<ClumpExtension*>(static_cast<char*>(clump) + offset);
}

// The extension of a clump, or null while it is not registered. The clumps' registry is emptied when the
// engine terminates, so an offset kept from an earlier run must match the registry before it is used.
ClumpExtension* ExtensionOf(GxClump* clump)
{
    if (!clump || g_clumpExtensionOffset < 0 ||
        GxClumpGetPluginOffset(kFerroxClumpExtensionID) != g_clumpExtensionOffset)
        return nullptr;
    return ExtensionOf(clump, g_clumpExtensionOffset);
}

void* Construct(void* clump, GxInt32 offset, GxInt32)
{
    ClumpExtension* extension = ExtensionOf(clump, offset);
    extension->owner = nullptr;
    extension->composite = nullptr;
    return clump;
}

void* Destruct(void* clump, GxInt32, GxInt32) { return clump; }

void* Copy(void* dst, const void* src, GxInt32 offset, GxInt32)
{
    *ExtensionOf(dst, offset) = *ExtensionOf(const_cast<void*>(src), offset);
    return dst;
}

// The two words, each as a 32-bit number.
GxStream* StreamWrite(GxStream* stream, GxInt32, const void* clump, GxInt32 offset, GxInt32)
{
    const ClumpExtension* extension = ExtensionOf(const_cast<void*>(clump), offset);
    const GxUInt32 words[kStreamWords] = {static_cast<GxUInt32>(reinterpret_cast<uintptr_t>(extension->owner)),
                                          static_cast<GxUInt32>(reinterpret_cast<uintptr_t>(extension->composite))};
    return GxStreamWriteInt32(stream, words, kStreamSize);
}

// The words are pointers of the running program: words read from a stream are consumed and dropped, so that
// no file can plant an object pointer in a clump.
GxStream* StreamRead(GxStream* stream, GxInt32 length, void*, GxInt32, GxInt32)
{
    if (length < static_cast<GxInt32>(kStreamSize) || !GxStreamCanSupply(stream, kStreamSize)) {
        GxErrorRaise(static_cast<GxInt32>(kFerroxClumpExtensionID), gxERRENDOFSTREAM);
        return nullptr;
    }
    GxUInt32 words[kStreamWords];
    return GxStreamReadInt32(stream, words, kStreamSize);
}

GxInt32 StreamSize(const void*, GxInt32, GxInt32) { return static_cast<GxInt32>(kStreamSize); }

}  // namespace

int AttachClumpExtension()
{
    const GxInt32 offset = GxClumpRegisterPlugin(static_cast<GxInt32>(sizeof(ClumpExtension)), kFerroxClumpExtensionID,
                                                 Construct, Destruct, Copy);
    const GxInt32 streamOffset =
        GxClumpRegisterPluginStream(kFerroxClumpExtensionID, StreamRead, StreamWrite, StreamSize);
    // Two refusals agree at -1: that is a failure, not a match.
    if (offset < 0 || streamOffset != offset)
        return 0;
    g_clumpExtensionOffset = offset;
    return 1;
}

CFerroxObject* GetClumpOwner(GxClump* clump)
{
    const ClumpExtension* extension = ExtensionOf(clump);
    return extension ? extension->owner : nullptr;
}

int SetClumpOwner(GxClump* clump, CFerroxObject* owner)
{
    ClumpExtension* extension = ExtensionOf(clump);
    if (!extension)
        return 0;
    extension->owner = owner;
    return 1;
}

CFerroxComposite* GetClumpComposite(GxClump* clump)
{
    const ClumpExtension* extension = ExtensionOf(clump);
    return extension ? extension->composite : nullptr;
}

int SetClumpComposite(GxClump* clump, CFerroxComposite* composite)
{
    ClumpExtension* extension = ExtensionOf(clump);
    if (!extension)
        return 0;
    extension->composite = composite;
    return 1;
}
