// The driver's start-up table.
#include "gfx/core/startup.h"

#include "gfx/d3d9/d3d9drv.h"
#include "gfx/d3d9/dds.h"
#include "gfx/d3d9/matfx.h"
#include "gfx/d3d9/ptank.h"
#include "gfx/d3d9/sectorpipe.h"
#include "gfx/d3d9/skinpipe.h"

const GxStartup* GxD3D9GetStartup(void)
{
    static const GxStartup startup = {
        GxD3D9GetDriver(),
        GxD3D9SetRefreshRate,
        GxD3D9SectorPluginAttach,
        GxD3D9SkinPluginAttach,
        GxD3D9MaterialEffectsPluginAttach,
        GxD3D9ParticleTankPluginAttach,
        GxD3D9TextureReadDDS,
    };
    return &startup;
}
