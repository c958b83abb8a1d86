// Fuzz target: frame-list chunks read from arbitrary bytes, with one streamed frame extension.
#include <cstring>

#include "gfx/core/engine_testing.h"
#include "gfx/core/frame.h"
#include "gfx/core/stream.h"
#include "gfx/testsupport/engine_fixture.h"

namespace {

constexpr GxUInt32 kFuzzPluginID = 0x7F02;

void* Construct(void* object, GxInt32 offset, GxInt32)
{
    std::memset(static_cast<char*>(object) + offset, 0, 8);
    return object;
}

GxStream* Read(GxStream* stream, GxInt32 length, void* object, GxInt32 offset, GxInt32)
{
    if (length < 0 || length > 8) {
        return nullptr;
    }
    const GxUInt32 n = static_cast<GxUInt32>(length);
    return GxStreamRead(stream, static_cast<char*>(object) + offset, n) == n ? stream : nullptr;
}

GxStream* Write(GxStream* stream, GxInt32 length, const void* object, GxInt32 offset, GxInt32)
{
    return GxStreamWrite(stream, static_cast<const char*>(object) + offset, static_cast<GxUInt32>(length));
}

GxInt32 Size(const void*, GxInt32, GxInt32) { return 8; }

bool Start()
{
    return GxTestProcessEngineStart(GxTestRecordingSetup([] {
        GxFrameRegisterPlugin(8, kFuzzPluginID, Construct, nullptr, nullptr);
        GxFrameRegisterPluginStream(kFuzzPluginID, Read, Write, Size);
        return true;
    }));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool started = Start();
    if (!started) {
        return 0;
    }
    GxMemory memory = {const_cast<GxUInt8*>(data), static_cast<GxUInt32>(size)};
    GxStream* stream = GxStreamOpen(gxSTREAMMEMORY, gxSTREAMREAD, &memory);
    if (stream == nullptr) {
        return 0;
    }
    GxFrameList list;
    if (GxFrameListStreamRead(stream, &list) != nullptr) {
        // Whatever was read must write back and synchronise.
        GxStream* out = GxStreamOpen(gxSTREAMMEMORY, gxSTREAMWRITE, nullptr);
        GxFrameListStreamWrite(&list, out);
        GxStreamClose(out, nullptr);
        GxFrameSyncDirty();
        // Roots first, then destroy: a destroyed hierarchy takes its frames with it.
        GxInt32 roots = 0;
        for (GxInt32 i = 0; i < list.numFrames; i++) {
            if (GxFrameGetParent(list.frames[i]) == nullptr) {
                list.frames[roots++] = list.frames[i];
            }
        }
        for (GxInt32 i = 0; i < roots; i++) {
            GxFrameDestroyHierarchy(list.frames[i]);
        }
        GxFrameListDeinitialize(&list);
    }
    GxStreamClose(stream, nullptr);
    GxError discard;
    GxErrorGet(&discard);
    return 0;
}
