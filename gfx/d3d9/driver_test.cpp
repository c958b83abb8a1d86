// Tests of the driver record: the driver's own modules register at the driver's slot of the core's module
// order, so the engine instance keeps the layout the library has always had.
#include <gtest/gtest.h>

#include "gfx/core/engine_testing.h"
#include "gfx/core/plugin.h"
#include "gfx/d3d9/d3d9drv.h"
#include "gfx/d3d9/im3d.h"
#include "gfx/testsupport/engine_gtest.h"

namespace {

TEST(D3D9Driver, ModuleOffsetsKeepTheLibrarysLayout)
{
    GxTestEngineSetup setup;
    setup.start = false;
    setup.files = false;
    GxTestEngine engine(setup);
    GX_ASSERT_ENGINE_STARTED(engine);
    // The order the modules registered in when the core listed Im3D among its own.
    const GxCoreModule* const layout[] = {
        &gxErrorModule,    &gxVectorModule,     &gxEmptyModule, &gxMatrixModule,    &gxFrameModule,
        &gxStreamModule,   &gxCameraModule,     &gxImageModule, &gxRasterModule,    &gxTextureModule,
        &gxPipelineModule, &gxNameRecordModule, &gxIm3DModule,  &gxResourcesModule,
    };
    static GxPluginRegistry expected = GxPluginRegistryInitializer(sizeof(GxEngine), 0);
    for (const GxCoreModule* module : layout) {
        const GxInt32 offset =
            GxPluginRegistryAddPlugin(&expected, module->blockSize, module->pluginID, nullptr, nullptr, nullptr);
        EXPECT_EQ(offset, GxEngineGetPluginOffset(module->pluginID)) << std::hex << module->pluginID;
    }
    // Nothing else registered between them: the next plugin lands where the expected layout ends.
    EXPECT_EQ(GxPluginRegistryAddPlugin(&expected, 4, 0x7F03, nullptr, nullptr, nullptr),
              GxEngineRegisterPlugin(4, 0x7F03, nullptr, nullptr));
}

}  // namespace
