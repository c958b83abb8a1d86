// The graphics core on its own: this program links only gfx_core and platform_win32, and opens and starts
// the engine with a driver of its own, so the core cannot reach the Direct3D 9 driver or anything above it.
#include <gtest/gtest.h>

#include <vector>

#include "gfx/core/engine.h"

namespace {

constexpr GxUInt32 kDriverModuleID = 0x7F01;
constexpr GxUInt32 kNameRecordModuleID = 0x412;
constexpr GxUInt32 kResourcesModuleID = 0x40B;
constexpr GxUInt32 kIm3DModuleID = 0x40A;

std::vector<GxInt32> requests;
int driverModuleOpens = 0;
int driverModuleCloses = 0;

GxBool DeviceSystem(GxInt32 request, void* out, void*, GxInt32 in);

GxDevice deviceRecord = {1.0f, DeviceSystem, 0.0f, 1.0f, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, {}};

GxBool StandardFunction(void*, void*, GxInt32) { return 1; }

GxBool DeviceSystem(GxInt32 request, void* out, void*, GxInt32 in)
{
    requests.push_back(request);
    switch (request) {
    case gxDEVICESYSTEMREGISTER:
        *static_cast<GxDevice*>(out) = deviceRecord;
        return 1;
    case gxDEVICESYSTEMSTANDARDS:
        for (GxInt32 i = 0; i < in; i++) {
            static_cast<GxStandardFunc*>(out)[i] = StandardFunction;
        }
        return 1;
    case gxDEVICESYSTEMOPEN:
    case gxDEVICESYSTEMCLOSE:
    case gxDEVICESYSTEMSTART:
    case gxDEVICESYSTEMSTOP:
        return 1;
    default:
        return 0;
    }
}

void* DriverModuleOpen(void* instance, GxInt32, GxInt32)
{
    driverModuleOpens++;
    return instance;
}

void* DriverModuleClose(void* instance, GxInt32, GxInt32)
{
    driverModuleCloses++;
    return instance;
}

const GxCoreModule driverModule = {kDriverModuleID, 16, DriverModuleOpen, DriverModuleClose};

GxDevice* GetDevice(void) { return &deviceRecord; }
GxBool RegisterModules(void) { return GxEngineRegisterModule(&driverModule); }

const GxDriver driver = {GetDevice, nullptr, RegisterModules};

TEST(CoreStandalone, OpensAndStartsWithADriverOfItsOwn)
{
    GxEngineSetDriver(&driver);
    ASSERT_TRUE(GxEngineInit(nullptr, 0, 0x400000));
    // The driver's module sits at the driver's slot of the module order; the core has no Im3D of its own.
    EXPECT_GT(GxEngineGetPluginOffset(kDriverModuleID), GxEngineGetPluginOffset(kNameRecordModuleID));
    EXPECT_LT(GxEngineGetPluginOffset(kDriverModuleID), GxEngineGetPluginOffset(kResourcesModuleID));
    EXPECT_EQ(-1, GxEngineGetPluginOffset(kIm3DModuleID));

    static int window = 0;
    ASSERT_TRUE(GxEngineOpen(&window));
    ASSERT_TRUE(GxEngineStart());
    EXPECT_EQ(gxENGINESTATUSSTARTED, GxEngineInstance->engineStatus);
    EXPECT_EQ(1, driverModuleOpens);
    EXPECT_EQ(StandardFunction, GxEngineInstance->stdFunc[gxSTANDARDRASTERCREATE]);

    EXPECT_TRUE(GxEngineStop());
    EXPECT_EQ(1, driverModuleCloses);
    EXPECT_TRUE(GxEngineClose());
    EXPECT_TRUE(GxEngineTerm());
    const std::vector<GxInt32> expected = {
        gxDEVICESYSTEMREGISTER,      gxDEVICESYSTEMOPEN,         gxDEVICESYSTEMSTANDARDS, gxDEVICESYSTEMSTART,
        gxDEVICESYSTEMFINALIZESTART, gxDEVICESYSTEMINITIATESTOP, gxDEVICESYSTEMSTOP,      gxDEVICESYSTEMCLOSE};
    EXPECT_EQ(expected, requests);
    GxEngineSetDriver(nullptr);
}

}  // namespace
