// Tests of cameras: z scale and shift, setters and their refusals, view matrix and frustum, update bracket and
// chunk.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <vector>

#include "gfx/core/bytes.h"
#include "gfx/core/camera.h"
#include "gfx/core/engine_testing.h"
#include "gfx/core/memory.h"
#include "gfx/core/plugin.h"
#include "gfx/core/stream.h"
#include "gfx/testsupport/engine_gtest.h"

namespace {

struct FakeCameraDevice {
    std::vector<GxCamera*> begins;
    std::vector<GxCamera*> ends;
    bool refuseBegin = false;
    GxCamera* currentAtBegin = nullptr;
};
FakeCameraDevice fake;

GxBool FakeBegin(void*, void* inOut, GxInt32)
{
    fake.begins.push_back(static_cast<GxCamera*>(inOut));
    fake.currentAtBegin = GxEngineInstance->curCamera;
    return fake.refuseBegin ? 0 : 1;
}
GxBool FakeEnd(void*, void* inOut, GxInt32)
{
    fake.ends.push_back(static_cast<GxCamera*>(inOut));
    return 1;
}

void* ZeroExtension(void* object, GxInt32 offset, GxInt32)
{
    *reinterpret_cast<GxInt32*>(static_cast<char*>(object) + offset) = 0;
    return object;
}
void* KeepExtension(void* object, GxInt32, GxInt32) { return object; }

void ExpectV3d(const GxV3d& v, GxReal x, GxReal y, GxReal z)
{
    EXPECT_NEAR(v.x, x, 1e-4f);
    EXPECT_NEAR(v.y, y, 1e-4f);
    EXPECT_NEAR(v.z, z, 1e-4f);
}

GxV3d Apply(const GxMatrix& m, const GxV3d& p)
{
    return {p.x * m.right.x + p.y * m.up.x + p.z * m.at.x + m.pos.x,
            p.x * m.right.y + p.y * m.up.y + p.z * m.at.y + m.pos.y,
            p.x * m.right.z + p.y * m.up.z + p.z * m.at.z + m.pos.z};
}

class Camera : public ::testing::Test {
protected:
    void SetUp() override
    {
        fake = FakeCameraDevice();
        engine.emplace(GxTestRecordingSetup([this] {
            extOffset = GxCameraRegisterPlugin(4, 0xF0F1, ZeroExtension, KeepExtension, nullptr);
            return extOffset >= 0;
        }));
        GX_ASSERT_ENGINE_STARTED(*engine);
        GxEngineInstance->stdFunc[gxSTANDARDBEGINUPDATE] = FakeBegin;
        GxEngineInstance->stdFunc[gxSTANDARDENDUPDATE] = FakeEnd;
        GxTestTakeErrorCode();
    }
    void TearDown() override
    {
        for (GxCamera* camera : cameras) {
            GxCameraDestroy(camera);
        }
        for (GxFrame* frame : frames) {
            GxFrameDestroy(frame);
        }
        engine.reset();
    }

    GxCamera* Make()
    {
        GxCamera* camera = GxCameraCreate();
        EXPECT_NE(camera, nullptr);
        cameras.push_back(camera);
        return camera;
    }
    // A camera on a frame of its own, synchronised.
    GxCamera* MakeFramed()
    {
        GxCamera* camera = Make();
        GxFrame* frame = GxFrameCreate();
        frames.push_back(frame);
        camera->object.object.parent = frame;
        GxLinkAddAfter(&frame->objectList, &camera->object.inFrameList);
        Sync(camera);
        return camera;
    }
    void Sync(GxCamera* camera)
    {
        GxFrameSetDirty(GxCameraGetFrame(camera));
        GxFrameSyncDirty();
    }
    GxReal ZOf(const GxCamera* camera, GxReal value) { return value * camera->zScale + camera->zShift; }

    GxInt32 extOffset = -1;
    std::optional<GxTestEngine> engine;
    std::vector<GxCamera*> cameras;
    std::vector<GxFrame*> frames;
};

// Extension lengths are held to the bytes that follow before any plugin sees them: a plugin sizes
// its data from the length it is handed.
TEST_F(Camera, ExtensionLengthsBeyondTheStreamReachNoPlugin)
{
    static GxInt32 handed;
    handed = 0;
    GxCameraRegisterPluginStream(
        0xF0F1,
        [](GxStream* stream, GxInt32 length, void* object, GxInt32, GxInt32) -> GxStream* {
            handed = length;
            return object != nullptr && GxStreamSkip(stream, static_cast<GxUInt32>(length)) ? stream : nullptr;
        },
        nullptr, nullptr);
    GxStream* out = GxStreamOpen(gxSTREAMMEMORY, gxSTREAMWRITE, nullptr);
    GxCamera* camera = Make();
    ASSERT_EQ(GxCameraStreamWrite(camera, out), camera);
    std::vector<GxUInt8> bytes = GxTestCloseWriteStream(out);
    // Camera header, struct header and body, then an extension chunk claiming nearly 4 GiB.
    bytes.resize(12 + 12 + 32);
    const GxUInt32 words[] = {gxID_EXTENSION, 0xFFFFFFF0u, 0x1C02000A, 0xF0F1, 0x7FFFFF00u, 0x1C02000A};
    for (GxUInt32 word : words) {
        GxBytesAppend(&bytes, word);
    }
    bytes.resize(bytes.size() + 16, 0);
    GxTestReadStream in(bytes, gxID_CAMERA);
    ASSERT_NE(in.Get(), nullptr);
    EXPECT_EQ(GxCameraStreamRead(in.Get()), nullptr);
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRENDOFSTREAM);
    EXPECT_EQ(handed, 0);
}

}  // namespace

TEST_F(Camera, DefaultsAndZRangeFromTheDevice)
{
    GxCamera* camera = Make();
    // Perspective: 1/near maps to the start of the range, 1/far to its end, each pulled in by 1/10000.
    EXPECT_NEAR(ZOf(camera, 1.0f / 0.05f), 0.0001f, 1e-5f);
    EXPECT_NEAR(ZOf(camera, 1.0f / 10.0f), 0.9999f, 1e-5f);

    GxCameraSetProjection(camera, gxPARALLEL);
    EXPECT_NEAR(ZOf(camera, 0.05f), 0.0001f, 1e-5f);
    EXPECT_NEAR(ZOf(camera, 10.0f), 0.9999f, 1e-5f);

    // The device's z range is read at every change.
    GxEngineInstance->dOpenDevice.zBufferNear = 0.5f;
    GxEngineInstance->dOpenDevice.zBufferFar = 1.0f;
    GxCameraSetFarClipPlane(camera, 20.0f);
    EXPECT_NEAR(ZOf(camera, 0.05f), 0.50005f, 1e-5f);
    EXPECT_NEAR(ZOf(camera, 20.0f), 0.99995f, 1e-5f);
}

TEST_F(Camera, SettersStoreWhatTheyAreGiven)
{
    GxCamera* camera = Make();
    EXPECT_EQ(GxCameraSetProjection(camera, 3), nullptr);
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRINVALIDENUM);
    EXPECT_EQ(camera->projectionType, gxPERSPECTIVE);

    const GxReal nan = std::numeric_limits<GxReal>::quiet_NaN();
    const GxReal inf = std::numeric_limits<GxReal>::infinity();
    const GxV2d zero = {0.0f, 1.0f};
    const GxV2d notANumber = {nan, 1.0f};
    const GxReal held = camera->zScale;
    ASSERT_EQ(GxCameraSetViewWindow(camera, &zero), camera);
    EXPECT_TRUE(std::isinf(camera->recipViewWindow.x));
    ASSERT_EQ(GxCameraSetViewOffset(camera, &notANumber), camera);
    EXPECT_TRUE(std::isnan(camera->viewOffset.x));
    ASSERT_EQ(GxCameraSetNearClipPlane(camera, nan), camera);
    EXPECT_TRUE(std::isnan(camera->nearPlane));
    EXPECT_FLOAT_EQ(camera->zScale, held);  // 1/NaN gives no z scale
    ASSERT_EQ(GxCameraSetFarClipPlane(camera, inf), camera);
    EXPECT_TRUE(std::isinf(camera->farPlane));
    const GxV2d one = {1.0f, 1.0f};
    const GxV2d none = {0.0f, 0.0f};
    GxCameraSetViewWindow(camera, &one);
    GxCameraSetViewOffset(camera, &none);
    GxCameraSetNearClipPlane(camera, 0.05f);
    GxCameraSetFarClipPlane(camera, 10.0f);

    // A perspective near plane at 0 is stored; 1/0 has no z scale, so the last one stays.
    const GxReal scale = camera->zScale;
    ASSERT_EQ(GxCameraSetNearClipPlane(camera, 0.0f), camera);
    EXPECT_FLOAT_EQ(camera->nearPlane, 0.0f);
    EXPECT_FLOAT_EQ(camera->zScale, scale);
    ASSERT_EQ(GxCameraSetNearClipPlane(camera, -2.0f), camera);
    EXPECT_NEAR(ZOf(camera, -0.5f), 0.0001f, 1e-5f);
    EXPECT_NEAR(ZOf(camera, 0.1f), 0.9999f, 1e-5f);

    // Near equal to far for a moment keeps finite values until far moves on.
    ASSERT_EQ(GxCameraSetNearClipPlane(camera, 10.0f), camera);
    EXPECT_TRUE(std::isfinite(camera->zScale));
    ASSERT_EQ(GxCameraSetFarClipPlane(camera, 100.0f), camera);
    EXPECT_NEAR(ZOf(camera, 1.0f / 10.0f), 0.0001f, 1e-5f);

    ASSERT_EQ(GxCameraSetProjection(camera, gxPARALLEL), camera);
    EXPECT_EQ(GxCameraSetNearClipPlane(camera, -2.0f), camera);
    EXPECT_NEAR(ZOf(camera, -2.0f), 0.0001f, 1e-5f);

    // A negative window mirrors the view.
    const GxV2d window = {2.0f, -0.5f};
    ASSERT_EQ(GxCameraSetViewWindow(camera, &window), camera);
    EXPECT_FLOAT_EQ(camera->recipViewWindow.x, 0.5f);
    EXPECT_FLOAT_EQ(camera->recipViewWindow.y, -2.0f);
}

TEST_F(Camera, PerspectiveViewMatrixFrustumAndBox)
{
    GxCamera* camera = MakeFramed();
    GxCameraSetNearClipPlane(camera, 1.0f);
    GxCameraSetFarClipPlane(camera, 10.0f);
    GxFrameSyncDirty();

    // The view centre at distance d projects to (0.5, 0.5); the window's +right edge to x = 0.
    const GxV3d centre = Apply(camera->viewMatrix, {0.0f, 0.0f, 4.0f});
    EXPECT_NEAR(centre.x / centre.z, 0.5f, 1e-5f);
    EXPECT_NEAR(centre.y / centre.z, 0.5f, 1e-5f);
    EXPECT_NEAR(centre.z, 4.0f, 1e-5f);
    const GxV3d edge = Apply(camera->viewMatrix, {4.0f, 4.0f, 4.0f});
    EXPECT_NEAR(edge.x / edge.z, 0.0f, 1e-5f);
    EXPECT_NEAR(edge.y / edge.z, 0.0f, 1e-5f);

    ExpectV3d(camera->frustumCorners[0], 1.0f, 1.0f, 1.0f);
    ExpectV3d(camera->frustumCorners[2], -1.0f, -1.0f, 1.0f);
    ExpectV3d(camera->frustumCorners[5], -10.0f, 10.0f, 10.0f);
    const GxFrustumPlane* planes = camera->frustumPlanes;
    ExpectV3d(planes[gxFRUSTUMFAR].plane.normal, 0.0f, 0.0f, 1.0f);
    EXPECT_NEAR(planes[gxFRUSTUMFAR].plane.distance, 10.0f, 1e-4f);
    ExpectV3d(planes[gxFRUSTUMNEAR].plane.normal, 0.0f, 0.0f, -1.0f);
    EXPECT_NEAR(planes[gxFRUSTUMNEAR].plane.distance, -1.0f, 1e-4f);
    const GxReal h = std::sqrt(0.5f);
    ExpectV3d(planes[gxFRUSTUMLEFT].plane.normal, -h, 0.0f, -h);
    ExpectV3d(planes[gxFRUSTUMTOP].plane.normal, 0.0f, h, -h);
    ExpectV3d(planes[gxFRUSTUMRIGHT].plane.normal, h, 0.0f, -h);
    ExpectV3d(planes[gxFRUSTUMBOTTOM].plane.normal, 0.0f, -h, -h);
    EXPECT_NEAR(planes[gxFRUSTUMLEFT].plane.distance, 0.0f, 1e-4f);
    EXPECT_EQ(planes[gxFRUSTUMLEFT].closestX, 0);
    EXPECT_EQ(planes[gxFRUSTUMTOP].closestY, 1);
    EXPECT_EQ(planes[gxFRUSTUMRIGHT].closestX, 1);
    ExpectV3d(camera->frustumBoundBox.sup, 10.0f, 10.0f, 10.0f);
    ExpectV3d(camera->frustumBoundBox.inf, -10.0f, -10.0f, 1.0f);

    // On the axis at half the far distance, larger than the distance to the far plane: crossing.
    const GxSphere crossing = {{0.0f, 0.0f, 5.0f}, 5.5f};
    const GxSphere inside = {{0.0f, 0.0f, 5.0f}, 1.0f};
    const GxSphere beyond = {{0.0f, 0.0f, 12.0f}, 1.0f};
    const GxSphere aside = {{-20.0f, 0.0f, 5.0f}, 1.0f};
    EXPECT_EQ(GxCameraFrustumTestSphere(camera, &crossing), gxSPHEREBOUNDARY);
    EXPECT_EQ(GxCameraFrustumTestSphere(camera, &inside), gxSPHEREINSIDE);
    EXPECT_EQ(GxCameraFrustumTestSphere(camera, &beyond), gxSPHEREOUTSIDE);
    EXPECT_EQ(GxCameraFrustumTestSphere(camera, &aside), gxSPHEREOUTSIDE);
}

TEST_F(Camera, FrustumFollowsTheFrameAndTheParallelProjection)
{
    GxCamera* camera = MakeFramed();
    GxCameraSetNearClipPlane(camera, 1.0f);
    GxCameraSetFarClipPlane(camera, 10.0f);
    GxCameraSetProjection(camera, gxPARALLEL);
    const GxV3d move = {5.0f, 0.0f, 0.0f};
    GxFrameTranslate(GxCameraGetFrame(camera), &move, gxCOMBINEREPLACE);
    GxFrameSyncDirty();

    // A box of the window's size along the view direction.
    ExpectV3d(camera->frustumCorners[0], 6.0f, 1.0f, 1.0f);
    ExpectV3d(camera->frustumCorners[6], 4.0f, -1.0f, 10.0f);
    ExpectV3d(camera->frustumPlanes[gxFRUSTUMLEFT].plane.normal, -1.0f, 0.0f, 0.0f);
    EXPECT_NEAR(camera->frustumPlanes[gxFRUSTUMLEFT].plane.distance, -4.0f, 1e-4f);
    ExpectV3d(camera->frustumBoundBox.inf, 4.0f, -1.0f, 1.0f);
    const GxV3d centre = Apply(camera->viewMatrix, {5.0f, 0.0f, 7.0f});
    EXPECT_NEAR(centre.x, 0.5f, 1e-5f);
    EXPECT_NEAR(centre.y, 0.5f, 1e-5f);
    EXPECT_NEAR(centre.z, 7.0f, 1e-5f);

    // A view offset shifts the perspective corners' origin.
    GxCameraSetProjection(camera, gxPERSPECTIVE);
    const GxV2d offset = {0.5f, 0.0f};
    GxCameraSetViewOffset(camera, &offset);
    GxFrameSyncDirty();
    ExpectV3d(camera->frustumCorners[0], 6.0f, 1.0f, 1.0f);
    ExpectV3d(camera->frustumCorners[4], 19.5f, 10.0f, 10.0f);
}

TEST_F(Camera, UpdateBracketThroughTheDevice)
{
    GxCamera* camera = MakeFramed();
    ASSERT_EQ(GxCameraBeginUpdate(camera), camera);
    EXPECT_EQ(fake.currentAtBegin, camera);
    EXPECT_EQ(GxEngineInstance->curCamera, camera);
    ASSERT_EQ(GxCameraEndUpdate(camera), camera);
    EXPECT_EQ(GxEngineInstance->curCamera, nullptr);
    EXPECT_EQ(fake.ends.size(), 1u);

    // A refused begin returns null and leaves the camera current.
    fake.refuseBegin = true;
    EXPECT_EQ(GxCameraBeginUpdate(camera), nullptr);
    EXPECT_EQ(GxEngineInstance->curCamera, camera);

    // A camera without a frame runs its callback like any other: it becomes current and the device is asked
    // (the device decides whether it can build a view).
    GxCamera* loose = Make();
    const size_t asked = fake.begins.size();
    fake.refuseBegin = false;
    EXPECT_EQ(GxCameraBeginUpdate(loose), loose);
    EXPECT_EQ(fake.begins.size(), asked + 1);
    EXPECT_EQ(GxEngineInstance->curCamera, loose);
    GxCameraEndUpdate(loose);

    // A destroyed camera does not stay current.
    GxCameraDestroy(camera);
    cameras.erase(cameras.begin());
    EXPECT_EQ(GxEngineInstance->curCamera, nullptr);
    EXPECT_TRUE(GxLinkIsEmpty(&frames[0]->objectList));
}

TEST_F(Camera, ChunkRoundTripAndBadChunks)
{
    GxCamera* camera = Make();
    const GxV2d window = {0.6f, 0.45f};
    const GxV2d offset = {0.1f, -0.2f};
    GxCameraSetViewWindow(camera, &window);
    GxCameraSetViewOffset(camera, &offset);
    GxCameraSetFarClipPlane(camera, 500.0f);
    camera->fogPlane = 250.0f;
    GxCameraSetProjection(camera, gxPARALLEL);
    ASSERT_EQ(GxCameraSetNearClipPlane(camera, 0.0f), camera);  // a parallel camera's near plane may be 0

    GxStream* out = GxStreamOpen(gxSTREAMMEMORY, gxSTREAMWRITE, nullptr);
    ASSERT_NE(out, nullptr);
    ASSERT_EQ(GxCameraStreamWrite(camera, out), camera);
    GxMemory memory = {};
    GxStreamClose(out, &memory);
    ASSERT_EQ(memory.length, static_cast<GxUInt32>(12 + GxCameraStreamGetSize(camera)));

    auto readBack = [&](GxMemory* source) {
        GxStream* in = GxStreamOpen(gxSTREAMMEMORY, gxSTREAMREAD, source);
        GxCamera* read = nullptr;
        if (GxStreamFindChunk(in, gxID_CAMERA, nullptr, nullptr)) {
            read = GxCameraStreamRead(in);
        }
        GxStreamClose(in, nullptr);
        return read;
    };
    GxCamera* read = readBack(&memory);
    ASSERT_NE(read, nullptr);
    cameras.push_back(read);
    // View window, its reciprocals and the offset, then near and far.
    EXPECT_EQ(std::memcmp(&read->viewWindow, &camera->viewWindow, 3 * sizeof(GxV2d) + 2 * sizeof(GxReal)), 0);
    EXPECT_FLOAT_EQ(read->fogPlane, 250.0f);
    EXPECT_EQ(read->projectionType, gxPARALLEL);
    EXPECT_FLOAT_EQ(read->zScale, camera->zScale);

    // Struct body starts after two headers: a zero view window, a bad projection and a bad version are refused.
    const GxUInt32 body = 24;
    std::vector<GxUInt8> bytes(memory.start, memory.start + memory.length);
    GxFree(memory.start);
    auto corrupt = [&](GxUInt32 at, GxUInt32 value) {
        std::vector<GxUInt8> copy = bytes;
        std::memcpy(copy.data() + at, &value, 4);
        GxMemory source = {copy.data(), static_cast<GxUInt32>(copy.size())};
        return readBack(&source);
    };
    EXPECT_EQ(corrupt(body + 0, 0), nullptr);
    EXPECT_EQ(corrupt(body + 4, 0), nullptr);
    EXPECT_EQ(corrupt(body + 28, 7), nullptr);
    EXPECT_EQ(GxTestTakeErrorCode(), gxERRINVALIDENUM);
    EXPECT_EQ(corrupt(20, 0x300), nullptr);  // struct header stamped with an old version
    GxTestTakeErrorCode();
    // None of the seven values read may be infinite or not a number.
    for (GxUInt32 at = body; at < body + 28; at += 4) {
        EXPECT_EQ(corrupt(at, 0x7FC00000u), nullptr) << at;
        EXPECT_EQ(GxTestTakeErrorCode(), gxERRINVALIDENUM) << at;
        EXPECT_EQ(corrupt(at, 0x7F800000u), nullptr) << at;
        EXPECT_EQ(GxTestTakeErrorCode(), gxERRINVALIDENUM) << at;
    }
    // A struct chunk shorter than 32 bytes.
    EXPECT_EQ(corrupt(16, 8), nullptr);
}
