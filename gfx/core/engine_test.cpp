// Tests of the engine lifecycle, its refusals out of order and the device request dispatcher.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "gfx/core/core_local.h"
#include "gfx/core/engine_testing.h"
#include "gfx/core/memory.h"

namespace {

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        GxTestMemoryReset();
        GxTestDeviceInstall();
        GxTestTakeError();
    }
    void TearDown() override { GxTestEngineShutdown(); }
    int window = 0;
};

TEST_F(EngineTest, LifecycleRunsTheDeviceRequestsInOrderAndMovesTheInstance)
{
    GxEngine* staticInstance = GxEngineInstance;
    ASSERT_TRUE(GxEngineInit(nullptr, 0, 0x400000));
    EXPECT_EQ(gxENGINESTATUSINITED, GxEngineInstance->engineStatus);
    EXPECT_EQ(0x400000u, GxEngineInstance->resArenaInitSize);
    EXPECT_EQ(static_cast<GxInt32>(sizeof(GxEngine)), GxEngineGetPluginOffset(0x40F));
    for (GxUInt32 id :
         {0x401u, 0x40Du, 0x402u, 0x403u, 0x404u, 0x405u, 0x406u, 0x407u, 0x408u, 0x409u, 0x412u, 0x40Bu}) {
        EXPECT_GE(GxEngineGetPluginOffset(id), GxEngineGetPluginOffset(0x40F)) << std::hex << id;
    }
    EXPECT_EQ(-1, GxEngineGetPluginOffset(0x40A));  // Im3D is the driver's module; the test driver has none

    ASSERT_TRUE(GxEngineOpen(&window));
    EXPECT_NE(staticInstance, GxEngineInstance);
    EXPECT_EQ(&window, gxTestDevice.lastOpenParams);
    EXPECT_EQ(&GxEngineInstance->memoryFuncs, gxTestDevice.memoryFuncs);
    EXPECT_EQ(GxTestDeviceSystem, GxEngineInstance->dOpenDevice.fpSystem);
    EXPECT_EQ(GxTestStandardFunction, GxEngineInstance->stdFunc[gxSTANDARDRASTERSHOWRASTER]);
    EXPECT_EQ(1, GxEngineGetOpenCount());
    EXPECT_EQ(gxENGINESTATUSOPENED, GxEngineInstance->engineStatus);

    ASSERT_TRUE(GxEngineStart());
    EXPECT_EQ(gxENGINESTATUSSTARTED, GxEngineInstance->engineStatus);
    ASSERT_TRUE(GxEngineStop());
    EXPECT_EQ(gxENGINESTATUSOPENED, GxEngineInstance->engineStatus);
    ASSERT_TRUE(GxEngineClose());
    EXPECT_EQ(staticInstance, GxEngineInstance);
    EXPECT_EQ(0, GxEngineGetOpenCount());
    ASSERT_TRUE(GxEngineTerm());
    EXPECT_EQ(gxENGINESTATUSIDLE, GxEngineInstance->engineStatus);
    EXPECT_EQ(-1, GxEngineGetPluginOffset(0x40F));

    const std::vector<GxInt32> expected = {4, 0, 11, 2, 17, 18, 3, 1};
    EXPECT_EQ(expected, gxTestDevice.requests);
    EXPECT_EQ(0x37002, GxEngineGetVersion());
}

TEST_F(EngineTest, CallsOutOfOrderAreRefusedAndChangeNothing)
{
    EXPECT_FALSE(GxEngineOpen(&window));
    EXPECT_EQ(gxERRENGINESTATE, GxTestTakeErrorCode());
    EXPECT_FALSE(GxEngineStart());
    EXPECT_FALSE(GxEngineTerm());

    ASSERT_TRUE(GxEngineInit(nullptr, 0, 0x400000));
    EXPECT_FALSE(GxEngineInit(nullptr, 0, 0x400000));
    EXPECT_FALSE(GxEngineStart());
    EXPECT_EQ(gxERRENGINESTATE, GxTestTakeErrorCode());
    EXPECT_FALSE(GxEngineClose());
    EXPECT_EQ(gxERRENGINESTATE, GxTestTakeErrorCode());
    EXPECT_FALSE(GxEngineOpen(nullptr));
    EXPECT_EQ(gxERRNULLARG, GxTestTakeErrorCode());

    ASSERT_TRUE(GxEngineOpen(&window));
    GxEngine* openInstance = GxEngineInstance;
    // A second init while open must neither repoint the engine nor swap its free-list functions.
    EXPECT_FALSE(GxEngineInit(nullptr, 1, 0));
    EXPECT_EQ(openInstance, GxEngineInstance);
    EXPECT_EQ(GxFreeListAlloc, GxEngineInstance->memoryAlloc);
    EXPECT_EQ(0x400000u, GxEngineInstance->resArenaInitSize);
    EXPECT_FALSE(GxEngineTerm());
    EXPECT_EQ(1, GxEngineGetOpenCount());
    EXPECT_FALSE(GxEngineStop());
    EXPECT_FALSE(GxEngineOpen(&window));

    ASSERT_TRUE(GxEngineStart());
    EXPECT_FALSE(GxEngineStart());
    EXPECT_FALSE(GxEngineClose());  // modules still open
    EXPECT_EQ(gxENGINESTATUSSTARTED, GxEngineInstance->engineStatus);
    EXPECT_FALSE(GxEngineInit(nullptr, 0, 0));
    EXPECT_EQ(openInstance, GxEngineInstance);
}

TEST_F(EngineTest, RegistrationIsClosedWhileTheEngineIsOpen)
{
    ASSERT_TRUE(GxEngineInit(nullptr, 0, 0x400000));
    ASSERT_TRUE(GxEngineOpen(&window));
    EXPECT_EQ(-1, GxEngineRegisterPlugin(8, 0x7001, nullptr, nullptr));
    EXPECT_EQ(gxERRPLUGINREG, GxTestTakeErrorCode());
    ASSERT_TRUE(GxEngineClose());
    GxInt32 offset = GxEngineRegisterPlugin(8, 0x7001, nullptr, nullptr);
    EXPECT_GE(offset, static_cast<GxInt32>(sizeof(GxEngine)));
    EXPECT_EQ(0, offset % 8);
}

TEST_F(EngineTest, FailedOpenLeavesTheStaticInstanceCurrent)
{
    ASSERT_TRUE(GxEngineInit(&gxTestMemoryFunctions, 0, 0x400000));
    GxEngine* staticInstance = GxEngineInstance;
    gxTestDevice.failRequest = gxDEVICESYSTEMOPEN;
    const int freesBefore = gxTestMemory.frees;
    EXPECT_FALSE(GxEngineOpen(&window));
    EXPECT_EQ(staticInstance, GxEngineInstance);
    EXPECT_EQ(gxENGINESTATUSINITED, GxEngineInstance->engineStatus);
    EXPECT_EQ(0, GxEngineGetOpenCount());
    EXPECT_EQ(freesBefore + 1, gxTestMemory.frees);

    // No memory for the instance.
    gxTestDevice.failRequest = -1;
    gxTestMemory.mallocFailAfter = 0;
    GxTestTakeError();
    EXPECT_FALSE(GxEngineOpen(&window));
    EXPECT_EQ(gxERRNOMEMORY, GxTestTakeErrorCode());
    EXPECT_EQ(staticInstance, GxEngineInstance);
    gxTestMemory.mallocFailAfter = -1;
    EXPECT_TRUE(GxEngineOpen(&window));
    EXPECT_EQ(gxMEMHINTDURGLOBAL, gxTestMemory.mallocs.back().second);
}

TEST_F(EngineTest, FailedStartUnwindsTheModulesAndStopsTheDevice)
{
    static std::vector<int> calls;
    calls.clear();
    ASSERT_TRUE(GxEngineInit(nullptr, 0, 0x400000));
    auto openA = [](void* o, GxInt32, GxInt32) -> void* {
        calls.push_back(1);
        return o;
    };
    auto closeA = [](void* o, GxInt32, GxInt32) -> void* {
        calls.push_back(-1);
        return o;
    };
    auto openB = [](void*, GxInt32, GxInt32) -> void* {
        calls.push_back(2);
        return nullptr;
    };
    auto closeB = [](void* o, GxInt32, GxInt32) -> void* {
        calls.push_back(-2);
        return o;
    };
    ASSERT_GE(GxEngineRegisterPlugin(4, 0x7002, openA, closeA), 0);
    ASSERT_GE(GxEngineRegisterPlugin(4, 0x7003, openB, closeB), 0);
    ASSERT_TRUE(GxEngineOpen(&window));
    gxTestDevice.requests.clear();
    EXPECT_FALSE(GxEngineStart());
    EXPECT_EQ(gxENGINESTATUSOPENED, GxEngineInstance->engineStatus);
    EXPECT_EQ((std::vector<int>{1, 2, -1}), calls);
    EXPECT_EQ((std::vector<GxInt32>{2, 3}), gxTestDevice.requests);
    // The core modules opened before the failure were closed again: the engine still closes cleanly.
    EXPECT_TRUE(GxEngineClose());
    EXPECT_TRUE(GxEngineTerm());
}

TEST_F(EngineTest, FailedDeviceStopDoesNotCloseTheModulesTwice)
{
    static int closes = 0;
    closes = 0;
    ASSERT_TRUE(GxEngineInit(nullptr, 0, 0x400000));
    auto close = [](void* o, GxInt32, GxInt32) -> void* {
        closes++;
        return o;
    };
    ASSERT_GE(GxEngineRegisterPlugin(4, 0x7004, nullptr, close), 0);
    ASSERT_TRUE(GxEngineOpen(&window));
    ASSERT_TRUE(GxEngineStart());
    gxTestDevice.failRequest = gxDEVICESYSTEMSTOP;
    EXPECT_FALSE(GxEngineStop());
    EXPECT_FALSE(GxEngineStop());
    EXPECT_EQ(1, closes);
    gxTestDevice.failRequest = -1;
}

TEST_F(EngineTest, QueriesFallBackToTheDispatcherDefaults)
{
    ASSERT_TRUE(GxEngineInit(nullptr, 0, 0x400000));
    ASSERT_TRUE(GxEngineOpen(&window));
    EXPECT_EQ(1, GxEngineGetNumSubSystems());
    EXPECT_EQ(0, GxEngineGetCurrentSubSystem());
    GxSubSystemInfo info = {};
    ASSERT_EQ(&info, GxEngineGetSubSystemInfo(&info, 0));
    EXPECT_STREQ("Only rendering sub system", info.name);
    GxTestTakeError();
    EXPECT_EQ(nullptr, GxEngineGetSubSystemInfo(&info, 1));
    GxError error = GxTestTakeError();
    EXPECT_EQ(1, error.pluginID);
    EXPECT_EQ(gxERRDEVICEREQUEST, error.errorCode);
    EXPECT_TRUE(GxEngineSetSubSystem(0));
    EXPECT_FALSE(GxEngineSetSubSystem(1));
    EXPECT_EQ(-1, GxEngineGetNumVideoModes());
    GxVideoMode mode;
    EXPECT_EQ(nullptr, GxEngineGetVideoModeInfo(&mode, 0));
    EXPECT_EQ(-1, GxEngineGetCurrentVideoMode());
    EXPECT_FALSE(GxEngineSetVideoMode(0));
}

TEST_F(EngineTest, CloseCopiesTheCoreWordsBackIntoTheStaticInstance)
{
    ASSERT_TRUE(GxEngineInit(&gxTestMemoryFunctions, 0, 0x1234));
    ASSERT_TRUE(GxEngineOpen(&window));
    GxEngineInstance->curWorld = reinterpret_cast<GxWorld*>(&window);
    GxEngineInstance->dOpenDevice.gammaCorrection = 1.5f;
    ASSERT_TRUE(GxEngineClose());
    EXPECT_EQ(reinterpret_cast<GxWorld*>(&window), GxEngineInstance->curWorld);
    EXPECT_EQ(1.5f, GxEngineInstance->dOpenDevice.gammaCorrection);
    EXPECT_EQ(GxTestMalloc, GxEngineInstance->memoryFuncs.gxMalloc);
    EXPECT_EQ(gxENGINESTATUSINITED, GxEngineInstance->engineStatus);
    EXPECT_EQ(0x1234u, GxEngineInstance->resArenaInitSize);
}

TEST_F(EngineTest, FailedInitUndoesEverythingAndCanBeRetried)
{
    gxTestDevice.rasterExtensionResult = 0;
    EXPECT_FALSE(GxEngineInit(nullptr, 0, 0x400000));
    EXPECT_EQ(gxENGINESTATUSIDLE, GxEngineInstance->engineStatus);
    EXPECT_EQ(-1, GxEngineGetPluginOffset(0x40F));

    gxTestDevice.rasterExtensionResult = 1;
    gxTestMemory.mallocFailAfter = 0;
    EXPECT_FALSE(GxEngineInit(&gxTestMemoryFunctions, 0, 0x400000));
    EXPECT_EQ(gxENGINESTATUSIDLE, GxEngineInstance->engineStatus);

    gxTestMemory.mallocFailAfter = -1;
    ASSERT_TRUE(GxEngineInit(nullptr, 0, 0x400000));
    EXPECT_EQ(static_cast<GxInt32>(sizeof(GxEngine)), GxEngineGetPluginOffset(0x40F));
}

GxBool driverModulesResult = 1;
const GxCoreModule driverModule = {0x7F02, 8, nullptr, nullptr};
GxBool RegisterDriverModules(void) { return driverModulesResult && GxEngineRegisterModule(&driverModule); }
const GxDriver driverWithModules = {GxTestDeviceGet, GxTestDeviceRasterExtension, RegisterDriverModules};

TEST_F(EngineTest, DriverModulesRegisterAtTheDriverSlotAndTheirFailureUndoesInit)
{
    GxEngineSetDriver(&driverWithModules);
    driverModulesResult = 0;
    EXPECT_FALSE(GxEngineInit(nullptr, 0, 0x400000));
    EXPECT_EQ(gxENGINESTATUSIDLE, GxEngineInstance->engineStatus);
    EXPECT_EQ(-1, GxEngineGetPluginOffset(0x40F));

    driverModulesResult = 1;
    ASSERT_TRUE(GxEngineInit(nullptr, 0, 0x400000));
    const GxInt32 offset = GxEngineGetPluginOffset(0x7F02);
    EXPECT_GT(offset, GxEngineGetPluginOffset(0x412));
    EXPECT_EQ(offset + 8, GxEngineGetPluginOffset(0x40B));
}

TEST_F(EngineTest, WithoutADriverEveryRequestIsUnhandled)
{
    GxEngineSetDriver(nullptr);
    ASSERT_TRUE(GxEngineInit(nullptr, 0, 0x400000));
    EXPECT_FALSE(GxEngineOpen(&window));
    EXPECT_EQ(gxERRDEVICEREQUEST, GxTestTakeErrorCode());
    EXPECT_EQ(gxENGINESTATUSINITED, GxEngineInstance->engineStatus);
    EXPECT_TRUE(GxEngineTerm());
}

}  // namespace
