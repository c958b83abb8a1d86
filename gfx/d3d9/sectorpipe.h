// The Direct3D 9 world-sector pipeline: the all-in-one node that instances a sector's vertices into the shared
// vertex pool, lights it with its world's global lights and the local lights tied to it, and draws it with the
// identity world transform; the driver's world-sector extensions; and the world's light query for atomics.
//
// GxD3D9SectorPluginAttach runs before GxEngineOpen, after GxWorldPluginAttach; it attaches the driver's world
// glue first when that is not yet done. The sector pipeline lives while the engine is open. One thread.
#pragma once

#include "gfx/core/gx.h"
#include "gfx/d3d9/instance.h"

struct GxNodeDefinition;
struct GxWorldSector;
struct GxAtomic;
struct GxStream;

constexpr GxUInt32 gxPLUGIND3D9WORLDMODULE = 0x50B;

GxBool GxD3D9SectorPluginAttach(void);
GxNodeDefinition* GxD3D9WorldSectorAllInOneNodeGet(void);
// Engine module 0x50B: counts the open world driver instances and returns the instance.
void* GxD3D9WorldModuleOpen(void* instance, GxInt32 offset, GxInt32 size);
void* GxD3D9WorldModuleClose(void* instance, GxInt32 offset, GxInt32 size);
GxBool GxD3D9SectorInstance(void* sector, GxD3D9InstanceHeader* header, GxBool reinstance);
void GxD3D9SectorLighting(void* sector);
GxBool GxD3D9SectorSetUsageFlags(GxWorldSector* sector, GxUInt32 flags);
GxUInt32 GxD3D9SectorGetUsageFlags(const GxWorldSector* sector);
// Native sector data (chunk 0x510), the sector's instance as the geometry form writes and reads it; materials
// are indices into the sector's world's list.
GxInt32 GxD3D9SectorNativeStreamSize(GxWorldSector* sector);
GxStream* GxD3D9SectorNativeStreamWrite(GxStream* stream, GxWorldSector* sector);
GxStream* GxD3D9SectorNativeStreamRead(GxStream* stream, GxWorldSector* sector);
// The right-to-render records (0x1F) of worlds and sectors. Reading fills the world reader's pending record (the
// data word only from an 8-byte chunk); a sector writes its own record, 8 bytes when its plugin id is not 0.
GxStream* GxD3D9WorldRenderRightsStreamRead(GxStream* stream, GxInt32 length);
GxStream* GxD3D9SectorRenderRightsStreamRead(GxStream* stream, GxInt32 length);
GxStream* GxD3D9SectorRenderRightsStreamWrite(GxStream* stream, GxInt32 length, const GxWorldSector* sector);
GxInt32 GxD3D9SectorRenderRightsStreamSize(const GxWorldSector* sector);
// Null restores the platform pipeline.
void GxD3D9SetDefaultSectorPipeline(struct GxPipeline* pipeline);
