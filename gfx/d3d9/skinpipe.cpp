// The skinned-atomic pipeline: the vertex-shader path (palette in constants, generated shader) where the device
// and the shader allow it, else the processor path (blend into the instance's vertex stream).
#include "gfx/d3d9/skinpipe.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <vector>

#include "gfx/anim/anim.h"
#include "gfx/core/camera.h"
#include "gfx/core/matrix.h"
#include "gfx/core/memory.h"
#include "gfx/core/pipeline.h"
#include "gfx/d3d9/atomicpipe.h"
#include "gfx/d3d9/bindings.h"
#include "gfx/d3d9/d3d9_local.h"
#include "gfx/d3d9/renderstate.h"
#include "gfx/d3d9/skin_local.h"
#include "gfx/d3d9/skincpu.h"
#include "gfx/d3d9/skininstance.h"
#include "gfx/d3d9/vertexbuffer.h"
#include "gfx/d3d9/vertexdecl.h"
#include "gfx/d3d9/vsbuilder.h"
#include "gfx/d3d9/worldglue_local.h"
#include "gfx/world/geometry.h"
#include "gfx/world/material.h"
#include "gfx/world/mesh.h"
#include "gfx/world/world.h"

GxPipeline* gxD3D9SkinPipelines[gxD3D9SKINPIPELINESLOTS] = {};

namespace {

// The module-open mask bit that makes the skinned-atomic pipeline; the other bits make nothing.
constexpr GxUInt32 kAtomicPipelineMask = 0x1;
constexpr GxUInt32 kPipelineData = 1;  // the pipeline's plugin data, written in an atomic's render rights
constexpr GxInt32 kInterpolatorDirty = 0x1;
// The parts the processor blend writes each frame (lock flags of positions and normals).
constexpr GxUInt32 kBlendedParts = gxD3D9STREAMPOSITIONS | gxD3D9STREAMNORMALS;

GxPipeline* (&slots)[gxD3D9SKINPIPELINESLOTS] = gxD3D9SkinPipelines;

constexpr GxUInt32 kShaderVersionMask = 0xFFFF;
constexpr GxUInt32 kShaderVersion11 = 0x101;
constexpr GxUInt32 kReservedConstants = 12;  // fixed part of every skin shader before the palette
constexpr GxUInt32 kRegistersPerBone = gxD3D9VSREGISTERSPERBONE;
constexpr GxUInt32 kMaxPaletteIndex = gxD3D9SKINPALETTEINDICES;

GxD3D9SkinDeviceCaps skinCaps = {};

GxD3D9SkinDeviceCaps ReadCaps(const D3DCAPS9& caps)
{
    GxD3D9SkinDeviceCaps out = {};
    out.hardwareTransform = (caps.DevCaps & D3DDEVCAPS_HWTRANSFORMANDLIGHT) != 0;
    out.vertexShadersUsable = out.hardwareTransform &&
                              (caps.VertexShaderVersion & kShaderVersionMask) >= kShaderVersion11 &&
                              (caps.PixelShaderVersion & kShaderVersionMask) >= kShaderVersion11;
    if (!out.vertexShadersUsable) {
        return out;
    }
    out.maxConstants = caps.MaxVertexShaderConst;
    out.maxBones =
        out.maxConstants > kReservedConstants ? (out.maxConstants - kReservedConstants) / kRegistersPerBone : 0;
    return out;
}

// ---- Vertex-shader path.

constexpr GxUInt32 kFloatsPerRegister = 4;
constexpr GxUInt8 kNoSlot = 0;
constexpr GxUInt32 kMaxFogMode = 3;  // engine fog types 1-3 are the descriptor's fog modes
constexpr GxUInt8 kNoLast = 0xFF;    // no register uploaded yet for this atomic

// ---- Shader lighting.

constexpr GxUInt32 kMaxLightsOfAKind = gxD3D9SKINMAXLIGHTSOFAKIND;
constexpr GxUInt32 kLightGroup = gxD3D9SKINLIGHTGROUP;
constexpr GxUInt32 kDirectionalRegisters = 2;
constexpr GxUInt32 kPointRegisters = 2;  // position, colour
constexpr GxUInt32 kSpotRegisters = 4;   // position, direction, cone, colour
constexpr GxInt32 kRGB = 3;
constexpr GxReal kHardCone = 999.9999f;     // cone scale of a hard edge
constexpr GxReal kHardConeCosine = 0.999f;  // narrower cones than this are drawn hard
constexpr GxReal kConeHalf = 0.5f;
constexpr GxReal kUnitMin = 0.9f;
constexpr GxReal kUnitMax = 1.1f;
constexpr GxUInt32 kIdentityOrUnitAxes = 0x20001;

GxUInt32 Groups(GxUInt32 lights) { return (lights + kLightGroup - 1) / kLightGroup; }

GxUInt32 PointBase(const GxD3D9VertexShaderDescriptor* d)
{
    return gxD3D9VSLIGHTSREGISTER + kDirectionalRegisters * d->numDirectionalLights;
}

GxUInt32 SpotBase(const GxD3D9VertexShaderDescriptor* d)
{
    return PointBase(d) + Groups(d->numPointLights) + kPointRegisters * d->numPointLights;
}

GxUInt32 BlockEnd(const GxD3D9VertexShaderDescriptor* d)
{
    return SpotBase(d) + Groups(d->numSpotLights) + kSpotRegisters * d->numSpotLights;
}

// A light direction in object space.
GxV3d ObjectDirection(const GxV3d& at)
{
    GxV3d d;
    GxD3D9VSTransformDirection(&d, &at);
    return d;
}

GxV3d ObjectPoint(const GxV3d& at)
{
    GxV3d p;
    GxD3D9VSTransformPoint(&p, &at);
    return p;
}

void WriteRegister(GxReal* reg, const GxV3d& v)
{
    reg[0] = v.x;
    reg[1] = v.y;
    reg[2] = v.z;
    reg[3] = 0.0f;  // the zero of the shader's clamps
}

using LightList = std::vector<const GxLight*>;

// Files a local light as a point or spot light up to the block's room; `mask` the flag it must carry.
void TakeLocalLight(const GxLight* light, GxUInt32 mask, LightList* points, LightList* spots)
{
    const GxUInt8 type = light->object.object.subType;
    LightList* kind = type == gxLIGHTPOINT ? points : type == gxLIGHTSPOT || type == gxLIGHTSPOTSOFT ? spots : nullptr;
    if (!kind || !light->object.object.parent || !(light->object.object.flags & mask) || light->radius <= 0.0f ||
        kind->size() == kMaxLightsOfAKind) {
        return;
    }
    kind->push_back(light);
}

// Stamps a light with this lighting's frame: false when it was touched already (reached through another sector).
bool FirstTouch(GxLight* light, GxUInt16 frame)
{
    if (light->lightFrame == frame) {
        return false;
    }
    light->lightFrame = frame;
    return true;
}

bool Reaches(const GxLight* light, const GxSphere* sphere)
{
    const GxV3d& at = GxFrameGetWorldMatrix(static_cast<GxFrame*>(light->object.object.parent))->pos;
    const GxV3d d = {at.x - sphere->center.x, at.y - sphere->center.y, at.z - sphere->center.z};
    const GxReal reach = light->radius + sphere->radius;
    return GxV3dDotProduct(&d, &d) < reach * reach;
}

// The point and spot lights of the atomic's sectors that light atomics and reach its world bounding sphere.
void AtomicLocalLights(const GxAtomic* atomic, LightList* points, LightList* spots)
{
    const GxSphere* sphere = GxAtomicGetWorldBoundingSphere(const_cast<GxAtomic*>(atomic));
    const GxUInt16 frame = ++GxEngineInstance->lightFrameCounter;
    auto* ties = const_cast<GxLink*>(&atomic->llWorldSectorsInAtomic);
    for (GxLink* t = ties->next; t != ties; t = t->next) {
        GxWorldSector* sector = GxTieFromAtomicLink(t)->worldSector;
        for (GxLink* l = sector->lightsInWorldSector.next; l != &sector->lightsInWorldSector; l = l->next) {
            GxLight* light = GxLightTieFromSectorLink(l)->light;
            if (FirstTouch(light, frame) && light->object.object.parent && Reaches(light, sphere)) {
                TakeLocalLight(light, gxLIGHTLIGHTATOMICS, points, spots);
            }
        }
    }
}

// A sector's own local lights that light sectors, without a distance test.
void SectorLocalLights(GxWorldSector* sector, LightList* points, LightList* spots)
{
    const GxUInt16 frame = ++GxEngineInstance->lightFrameCounter;
    for (GxLink* l = sector->lightsInWorldSector.next; l != &sector->lightsInWorldSector; l = l->next) {
        GxLight* light = GxLightTieFromSectorLink(l)->light;
        if (FirstTouch(light, frame)) {
            TakeLocalLight(light, gxLIGHTLIGHTWORLD, points, spots);
        }
    }
}

void AddColour(GxD3D9SkinLightBlock* b, const GxLight* light, GxUInt32 reg)
{
    const GxUInt32 n = b->unscaled.numLights++;
    const GxReal colour[kFloatsPerRegister] = {light->color.red, light->color.green, light->color.blue, 0.0f};
    std::memcpy(b->unscaled.colors[n], colour, sizeof(colour));
    b->colourRegister[n] = reg;
}

// Lights from `base` in groups of four: per group a register of reciprocal radii, then `perLight` registers each,
// which `write` fills from the light's frame matrix, given the first of them.
template <typename Write>
void WriteLightGroups(GxD3D9SkinLightBlock* b, const LightList& lights, GxUInt32 base, GxUInt32 perLight, Write write)
{
    GxUInt32 g = base;
    for (GxUInt32 first = 0; first < lights.size(); first += kLightGroup) {
        const GxUInt32 n = std::min<GxUInt32>(kLightGroup, static_cast<GxUInt32>(lights.size()) - first);
        for (GxUInt32 k = 0; k < n; k++) {
            const GxLight* light = lights[first + k];
            const GxMatrix* m = GxFrameGetWorldMatrix(static_cast<GxFrame*>(light->object.object.parent));
            b->regs[g][k] = 1.0f / GxD3D9VSTransformRadius(light->radius);
            write(light, m, g + 1 + perLight * k);
        }
        g += 1 + perLight * n;
    }
}

// Point lights: position and colour each.
void WritePointLights(GxD3D9SkinLightBlock* b, const LightList& lights, GxUInt32 base)
{
    WriteLightGroups(b, lights, base, kPointRegisters, [&](const GxLight* light, const GxMatrix* m, GxUInt32 p) {
        WriteRegister(b->regs[p], ObjectPoint(m->pos));
        AddColour(b, light, p + 1);
    });
}

// Spot lights: position, direction, cone and colour each.
void WriteSpotLights(GxD3D9SkinLightBlock* b, const LightList& lights, GxUInt32 base)
{
    WriteLightGroups(b, lights, base, kSpotRegisters, [&](const GxLight* light, const GxMatrix* m, GxUInt32 p) {
        WriteRegister(b->regs[p], ObjectPoint(m->pos));
        WriteRegister(b->regs[p + 1], ObjectDirection(m->at));
        const GxReal cs = std::cos(GxLightGetConeAngle(light));
        GxReal* cone = b->regs[p + 2];
        if (light->object.object.subType == gxLIGHTSPOT || cs >= kHardConeCosine) {
            cone[0] = kHardCone;
            cone[1] = -cs * kHardCone;
        } else {
            cone[0] = 1.0f / (1.0f - cs);
            cone[1] = -cs / (1.0f - cs);
        }
        cone[2] = kConeHalf;
        cone[3] = 0.0f;
        AddColour(b, light, p + 3);
    });
}

// Writes the colours scaled by a material's coefficients into the block.
void ScaleLightColors(GxD3D9SkinLightBlock* b, GxReal ambient, GxReal diffuse)
{
    GxD3D9VSLightColors scaled;
    GxD3D9VSScaleLightColors(&scaled, &b->unscaled, ambient, diffuse);
    std::memcpy(b->regs[gxD3D9VSAMBIENTREGISTER], scaled.ambient, sizeof(scaled.ambient));
    for (GxUInt32 l = 0; l < scaled.numLights; l++) {
        std::memcpy(b->regs[b->colourRegister[l]], scaled.colors[l], sizeof(scaled.colors[l]));
    }
}

// The same, then uploads c4 up to the block's end.
void UploadLightColors(GxD3D9SkinLightBlock* b, GxUInt32 end, GxReal ambient, GxReal diffuse)
{
    ScaleLightColors(b, ambient, diffuse);
    GxD3D9Device()->SetVertexShaderConstantF(gxD3D9VSAMBIENTREGISTER, b->regs[gxD3D9VSAMBIENTREGISTER],
                                             end - gxD3D9VSAMBIENTREGISTER);
}

// Drops spot, then point, then directional lights, then fog, until the shader's constants and the palette fit
// the device. Lights go from the end of the last kind, so every light kept stays at its register. Non-zero when
// anything was dropped.
GxBool FitConstants(GxD3D9VertexShaderDescriptor* d, const GxSkin* skin, GxD3D9SkinLightBlock* b)
{
    const GxUInt32 palette = kRegistersPerBone * skin->paletteBones;
    GxBool dropped = 0;
    while (GxD3D9VertexShaderGetNumConstants(d) + palette > skinCaps.maxConstants) {
        GxUInt8* kind = d->numSpotLights          ? &d->numSpotLights
                        : d->numPointLights       ? &d->numPointLights
                        : d->numDirectionalLights ? &d->numDirectionalLights
                                                  : nullptr;
        if (kind) {
            (*kind)--;
            b->unscaled.numLights--;
        } else if (d->fogMode) {
            d->fogMode = 0;
        } else {
            break;
        }
        dropped = 1;
    }
    return dropped;
}

// Palette rows of one bone from the shader layout's entry.
const GxReal* BoneEntry(const GxReal* rows, GxUInt32 bone) { return rows + gxD3D9VSBONEFLOATS * bone; }

void UploadBone(const GxReal* rows, GxUInt32 bone, GxUInt32 reg)
{
    GxD3D9Device()->SetVertexShaderConstantF(reg, BoneEntry(rows, bone), kRegistersPerBone);
}

// Every used bone at its slot (skins without split data); bones whose slots follow one another go up in one call.
void UploadPalette(const GxReal* rows, GxUInt32 entries, const GxSkin* skin, const GxUInt8* remap, GxUInt32 base)
{
    GxReal run[gxD3D9VSMAXCONSTANTS][kFloatsPerRegister];
    GxUInt32 first = 0;
    GxUInt32 count = 0;  // registers staged from `first` on
    auto send = [&] {
        if (count > 0) {
            GxD3D9Device()->SetVertexShaderConstantF(first, &run[0][0], count);
        }
        count = 0;
    };
    for (GxUInt32 i = 0; i < skin->numBoneIDs; i++) {
        const GxUInt32 bone = skin->boneIDs[i];
        if (bone >= entries) {
            continue;
        }
        const GxUInt32 reg = base + remap[bone];
        if (count > 0 && (reg != first + count || count + kRegistersPerBone > gxD3D9VSMAXCONSTANTS)) {
            send();
        }
        if (count == 0) {
            first = reg;
        }
        std::memcpy(run[count], BoneEntry(rows, bone), sizeof(GxReal) * gxD3D9VSBONEFLOATS);
        count += kRegistersPerBone;
    }
    send();
}

// The bones of one mesh's runs at their slots of the mesh's palette window (split data).
void UploadMeshRuns(const GxReal* rows, GxUInt32 entries, const GxSkin* skin, const GxUInt8* remap, GxUInt32 base,
                    GxUInt32 mesh)
{
    if (mesh >= skin->meshCount) {
        return;
    }
    const GxUInt32 first = skin->meshTable[2 * mesh];
    const GxUInt32 runs = skin->meshTable[2 * mesh + 1];
    for (GxUInt32 r = first; r < first + runs && r < skin->runCount; r++) {
        const GxUInt32 start = skin->runTable[2 * r];
        const GxUInt32 count = skin->runTable[2 * r + 1];
        for (GxUInt32 bone = start; bone < start + count && bone < entries && bone < kMaxPaletteIndex; bone++) {
            UploadBone(rows, bone, base + remap[bone]);
        }
    }
}

void SetStage0(GxUInt32 op)
{
    GxD3D9SetTextureStageState(0, D3DTSS_COLOROP, op);
    GxD3D9SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    GxD3D9SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    GxD3D9SetTextureStageState(0, D3DTSS_ALPHAOP, op);
    GxD3D9SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    GxD3D9SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
}

GxD3D9InstanceHeader* HeaderOf(const GxAtomic* atomic)
{
    const GxGeometry* geometry = atomic->geometry;
    const GxResourceEntry* entry = geometry->numMorphTargets > 1 ? atomic->repEntry : geometry->repEntry;
    return entry ? reinterpret_cast<GxD3D9InstanceHeader*>(const_cast<GxResourceEntry*>(entry) + 1) : nullptr;
}

void EmptyEnd(GxAtomic*) {}

bool AxisNearUnit(const GxV3d& v)
{
    const GxReal squared = GxV3dDotProduct(&v, &v);
    return squared >= kUnitMin && squared <= kUnitMax;
}

GxNodeDefinition SkinNodeDefinition()
{
    GxNodeDefinition definition = GxNodeDefinitionNamed(gxD3D9SKINNODENAME, GxD3D9SkinAtomicAllInOneNode);
    definition.nodeOpen = GxD3D9SkinNodeInit;
    definition.privateSize = sizeof(GxD3D9SkinNodeCallBacks);
    return definition;
}
GxNodeDefinition skinNode = SkinNodeDefinition();

GxPipeline* CreatePipeline(void)
{
    skinCaps = ReadCaps(*GxD3D9GetCaps());
    GxPipeline* pipeline = GxPipelineCreate();
    if (!pipeline) {
        return nullptr;
    }
    pipeline->ownerPluginId = gxPLUGINSKIN;
    pipeline->pluginData = kPipelineData;
    if (!GxPipelineLock(pipeline) || !GxPipelineAddFragment(pipeline, nullptr, &skinNode, nullptr) ||
        !GxPipelineUnlock(pipeline)) {
        GxPipelineDestroy(pipeline);
        return nullptr;
    }
    return pipeline;
}

GxBool PipelinesCreateHook(GxUInt32 mask) { return GxSkinPipelinesCreate(mask); }

GxBool PipelinesDestroyHook(void) { return GxSkinPipelinesDestroy(); }

}  // namespace

GxBool GxD3D9SkinNodeInit(GxPipelineNode* node)
{
    auto* callBacks = static_cast<GxD3D9SkinNodeCallBacks*>(node->privateBlock);
    *callBacks = GxD3D9SkinNodeCallBacks{};
    callBacks->renderCallBack = GxD3D9DefaultRenderCallback;
    callBacks->lightingCallBack = GxD3D9AtomicLighting;
    if (skinCaps.vertexShadersUsable) {
        callBacks->descriptorSetup = GxD3D9SkinShaderDescriptorSetup;
        callBacks->shaderLighting = GxD3D9SkinShaderLighting;
        callBacks->shaderGet = GxD3D9SkinShaderGet;
        callBacks->meshRender = GxD3D9SkinShaderMeshRender;
        callBacks->end = EmptyEnd;
    }
    return 1;
}

GxBool GxD3D9SkinAtomicAllInOneNode(GxPipelineNode* node, const GxPipelineExecutionParams* params)
{
    auto* atomic = static_cast<GxAtomic*>(params->object);
    const auto* callBacks = static_cast<const GxD3D9SkinNodeCallBacks*>(node->privateBlock);
    GxGeometry* geometry = atomic ? atomic->geometry : nullptr;
    if (!geometry || geometry->numVertices == 0 || !geometry->mesh || geometry->mesh->numMeshes == 0) {
        return 1;
    }
    // The instance lives on the geometry, or on the atomic when the geometry morphs; one of older meshes goes.
    const bool own = geometry->numMorphTargets > 1;
    GxResourceEntry** slot = own ? &atomic->repEntry : &geometry->repEntry;
    const bool native = (geometry->flags & gxGEOMETRYNATIVE) != 0;  // instanced as read: used as it is
    GxResourceEntry* entry = *slot;
    if (entry && !native &&
        reinterpret_cast<GxD3D9InstanceHeader*>(entry + 1)->meshSerial != geometry->mesh->serialNum) {
        GxResourceEntryFree(entry);
        entry = nullptr;
    }
    GxD3D9InstanceHeader* header = entry ? reinterpret_cast<GxD3D9InstanceHeader*>(entry + 1) : nullptr;
    if (!header) {
        void* owner = own ? static_cast<void*>(atomic) : static_cast<void*>(geometry);
        header = native ? nullptr : GxD3D9SkinInstance(atomic, owner, slot, geometry->mesh);
        if (!header) {
            return 0;
        }
        entry = *slot;
        GxD3D9GeometryPartsLockedSince(geometry, geometry->lockStamp);
        header->lockStamp = geometry->lockStamp;
    } else {
        GxResourcesUseResEntry(entry);
    }
    // Parts locked since this instance was last written: each instance keeps its own stamp, so that every atomic's
    // instance of a morphing geometry learns of a lock, not only the first one drawn after it.
    GxUInt32 locked = GxD3D9GeometryPartsLockedSince(geometry, header->lockStamp) & gxD3D9SKINALLPARTS;
    header->lockStamp = geometry->lockStamp;
    GxSkin* skin = GxSkinGeometryGetSkin(geometry);
    const GxAnimHierarchy* hierarchy = GxSkinAtomicGetHierarchy(atomic);
    const bool skinned = skin && hierarchy;
    if (skinned && !skin->usesVertexShader && skin->vertexBoneWeights) {
        GxD3D9SkinBlendIntoInstance(atomic, header, skin, hierarchy);
        locked &= ~kBlendedParts;
    }
    if (locked) {
        GxD3D9SkinVertexBufferFill(atomic, header, hierarchy, locked);
    }
    atomic->interpolator.flags &= ~kInterpolatorDirty;
    if (skinned && skin->usesVertexShader) {
        GxD3D9SkinAtomicRenderShader(callBacks, atomic, geometry, skin, hierarchy);
    } else {
        GxD3D9SkinAtomicRenderFixed(callBacks, entry, atomic, geometry->flags);
    }
    return 1;
}

void GxD3D9SkinAtomicRenderFixed(const GxD3D9SkinNodeCallBacks* callBacks, GxResourceEntry* entry, GxAtomic* atomic,
                                 GxUInt32 flags)
{
    if (callBacks->lightingCallBack) {
        callBacks->lightingCallBack(atomic);
    }
    auto* frame = static_cast<GxFrame*>(atomic->object.object.parent);
    const GxMatrix* matrix = frame ? GxFrameGetWorldMatrix(frame) : nullptr;
    GxD3D9SetTransformWorld(matrix);
    GxUInt32 lighting = 0;
    GxD3D9GetRenderState(D3DRS_LIGHTING, &lighting);
    bool normalise = false;
    if (lighting && skinCaps.hardwareTransform) {
        normalise = true;  // the blended normals are not renormalised
    } else if (lighting && matrix && !(matrix->flags & kIdentityOrUnitAxes)) {
        normalise = !AxisNearUnit(matrix->right) || !AxisNearUnit(matrix->up) || !AxisNearUnit(matrix->at);
    }
    GxD3D9SetRenderState(D3DRS_NORMALIZENORMALS, normalise ? TRUE : FALSE);
    if (callBacks->renderCallBack) {
        callBacks->renderCallBack(entry, atomic, gxD3D9OBJECTATOMIC, flags);
    }
}

void GxD3D9SkinShaderDescriptorSetup(GxAtomic* atomic, GxUInt8, GxD3D9VertexShaderDescriptor* d)
{
    const GxGeometry* geometry = atomic->geometry;
    const GxSkin* skin = GxSkinGeometryGetSkin(geometry);
    *d = GxD3D9VertexShaderDescriptor{};
    d->numTexCoords = static_cast<GxUInt8>(std::max(0, geometry->numTexCoordSets));
    d->prelit = (geometry->flags & gxGEOMETRYPRELIT) ? 1 : 0;
    d->normals = (geometry->flags & gxGEOMETRYNORMALS) ? 1 : 0;
    d->normalizeNormals = d->normals;
    d->modulateMaterial = (geometry->flags & gxGEOMETRYMODULATEMATERIALCOLOR) ? 1 : 0;
    d->numWeights = static_cast<GxUInt8>(skin ? skin->maxNumWeightsForVertex : 0);
    GxUInt32 fog = 0;
    GxUInt32 fogType = 0;
    if (GxD3D9RenderStateGet(gxRENDERSTATEFOGENABLE, &fog) && fog &&
        GxD3D9RenderStateGet(gxRENDERSTATEFOGTYPE, &fogType) && fogType <= kMaxFogMode) {
        d->fogMode = static_cast<GxUInt8>(fogType);
    }
}

GxReal* GxD3D9SkinShaderLighting(void* object, GxUInt8 type, GxD3D9SkinLightBlock* b, GxD3D9VertexShaderDescriptor* d)
{
    const bool atomic = type == gxD3D9OBJECTATOMIC;
    d->numDirectionalLights = d->numPointLights = d->numSpotLights = 0;
    b->unscaled = GxD3D9VSLightColors{};
    b->unscaled.ambient[kRGB] = d->prelit ? 0.0f : 1.0f;
    ScaleLightColors(b, 1.0f, 1.0f);
    GxWorld* world = GxEngineInstance->curWorld;
    const GxUInt32 flags = atomic ? static_cast<GxAtomic*>(object)->geometry->flags : (world ? world->flags : 0);
    const GxUInt32 mask = atomic ? gxLIGHTLIGHTATOMICS : gxLIGHTLIGHTWORLD;
    const GxD3D9WorldLightsQuery query = GxD3D9GetWorldLightsQuery();
    GxLink* globals = query ? query(world) : nullptr;  // asked without a world too: a program's own lights
    if (!(flags & gxGEOMETRYLIGHT) || !globals) {
        return b->regs[BlockEnd(d)];
    }
    GxUInt32 count = 0;
    for (GxLink* link = globals->next; link != globals; link = link->next) {
        const GxLight* light =
            reinterpret_cast<const GxLight*>(reinterpret_cast<const char*>(link) - offsetof(GxLight, inWorld));
        if (!(light->object.object.flags & mask)) {
            continue;
        }
        if (light->object.object.subType == gxLIGHTAMBIENT) {
            b->unscaled.ambient[0] += light->color.red;
            b->unscaled.ambient[1] += light->color.green;
            b->unscaled.ambient[2] += light->color.blue;
            continue;
        }
        if (light->object.object.subType != gxLIGHTDIRECTIONAL || !d->normals || count == kMaxLightsOfAKind) {
            continue;
        }
        auto* frame = static_cast<GxFrame*>(light->object.object.parent);
        const GxV3d at = frame ? GxFrameGetWorldMatrix(frame)->at : GxV3d{0.0f, 0.0f, 1.0f};
        const GxUInt32 reg = gxD3D9VSLIGHTSREGISTER + kDirectionalRegisters * count;
        WriteRegister(b->regs[reg], ObjectDirection(at));
        AddColour(b, light, reg + 1);
        count++;
    }
    d->numDirectionalLights = static_cast<GxUInt8>(count);
    if (d->normals || !atomic) {
        LightList points;
        LightList spots;
        if (atomic) {
            AtomicLocalLights(static_cast<GxAtomic*>(object), &points, &spots);
        } else {
            SectorLocalLights(static_cast<GxWorldSector*>(object), &points, &spots);
        }
        d->numPointLights = static_cast<GxUInt8>(points.size());
        d->numSpotLights = static_cast<GxUInt8>(spots.size());
        WritePointLights(b, points, PointBase(d));
        WriteSpotLights(b, spots, SpotBase(d));
    }
    ScaleLightColors(b, 1.0f, 1.0f);
    return b->regs[BlockEnd(d)];
}

IDirect3DVertexShader9* GxD3D9SkinShaderGet(const GxD3D9MeshInstance*, const GxD3D9VertexShaderDescriptor* d,
                                            GxD3D9VertexShaderRegisters* registers)
{
    return GxD3D9VertexShaderCacheGet(d, registers);
}

void GxD3D9SkinShaderMeshRender(const GxD3D9InstanceHeader* header, const GxD3D9MeshInstance* mesh,
                                const GxD3D9VertexShaderDescriptor*, const GxD3D9VertexShaderRegisters*)
{
    GxD3D9SetPixelShader(nullptr);
    const auto* material = static_cast<const GxMaterial*>(mesh->material);
    const GxTexture* texture = material ? material->texture : nullptr;
    GxD3D9SetTexture(texture, 0);
    SetStage0(texture ? D3DTOP_MODULATE : D3DTOP_SELECTARG2);
    GxD3D9SetVertexShader(static_cast<IDirect3DVertexShader9*>(mesh->shader));
    GxD3D9InstanceMeshDraw(header, mesh, mesh->vertexBase);
}

void GxD3D9SkinAtomicRenderShader(const GxD3D9SkinNodeCallBacks* callBacks, GxAtomic* atomic, GxGeometry*, GxSkin* skin,
                                  const GxAnimHierarchy* hierarchy)
{
    GxD3D9InstanceHeader* header = HeaderOf(atomic);
    GxMatrix* paletteBuffer = GxSkinGetPalette();
    if (!GxD3D9Device() || !header || !paletteBuffer) {
        return;
    }
    GxD3D9VertexShaderDescriptor d;
    callBacks->descriptorSetup(atomic, gxD3D9OBJECTATOMIC, &d);
    GxD3D9SetRenderState(D3DRS_CLIPPING, TRUE);
    auto* frame = static_cast<GxFrame*>(atomic->object.object.parent);
    GxD3D9VSSetWorldMatrix(frame ? GxFrameGetWorldMatrix(frame) : nullptr);
    GxD3D9SkinLightBlock block{};
    D3DMATRIX transform;
    GxD3D9VSGetCombinedTransform(&transform);
    const GxReal* end = callBacks->shaderLighting(atomic, gxD3D9OBJECTATOMIC, &block, &d);
    GxUInt32 blockEnd = static_cast<GxUInt32>((end - &block.regs[0][0]) / kFloatsPerRegister);
    // c0-c3 the combined transform, then the light block at the colours of a material of unit coefficients: one run.
    std::memcpy(block.regs, &transform, sizeof(transform));
    GxD3D9Device()->SetVertexShaderConstantF(gxD3D9VSTRANSFORMREGISTER, &block.regs[0][0],
                                             blockEnd - gxD3D9VSTRANSFORMREGISTER);
    const GxReal* rows = GxD3D9VSSetBonePalette(paletteBuffer, atomic, hierarchy);
    GxUInt8 remap[kMaxPaletteIndex];
    GxD3D9SkinPaletteRemap(skin, hierarchy, remap);
    const GxUInt32 entries = GxD3D9SkinPaletteCount(skin, hierarchy);
    GxD3D9SetInstanceBuffers(header);
    GxD3D9MeshInstance* meshes = GxD3D9InstanceMeshes(header);
    GxReal lastAmbient = 1.0f;
    GxReal lastDiffuse = 1.0f;
    GxUInt8 lastMaterialRegister = kNoLast;
    GxUInt8 lastFogRegister = kNoLast;
    GxUInt8 lastBones = kNoLast;
    const GxRGBA white = {255, 255, 255, 255};
    GxRGBA lastColour = meshes[0].material ? static_cast<const GxMaterial*>(meshes[0].material)->color : white;
    for (GxUInt32 m = 0; m < header->meshCount; m++) {
        const auto* material = static_cast<const GxMaterial*>(meshes[m].material);
        const GxRGBA colour = material ? material->color : white;
        GxD3D9SetVertexAlpha(colour.alpha < white.alpha || meshes[m].hasVertexAlpha);
        GxD3D9VertexShaderRegisters registers;
        meshes[m].shader = callBacks->shaderGet(&meshes[m], &d, &registers);
        if (FitConstants(&d, skin, &block)) {
            meshes[m].shader = callBacks->shaderGet(&meshes[m], &d, &registers);
            blockEnd = BlockEnd(&d);
            lastAmbient = -1.0f;  // the reduced block goes up with the colours rescaled below
        }
        const GxReal ambient = material ? material->surfaceProps.ambient : 1.0f;
        const GxReal diffuse = material ? material->surfaceProps.diffuse : 1.0f;
        if (ambient != lastAmbient || diffuse != lastDiffuse) {
            lastAmbient = ambient;
            lastDiffuse = diffuse;
            UploadLightColors(&block, blockEnd, lastAmbient, lastDiffuse);
        }
        if (registers.material != gxD3D9VSNOREGISTER &&
            (registers.material != lastMaterialRegister || std::memcmp(&colour, &lastColour, sizeof(colour)))) {
            GxD3D9VSSetMaterialColor(registers.material, &colour);
            lastMaterialRegister = registers.material;
            lastColour = colour;
        }
        if (registers.fog != gxD3D9VSNOREGISTER && registers.fog != lastFogRegister) {
            GxD3D9VSSetFog(registers.fog, d.fogMode);
            lastFogRegister = registers.fog;
        }
        if (skin->boneLimit) {
            UploadMeshRuns(rows, entries, skin, remap, registers.bones, m);
        } else if (registers.bones != lastBones) {
            UploadPalette(rows, entries, skin, remap, registers.bones);
            lastBones = registers.bones;
        }
        callBacks->meshRender(header, &meshes[m], &d, &registers);
        meshes[m].shader = nullptr;
    }
    if (callBacks->end) {
        callBacks->end(atomic);
    }
}

GxPipeline* GxD3D9SkinPipelineCreate(void) { return CreatePipeline(); }

GxBool GxSkinPipelinesCreate(GxUInt32 mask)
{
    GxD3D9SkinPaletteInvalidate();
    if (!(mask & kAtomicPipelineMask)) {
        return 1;
    }
    slots[0] = CreatePipeline();
    return slots[0] != nullptr;
}

GxBool GxSkinPipelinesDestroy(void)
{
    for (GxPipeline*& slot : slots) {
        if (slot) {
            GxPipelineDestroy(slot);
            slot = nullptr;
        }
    }
    return 1;
}

GxAtomic* GxSkinAtomicInitPipeline(GxAtomic* atomic, GxInt32)
{
    atomic->pipeline = slots[0];
    return atomic;
}

GxBool GxD3D9SkinPluginAttach(void)
{
    static const GxSkinDriverHooks hooks = {PipelinesCreateHook, PipelinesDestroyHook, GxSkinAtomicInitPipeline};
    GxSkinSetDriverHooks(&hooks);
    return GxSkinPluginAttach();
}

GxBool GxD3D9SkinCanUseVertexShader(const GxAtomic* atomic)
{
    const GxSkin* skin = GxSkinGeometryGetSkin(atomic->geometry);
    return skinCaps.vertexShadersUsable && skin && skin->paletteBones <= skinCaps.maxBones;
}

const GxD3D9SkinDeviceCaps* GxD3D9SkinGetDeviceCaps(void) { return &skinCaps; }

// Palette slot times three of each bone: the bone's place in the used-bone list when the hierarchy has more
// nodes than the constants hold, else the bone itself.
void GxD3D9SkinPaletteRemap(const GxSkin* skin, const GxAnimHierarchy* hierarchy, GxUInt8 remap[kMaxPaletteIndex])
{
    std::memset(remap, kNoSlot, kMaxPaletteIndex);
    if (skin->boneLimit) {
        // Split data: each bone's slot in the palette window of the meshes that use it. A first entry beyond the
        // hierarchy's nodes takes slot 0.
        const GxUInt32 nodes = hierarchy ? static_cast<GxUInt32>(std::max(0, hierarchy->numNodes)) : 0;
        for (GxUInt32 bone = 0; bone < skin->numBones && bone < kMaxPaletteIndex; bone++) {
            GxUInt8 slot = skin->block[bone];
            if (bone == 0 && hierarchy && slot >= nodes) {
                slot = 0;
            }
            if (slot != gxSKINNOREMAP && slot < skinCaps.maxBones) {
                remap[bone] = static_cast<GxUInt8>(kRegistersPerBone * slot);
            }
        }
        return;
    }
    const bool compact = hierarchy && static_cast<GxUInt32>(hierarchy->numNodes) > skinCaps.maxBones;
    for (GxUInt32 i = 0; i < skin->numBoneIDs; i++) {
        const GxUInt32 bone = skin->boneIDs[i];
        const GxUInt32 slot = compact ? i : bone;
        if (slot < skinCaps.maxBones) {
            remap[bone] = static_cast<GxUInt8>(kRegistersPerBone * slot);
        }
    }
}
