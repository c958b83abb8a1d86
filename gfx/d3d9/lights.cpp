// Direct3D 9 lights: the light extension, index allocation and reuse, directional and local set-up, the
// ambient sum and the per-object enabling of device lights.
#include "gfx/d3d9/lights.h"

#include <cstddef>
#include <cstring>

#include "gfx/core/assert.h"
#include "gfx/core/engine.h"
#include "gfx/core/frame.h"
#include "gfx/core/matrix.h"
#include "gfx/d3d9/atomicpipe.h"
#include "gfx/d3d9/bindings.h"
#include "gfx/d3d9/d3d9_local.h"
#include "gfx/d3d9/renderstate.h"

namespace {

constexpr GxUInt32 kFreeGrowth = 256;
constexpr GxUInt32 kListGrowth = 8;
constexpr GxUInt32 kListHint = 0x30505;
constexpr GxUInt32 kNoLimit = 0xFFFFFFFFu;
constexpr GxReal kDefaultConstant = 1.0f;
constexpr GxReal kDefaultLinear = 0.0f;
constexpr GxReal kDefaultQuadratic = 5.0f;
constexpr GxReal kPi = 3.1415927f;
constexpr GxReal kSpotInnerMargin = 0.001f;  // a full half-space cone keeps its inner cone just inside

struct IndexArray {
    GxInt32* entries;
    GxUInt32 count;
    GxUInt32 capacity;
};

struct LightModule {
    GxInt32 offset = -1;
    IndexArray freeIndexes = {};
    GxUInt32 nextIndex = 0;
    IndexArray current = {};   // this object's lights
    IndexArray previous = {};  // the previous object's lights
    GxUInt32 lightLimit = kNoLimit;
    GxReal ambient[4] = {0, 0, 0, 1};
    D3DLIGHT9 directional = {};
    D3DLIGHT9 local = {};
};

LightModule module;

void ArrayFree(IndexArray* array)
{
    if (array->entries) {
        GxFree(array->entries);
    }
    *array = IndexArray{};
}

// Appends, growing by `growth` entries (new entries zeroed); 0 when memory runs out.
GxBool ArrayPush(IndexArray* array, GxInt32 value, GxUInt32 growth)
{
    if (array->count == array->capacity) {
        const GxUInt32 capacity = array->capacity + growth;
        void* grown = array->entries ? GxRealloc(array->entries, capacity * sizeof(GxInt32), kListHint)
                                     : GxMalloc(capacity * sizeof(GxInt32), kListHint);
        if (!grown) {
            return 0;
        }
        array->entries = static_cast<GxInt32*>(grown);
        memset(array->entries + array->capacity, 0, growth * sizeof(GxInt32));
        array->capacity = capacity;
    }
    array->entries[array->count++] = value;
    return 1;
}

GxBool ArrayHas(const IndexArray* array, GxInt32 value)
{
    for (GxUInt32 i = 0; i < array->count; i++) {
        if (array->entries[i] == value) {
            return 1;
        }
    }
    return 0;
}

void* LightConstruct(void* object, GxInt32 offset, GxInt32)
{
    auto* data = reinterpret_cast<GxD3D9LightData*>(static_cast<char*>(object) + offset);
    *data = GxD3D9LightData{-1, kDefaultConstant, kDefaultLinear, kDefaultQuadratic};
    return object;
}

// A destroyed light's index goes back on the free stack; when that would make every index free, numbering
// starts again from 0.
void* LightDestruct(void* object, GxInt32 offset, GxInt32)
{
    auto* data = reinterpret_cast<GxD3D9LightData*>(static_cast<char*>(object) + offset);
    if (data->index < 0) {
        return object;
    }
    if (module.freeIndexes.count < module.nextIndex - 1) {
        if (!ArrayPush(&module.freeIndexes, data->index, kFreeGrowth)) {
            return object;  // the index is lost, never handed out twice
        }
    } else {
        ArrayFree(&module.freeIndexes);
        module.nextIndex = 0;
    }
    data->index = -1;
    return object;
}

// The copy takes the attenuations but no device index: two lights never share a slot, and each gives its own
// index back when destroyed.
void* LightCopy(void* destination, const void* source, GxInt32 offset, GxInt32)
{
    auto* data = reinterpret_cast<GxD3D9LightData*>(static_cast<char*>(destination) + offset);
    *data = *reinterpret_cast<const GxD3D9LightData*>(static_cast<const char*>(source) + offset);
    data->index = -1;
    return destination;
}

GxInt32 AllocateIndex(GxD3D9LightData* data)
{
    if (data->index >= 0) {
        return data->index;
    }
    if (module.freeIndexes.count > 0) {
        data->index = module.freeIndexes.entries[--module.freeIndexes.count];
    } else {
        data->index = static_cast<GxInt32>(module.nextIndex++);
    }
    return data->index;
}

// Sets the device light and records it for this object; 0 only when the list cannot grow.
GxBool SetAndRecord(GxInt32 index, const D3DLIGHT9* light)
{
    GxD3D9SetLight(index, light);
    return ArrayPush(&module.current, index, kListGrowth);
}

const GxMatrix* LightMatrix(GxLight* light)
{
    auto* frame = static_cast<GxFrame*>(light->object.object.parent);
    return frame ? GxFrameGetWorldMatrix(frame) : nullptr;
}

void ResetRecords()
{
    const D3DCOLORVALUE none = {0.0f, 0.0f, 0.0f, 1.0f};
    memset(&module.directional, 0, sizeof(module.directional));
    module.directional.Type = D3DLIGHT_DIRECTIONAL;
    module.directional.Specular = none;
    module.directional.Ambient = none;
    memset(&module.local, 0, sizeof(module.local));
    module.local.Specular = none;
    module.local.Ambient = none;
    module.local.Falloff = 1.0f;
}

}  // namespace

GxBool GxD3D9LightPluginAttach(void)
{
    GX_ASSERT(GxLightGetPluginOffset(gxPLUGIND3D9LIGHT) < 0, "the light glue is attached once per engine start");
    module.offset =
        GxLightRegisterPlugin(sizeof(GxD3D9LightData), gxPLUGIND3D9LIGHT, LightConstruct, LightDestruct, LightCopy);
    return module.offset >= 0;
}

GxD3D9LightData* GxD3D9LightGetData(GxLight* light)
{
    if (!light || module.offset < 0) {
        return nullptr;
    }
    return reinterpret_cast<GxD3D9LightData*>(reinterpret_cast<char*>(light) + module.offset);
}

GxBool GxD3D9LightResourcesOpen(void)
{
    GxD3D9LightResourcesClose();
    module.nextIndex = 0;
    const GxUInt32 limit = GxD3D9GetCaps()->MaxActiveLights;
    module.lightLimit = limit ? limit : kNoLimit;
    GxD3D9AmbientReset();
    ResetRecords();
    return 1;
}

void GxD3D9LightResourcesClose(void)
{
    ArrayFree(&module.freeIndexes);
    ArrayFree(&module.current);
    ArrayFree(&module.previous);
}

void GxD3D9AmbientReset(void)
{
    module.ambient[0] = module.ambient[1] = module.ambient[2] = 0.0f;
    module.ambient[3] = 1.0f;
    GxD3D9SetAmbientLightColour(0.0f, 0.0f, 0.0f);
}

void GxD3D9AmbientAdd(const GxLight* light)
{
    module.ambient[0] += light->color.red;
    module.ambient[1] += light->color.green;
    module.ambient[2] += light->color.blue;
    GxD3D9SetAmbientLightColour(module.ambient[0], module.ambient[1], module.ambient[2]);
}

GxBool GxD3D9DirectionalLightSetup(GxLight* light)
{
    GxD3D9LightData* data = GxD3D9LightGetData(light);
    if (!data) {
        return 0;
    }
    const GxInt32 index = AllocateIndex(data);
    const GxMatrix* matrix = LightMatrix(light);
    if (!matrix) {
        return 0;
    }
    module.directional.Diffuse = D3DCOLORVALUE{light->color.red, light->color.green, light->color.blue, 1.0f};
    module.directional.Direction = D3DVECTOR{matrix->at.x, matrix->at.y, matrix->at.z};
    return SetAndRecord(index, &module.directional);
}

GxBool GxD3D9LocalLightSetup(GxLight* light)
{
    GxD3D9LightData* data = GxD3D9LightGetData(light);
    if (!data) {
        return 0;
    }
    // The index comes first: a light keeps it even when nothing is set this time.
    const GxInt32 index = AllocateIndex(data);
    const GxMatrix* matrix = LightMatrix(light);
    const GxUInt8 type = light->object.object.subType;
    if (!matrix || light->radius == 0.0f || (type != gxLIGHTPOINT && type != gxLIGHTSPOT && type != gxLIGHTSPOTSOFT)) {
        return 0;
    }
    const GxReal radius = light->radius;
    D3DLIGHT9& d = module.local;
    d.Diffuse = D3DCOLORVALUE{light->color.red, light->color.green, light->color.blue, 1.0f};
    d.Position = D3DVECTOR{matrix->pos.x, matrix->pos.y, matrix->pos.z};
    d.Range = radius;
    d.Attenuation0 = data->constantAttenuation;
    d.Attenuation1 = data->linearAttenuation / radius;
    d.Attenuation2 = data->quadraticAttenuation / (radius * radius);
    if (type == gxLIGHTPOINT) {
        d.Type = D3DLIGHT_POINT;
        d.Direction = D3DVECTOR{0.0f, 0.0f, 0.0f};
        d.Theta = d.Phi = 0.0f;
    } else {
        d.Type = D3DLIGHT_SPOT;
        d.Direction = D3DVECTOR{matrix->at.x, matrix->at.y, matrix->at.z};
        d.Phi = 2.0f * GxLightGetConeAngle(light);
        if (type == gxLIGHTSPOT) {
            d.Theta = d.Phi < kPi ? d.Phi : d.Phi - kSpotInnerMargin;
        } else {
            d.Theta = 0.0f;
        }
    }
    return SetAndRecord(index, &d);
}

GxBool GxD3D9WorldLightsSetup(GxUInt32 mask)
{
    GxD3D9AmbientReset();
    const GxD3D9WorldLightsQuery query = GxD3D9GetWorldLightsQuery();
    GxLink* lights = query ? query(GxEngineInstance->curWorld) : nullptr;
    GxBool used = 0;
    for (GxLink* link = lights ? lights->next : nullptr; link && link != lights; link = link->next) {
        GxLight* light = reinterpret_cast<GxLight*>(reinterpret_cast<char*>(link) - offsetof(GxLight, inWorld));
        if (!(light->object.object.flags & mask)) {
            continue;
        }
        if (light->object.object.subType == gxLIGHTDIRECTIONAL) {
            GxD3D9DirectionalLightSetup(light);
        } else {
            GxD3D9AmbientAdd(light);
        }
        used = 1;
    }
    if (!used) {
        GxD3D9SetRenderState(D3DRS_AMBIENT, 0);
    }
    return used;
}

void GxD3D9LightsEnable(GxBool enable)
{
    if (!enable) {
        GxD3D9SetRenderState(D3DRS_LIGHTING, FALSE);
        return;
    }
    if (module.current.count > module.lightLimit) {
        module.current.count = module.lightLimit;
    }
    for (GxUInt32 i = 0; i < module.previous.count; i++) {
        if (!ArrayHas(&module.current, module.previous.entries[i])) {
            GxD3D9EnableLight(module.previous.entries[i], 0);
        }
    }
    for (GxUInt32 i = 0; i < module.current.count; i++) {
        GxD3D9EnableLight(module.current.entries[i], 1);
    }
    const IndexArray old = module.previous;
    module.previous = module.current;
    module.current = old;
    module.current.count = 0;
    GxD3D9SetRenderState(D3DRS_LIGHTING, TRUE);
}
