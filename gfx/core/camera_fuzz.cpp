// Fuzz target: camera chunks with one streamed extension; a camera read writes back and reads the same.
#include <cstdlib>
#include <cstring>
#include <vector>

#include "gfx/core/camera.h"
#include "gfx/core/engine_testing.h"
#include "gfx/core/stream.h"
#include "gfx/testsupport/engine_fixture.h"

namespace {

constexpr GxUInt32 kFuzzPluginID = 0x7F03;
constexpr GxInt32 kExtensionBytes = 8;

void* Construct(void* object, GxInt32 offset, GxInt32)
{
    std::memset(static_cast<char*>(object) + offset, 0, kExtensionBytes);
    return object;
}

void* Copy(void* destination, const void* source, GxInt32 offset, GxInt32)
{
    std::memcpy(static_cast<char*>(destination) + offset, static_cast<const char*>(source) + offset, kExtensionBytes);
    return destination;
}

GxStream* Read(GxStream* stream, GxInt32 length, void* object, GxInt32 offset, GxInt32)
{
    if (length != kExtensionBytes) {
        return nullptr;
    }
    return GxStreamReadInt32(stream, static_cast<char*>(object) + offset, kExtensionBytes);
}

GxStream* Write(GxStream* stream, GxInt32, const void* object, GxInt32 offset, GxInt32)
{
    return GxStreamWriteInt32(stream, static_cast<const char*>(object) + offset, kExtensionBytes);
}

GxInt32 Size(const void*, GxInt32, GxInt32) { return kExtensionBytes; }

// The reader starts after the camera chunk's header, as an object holding a camera reads it.
GxCamera* Read(std::vector<GxUInt8> bytes)
{
    GxTestReadStream in(std::move(bytes), gxID_CAMERA);
    return in.Get() != nullptr ? GxCameraStreamRead(in.Get()) : nullptr;
}

std::vector<GxUInt8> Written(const GxCamera* camera)
{
    GxStream* out = GxStreamOpen(gxSTREAMMEMORY, gxSTREAMWRITE, nullptr);
    if (out == nullptr || GxCameraStreamWrite(camera, out) == nullptr) {
        std::abort();
    }
    return GxTestCloseWriteStream(out);
}

bool SameSettings(const GxCamera* a, const GxCamera* b)
{
    return a->viewWindow.x == b->viewWindow.x && a->viewWindow.y == b->viewWindow.y &&
           a->viewOffset.x == b->viewOffset.x && a->viewOffset.y == b->viewOffset.y && a->nearPlane == b->nearPlane &&
           a->farPlane == b->farPlane && GxCameraGetProjection(a) == GxCameraGetProjection(b);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    const bool started = GxTestProcessEngineStart(GxTestRecordingSetup([] {
        return GxCameraRegisterPlugin(kExtensionBytes, kFuzzPluginID, Construct, nullptr, Copy) >= 0 &&
               GxCameraRegisterPluginStream(kFuzzPluginID, Read, Write, Size) >= 0;
    }));
    if (!started) {
        std::abort();
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    GxCamera* camera = Read(std::vector<GxUInt8>(data, data + size));
    if (camera != nullptr) {
        const std::vector<GxUInt8> first = Written(camera);
        if (first.size() != gxCHUNKHEADERSIZE + static_cast<size_t>(GxCameraStreamGetSize(camera))) {
            std::abort();
        }
        GxCamera* copy = Read(first);
        if (copy == nullptr || !SameSettings(camera, copy) || Written(copy) != first) {
            std::abort();
        }
        GxCameraDestroy(copy);
        GxCameraDestroy(camera);
    }
    GxTestTakeError();
    return 0;
}
