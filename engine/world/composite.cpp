// The composite model: set-up from a stream or from pooled sources, levels of detail, parts, tints,
// scaling, texture-coordinate animation, model files and membership in a world.
//
// Sections: helpers; lifecycle; set-up and levels of detail; parts and materials; frames and motion;
// dictionaries and model files; worlds.
#include "engine/world/composite.h"

#include <cmath>
#include <cstring>
#include <iterator>
#include <map>
#include <string>

#include "engine/data/context.h"
#include "engine/data/path.h"
#include "engine/data/startup.h"
#include "engine/world/camera.h"
#include "engine/world/clump_local.h"
#include "engine/world/clumpext.h"
#include "engine/world/object.h"
#include "gfx/core/image.h"
#include "gfx/core/memory.h"
#include "gfx/core/texture.h"
#include "gfx/fx/fx.h"
#include "gfx/world/lod.h"
#include "gfx/world/userdata.h"
#include "gfx/world/world.h"

// ---- helpers ----

namespace {

const char* const kLODTag = "LOD";
const char* const kFirstLevelTag = "LOD_0";
// Geometry flag that makes the material colour modulate the texture.
const GxUInt32 kModulateMaterialColour = 0x40;
// Type, length and library stamp before every chunk's body.
const uint64_t kChunkHeaderBytes = 12;

// The chunks a model file's table leads to: its clump and its dictionaries; other types are passed over.
bool IsReadOnLoad(GxUInt32 type)
{
    return type == kFerroxChunkClump || type == kFerroxChunkImageDictionary || type == kFerroxChunkTexDictionary;
}

GxFrame* AtomicFrame(GxAtomic* atomic) { return atomic ? GxFramedObjectGetFrame(&atomic->object) : nullptr; }

const char* MaterialTag(GxMaterial* material)
{
    if (!material || GxMaterialGetUserDataArrayCount(material) < 1)
        return nullptr;
    const GxUserDataArray* array = GxMaterialGetUserDataArray(material, 0);
    if (!array || array->format != gxUSERDATASTRING || array->numElements < 1)
        return nullptr;
    return GxUserDataArrayGetString(array, 0);
}

bool Contains(const char* text, const char* part) { return text && part && std::strstr(text, part) != nullptr; }

GxAtomic* FirstAtomic(GxClump* clump)
{
    GxAtomic* first = nullptr;
    if (clump) {
        GxClumpForAllAtomics(
            clump,
            [](GxAtomic* atomic, void* data) -> GxAtomic* {
                *static_cast<GxAtomic**>(data) = atomic;
                return nullptr;
            },
            &first);
    }
    return first;
}

template <typename F>
void ForEachMaterial(GxGeometry* geometry, F each)
{
    if (!geometry)
        return;
    for (GxInt32 i = 0; i < geometry->matList.numMaterials; i++) {
        if (geometry->matList.materials[i])
            each(geometry->matList.materials[i]);
    }
}

// The driver's own texture files come before whatever the texture read installed so far finds.
GxClump* ReadClump(GxStream* stream)
{
    const GxTextureCallBackRead previous = GxTextureGetReadCallback();
    FerroxInstallTextureReader();
    GxClump* clump = GxClumpStreamRead(stream);
    GxTextureSetReadCallback(previous);
    return clump;
}

// The dictionary that lists the clump's first listed texture, or null.
GxTexDictionary* TextureDictionary(GxClump* clump)
{
    GxTexDictionary* found = nullptr;
    FerroxForEachAtomic(clump, [&found](GxAtomic* atomic) {
        ForEachMaterial(atomic->geometry, [&found](GxMaterial* material) {
            if (!found && material->texture)
                found = GxTextureGetDictionary(material->texture);
        });
    });
    return found;
}

// A copy of the clump: with clone set its atomics share the geometry; otherwise the copy is written to memory
// and read back, so that it owns its geometry and materials. The read-back looks its textures up by name in the
// dictionary the original's came from: the current one may by then be another file's, which would leave the
// copy untextured.
GxClump* CopyClump(GxClump* clump, bool clone)
{
    if (!clump)
        return nullptr;
    if (clone)
        return GxClumpClone(clump);
    GxStream* out = GxStreamOpen(gxSTREAMMEMORY, gxSTREAMWRITE, nullptr);
    if (!out)
        return nullptr;
    const bool written = GxClumpStreamWrite(clump, out) != nullptr;
    GxMemory memory = {nullptr, 0};
    if (!GxStreamClose(out, &memory) || !written) {
        GxFree(memory.start);
        return nullptr;
    }
    GxClump* copy = nullptr;
    GxTexDictionary* previous = GxTexDictionaryGetCurrent();
    GxTexDictionary* own = TextureDictionary(clump);
    if (own)
        GxTexDictionarySetCurrent(own);
    GxStream* in = GxStreamOpen(gxSTREAMMEMORY, gxSTREAMREAD, &memory);
    if (in) {
        GxUInt32 length = 0, version = 0;
        if (GxStreamFindChunk(in, gxID_CLUMP, &length, &version))
            copy = ReadClump(in);
        GxStreamClose(in, nullptr);
    }
    GxTexDictionarySetCurrent(previous);
    GxFree(memory.start);
    return copy;
}

const char* RecordName(const FerroxModelRecord* record)
{
    const char* name = record && record->asset ? record->asset->GetName() : nullptr;
    return name ? name : "";
}

GxClump* RecordClump(const FerroxModelRecord* record)
{
    return record && record->asset ? record->asset->GetClump() : nullptr;
}

}  // namespace

GxAtomic* HideAtomicCallback(GxAtomic* atomic, void*)
{
    if (atomic)
        atomic->object.object.flags &= static_cast<GxUInt8>(~gxATOMICRENDER);
    return atomic;
}

FerroxWorldAccess& FerroxGetWorldAccess()
{
    static FerroxWorldAccess access = {};
    return access;
}

// ---- lifecycle ----

CFerroxComposite::CFerroxComposite() { Init(); }

CFerroxComposite::~CFerroxComposite() { Release(); }

void CFerroxComposite::Init()
{
    m_clumps.clear();
    m_pWorldRegistry = nullptr;
    m_yaw = 0.0f;
    m_pLODAtomic = nullptr;
    m_levelCount = 0;
    m_pOwner = nullptr;
    m_pointers.clear();
    m_animatedMaterials.clear();
    m_renderCallback = nullptr;
    m_pClump = nullptr;
    m_pWorld = nullptr;
}

void CFerroxComposite::Release()
{
    RemoveFromWorld();
    for (GxClump* clump : m_clumps) {
        GxWorld* world = GxClumpGetWorld(clump);
        if (world)
            GxWorldRemoveClump(world, clump);
        GxClumpDestroy(clump);
    }
    DestroyOwnedDictionaries();
    Init();
}

void CFerroxComposite::DestroyOwnedDictionaries()
{
    for (GxTexDictionary* dictionary : m_dictionaries) {
        if (GxTexDictionaryGetCurrent() == dictionary)
            GxTexDictionarySetCurrent(nullptr);
        GxTexDictionaryDestroy(dictionary);
    }
    m_dictionaries.clear();
}

void CFerroxComposite::SetClumpComposite(CFerroxComposite* composite) { ::SetClumpComposite(m_pClump, composite); }

GxClump* CFerroxComposite::GetClump() { return m_pClump; }

int CFerroxComposite::SetOwner(CFerroxObject* owner)
{
    m_pOwner = owner;
    return 0;
}

CFerroxObject* CFerroxComposite::GetOwner() { return m_pOwner; }

int CFerroxComposite::SetClumpCallback(GxClumpCallBack callback)
{
    return m_pClump && GxClumpSetCallback(m_pClump, callback) ? 0 : 1;
}

void CFerroxComposite::SetClumpOwner(CFerroxObject* owner) { ::SetClumpOwner(m_pClump, owner); }

// ---- set-up and levels of detail ----

void CFerroxComposite::CollectAnimatedMaterials(GxClump* clump)
{
    FerroxForEachAtomic(clump, [this](GxAtomic* atomic) {
        ForEachMaterial(atomic->geometry, [this](GxMaterial* material) {
            if (!GxUVAnimMaterialHasAnimation(material))
                return;
            for (GxMaterial* listed : m_animatedMaterials) {
                if (listed == material)
                    return;
            }
            m_animatedMaterials.push_back(material);
        });
    });
}

int CFerroxComposite::SetupLOD(const FerroxLODSetup* setup)
{
    if (!setup)
        return 0;
    SetName(setup->name);
    if (setup->stream) {
        GxClump* clump = ReadClump(setup->stream);
        if (!clump)
            return 0;
        m_clumps.push_back(clump);
        m_pClump = clump;
        SetClumpComposite(this);
        return 1;
    }
    if (!setup->sources || setup->sources->empty()) {
        SetClumpComposite(this);
        return m_pClump ? 1 : 0;
    }
    const bool levels = Contains(RecordName(setup->sources->front()), kLODTag);
    if (!levels || !SetupLevels(setup))
        SetupCopies(setup);
    if (m_pClump && setup->owner) {
        for (GxClump* clump : m_clumps)
            ::SetClumpOwner(clump, static_cast<CFerroxObject*>(setup->owner));
    }
    SetClumpComposite(this);
    return m_pClump ? 1 : 0;
}

int CFerroxComposite::SetupCopies(const FerroxLODSetup* setup)
{
    for (const FerroxModelRecord* source : *setup->sources) {
        GxClump* copy = CopyClump(RecordClump(source), setup->clone != 0);
        if (!copy)
            continue;
        m_clumps.push_back(copy);
        if (setup->renderCallback) {
            const GxAtomicCallBackRender callback = setup->renderCallback;
            FerroxForEachAtomic(copy, [callback](GxAtomic* atomic) { GxAtomicSetRenderCallBack(atomic, callback); });
            m_renderCallback = callback;
        }
    }
    if (m_clumps.empty())
        return 0;
    m_pClump = m_clumps.front();
    CollectAnimatedMaterials(m_pClump);
    return 1;
}

// 0 when the set has no first level to carry the others; nothing is made then.
int CFerroxComposite::SetupLevels(const FerroxLODSetup* setup)
{
    const FerroxModelRecord* first = nullptr;
    for (const FerroxModelRecord* source : *setup->sources) {
        if (Contains(RecordName(source), kFirstLevelTag) && RecordClump(source)) {
            first = source;
            break;
        }
    }
    if (!first)
        return 0;
    GxClump* base = CopyClump(RecordClump(first), setup->clone != 0);
    GxAtomic* atomic = FirstAtomic(base);
    if (!atomic || !GxLODAtomicSetGeometry(atomic, 0, atomic->geometry)) {
        if (base)
            GxClumpDestroy(base);
        return 0;
    }
    m_clumps.push_back(base);
    m_pClump = base;
    m_pLODAtomic = atomic;
    m_levelCount = static_cast<int32_t>(setup->sources->size());
    if (setup->renderCallback) {
        GxAtomicSetRenderCallBack(atomic, setup->renderCallback);
        m_renderCallback = setup->renderCallback;
    }
    for (const FerroxModelRecord* source : *setup->sources) {
        const std::string name = RecordName(source);
        const char last = name.empty() ? '\0' : name.back();
        if (last < '1' || last > '9')
            continue;
        GxClump* copy = CopyClump(RecordClump(source), setup->clone != 0);
        GxAtomic* levelAtomic = FirstAtomic(copy);
        if (levelAtomic)
            GxLODAtomicSetGeometry(atomic, last - '0', levelAtomic->geometry);
        // The level keeps its own reference to the geometry.
        if (copy)
            GxClumpDestroy(copy);
    }
    CollectAnimatedMaterials(base);
    GxLODAtomicSetLODCallback(atomic, LODSelect);
    GxLODAtomicHookRender(atomic);
    return 1;
}

GxInt32 CFerroxComposite::LevelForDepth(float depth)
{
    if (depth < kFerroxLODLevel1Depth)
        return 0;
    if (depth < kFerroxLODLevel2Depth)
        return 1;
    return 2;
}

GxInt32 CFerroxComposite::LODSelect(GxAtomic* atomic)
{
    GxFrame* frame = AtomicFrame(atomic);
    // A model drawn with no game camera is drawn in full detail.
    CFerroxCamera* camera = g_pFerroxGameContext ? g_pFerroxGameContext->GetCamera() : nullptr;
    const GxV3d* eye = camera ? camera->GetPosition() : nullptr;
    const GxV3d* at = camera ? camera->GetAt() : nullptr;
    if (!frame || !eye || !at)
        return 0;
    const GxV3d& p = GxFrameGetWorldMatrix(frame)->pos;
    // The depth along the view, not the straight-line distance.
    const float depth = (p.x - eye->x) * at->x + (p.y - eye->y) * at->y + (p.z - eye->z) * at->z;
    return LevelForDepth(depth);
}

// ---- parts and materials ----

GxAtomic* CFerroxComposite::FindPart(const char* name)
{
    const std::string wanted = name ? name : "";
    GxAtomic* found = nullptr;
    FerroxForEachAtomic(m_pClump, [&](GxAtomic* atomic) {
        if (found)
            return;
        const char* tag = FerroxFrameTag(AtomicFrame(atomic));
        if (tag ? wanted == tag : wanted.empty())
            found = atomic;
    });
    return found;
}

GxAtomic* CFerroxComposite::ShowPartVariant(const char* name, GxUInt8 mask, int number)
{
    const char* wanted = name ? name : "";
    const std::string digits = std::to_string(number);
    GxAtomic* found = nullptr;
    FerroxForEachAtomic(m_pClump, [&](GxAtomic* atomic) {
        const char* tag = FerroxFrameTag(AtomicFrame(atomic));
        if (!tag || !Contains(tag, wanted))
            return;
        GxUInt8& flags = atomic->object.object.flags;
        if (number < 1) {
            flags |= mask;
        } else if (Contains(tag, digits.c_str())) {
            flags |= mask;
            found = atomic;
        } else {
            flags &= static_cast<GxUInt8>(~mask);
        }
    });
    return found;
}

void CFerroxComposite::OrGeometryFlags(const FerroxGeometryFlags* record)
{
    if (!record)
        return;
    const GxUInt32 flags = record->flags;
    FerroxForEachAtomic(m_pClump, [flags](GxAtomic* atomic) {
        if (atomic->geometry)
            atomic->geometry->flags |= flags;
    });
}

void CFerroxComposite::ScaleGeometry(const FerroxScaleRecord* record)
{
    if (!record)
        return;
    FerroxForEachAtomic(m_pClump, [record](GxAtomic* atomic) {
        GxGeometry* geometry = atomic->geometry;
        if (!geometry || !geometry->morphTarget || !GxGeometryLock(geometry, gxGEOMETRYLOCKALL))
            return;
        GxMorphTarget* target = &geometry->morphTarget[0];
        for (GxInt32 i = 0; i < geometry->numVertices && target->verts; i++) {
            target->verts[i].x *= record->x;
            target->verts[i].z *= record->z;
        }
        GxTexCoords* uv = geometry->numTexCoordSets > 0 ? geometry->texCoords[0] : nullptr;
        for (GxInt32 i = 0; i < geometry->numVertices && uv; i++) {
            uv[i].u *= record->u;
            uv[i].v *= record->v;
        }
        GxMorphTargetCalcBoundingSphere(target, &target->boundingSphere);
        GxGeometryUnlock(geometry);
        GxAtomicInterpolateBoundingSphere(atomic);
    });
}

void CFerroxComposite::TintMaterials(const std::vector<FerroxTint>& table, const GxRGBA* defaultColour, GxAtomic* part)
{
    auto tint = [&](GxMaterial* material) {
        if (table.empty()) {
            if (defaultColour)
                material->color = *defaultColour;
            return;
        }
        const char* tag = MaterialTag(material);
        if (!tag)
            return;
        for (size_t i = table.size(); i-- > 0;) {
            if (Contains(tag, table[i].name.c_str())) {
                material->color = table[i].colour;
                return;
            }
        }
    };
    if (part) {
        ForEachMaterial(part->geometry, tint);
        if (part->geometry)
            part->geometry->flags |= kModulateMaterialColour;
        return;
    }
    FerroxForEachAtomic(m_pClump, [&](GxAtomic* atomic) { ForEachMaterial(atomic->geometry, tint); });
}

void CFerroxComposite::SetMaterialColour(const GxRGBA* colour)
{
    if (!colour)
        return;
    const GxRGBA value = *colour;
    FerroxForEachAtomic(m_pClump, [value](GxAtomic* atomic) {
        ForEachMaterial(atomic->geometry, [value](GxMaterial* material) { material->color = value; });
    });
}

int CFerroxComposite::AttachTo(std::vector<GxFrame*>* frames, const char* match)
{
    if (!frames || !m_pClump)
        return 0;
    const char* wanted = match ? match : "";
    struct Walk {
        std::vector<GxFrame*>* frames;
        const char* wanted;
        static GxFrame* Visit(GxFrame* frame, void* data)
        {
            Walk* walk = static_cast<Walk*>(data);
            if (*walk->wanted == '\0' || Contains(FerroxFrameTag(frame), walk->wanted))
                walk->frames->push_back(frame);
            GxFrameForAllChildren(frame, Visit, data);
            return frame;
        }
    } walk = {frames, wanted};
    Walk::Visit(GetFrame(), &walk);
    return 0;
}

// ---- frames and motion ----

GxFrame* CFerroxComposite::GetFrame() { return m_pClump ? static_cast<GxFrame*>(m_pClump->object.parent) : nullptr; }

void CFerroxComposite::Translate(const GxV3d* vector, int combine)
{
    GxFrame* frame = GetFrame();
    if (frame && vector)
        GxFrameTranslate(frame, vector, combine);
}

void CFerroxComposite::Rotate(const GxV3d* axis, float degrees, int combine)
{
    m_yaw = combine == 0 ? degrees : m_yaw + degrees;
    GxFrame* frame = GetFrame();
    if (frame && axis)
        GxFrameRotate(frame, axis, degrees, combine);
}

GxV3d* CFerroxComposite::GetPosition()
{
    GxFrame* frame = GetFrame();
    return frame ? &GxFrameGetMatrix(frame)->pos : nullptr;
}

const GxV3d* CFerroxComposite::GetWorldPosition()
{
    GxFrame* frame = AtomicFrame(FirstAtomic(m_pClump));
    return frame ? &GxFrameGetWorldMatrix(frame)->pos : nullptr;
}

void CFerroxComposite::AdvanceAnimation(float dt)
{
    for (GxMaterial* material : m_animatedMaterials) {
        GxUVAnimMaterialAddTime(material, dt);
        GxUVAnimMaterialApply(material);
    }
}

// ---- dictionaries and model files ----

int CFerroxComposite::KeepDictionary(GxTexDictionary* dictionary)
{
    if (!dictionary)
        return 0;
    m_dictionaries.push_back(dictionary);
    GxTexDictionarySetCurrent(dictionary);
    return 1;
}

int CFerroxComposite::ReadTexDictionary(GxStream* stream)
{
    GxUInt32 type = 0, length = 0;
    if (!stream || !GxStreamReadChunkHeader(stream, &type, &length, nullptr, nullptr) ||
        type != kFerroxChunkTexDictionary)
        return 0;
    return KeepDictionary(GxTexDictionaryStreamRead(stream));
}

int CFerroxComposite::ReadImageDictionary(GxStream* stream)
{
    GxUInt32 type = 0, length = 0;
    if (!stream || !GxStreamReadChunkHeader(stream, &type, &length, nullptr, nullptr) ||
        type != kFerroxChunkImageDictionary)
        return 0;
    return KeepDictionary(GxTexDictionaryStreamReadImages(stream));
}

// Start and end of each chunk read, by start; no two overlap.
struct CFerroxComposite::ReadSpans {
    std::map<uint64_t, uint64_t> spans;

    // Takes the chunk's bytes for reading; false when some of them were read before.
    bool Claim(GxUInt32 offset, GxUInt32 length)
    {
        const uint64_t start = offset;
        const uint64_t end = start + kChunkHeaderBytes + length;
        auto next = spans.lower_bound(start);
        if (next != spans.end() && next->first < end)
            return false;
        if (next != spans.begin() && std::prev(next)->second > start)
            return false;
        spans.emplace(start, end);
        return true;
    }
};

int CFerroxComposite::Load(const FerroxModelFileDescriptor& descriptor)
{
    const char* fileName = descriptor.fileName;
    if (!fileName)
        return 0;
    // Textures the file does not hold are read from the textures folder beside it.
    SetTexturePath(fileName);
    GxStream* stream = GxStreamOpen(gxSTREAMFILENAME, gxSTREAMREAD, fileName);
    if (!stream)
        return 0;
    GxUInt32 length = 0, version = 0;
    GxTOC* toc = GxStreamFindChunk(stream, kFerroxChunkTOC, &length, &version) ? GxTOCStreamRead(stream) : nullptr;
    GxStreamClose(stream, nullptr);
    if (!toc)
        return 0;
    SetName(descriptor.name);
    ReadSpans spans;
    const GxInt32 count = toc->numEntries;
    for (GxInt32 i = 0; i < count; i++)
        LoadEntry(fileName, GxTOCGetEntry(toc, i), &spans);
    GxFree(toc);
    return m_pClump ? 1 : 0;
}

// Reads the chunk a table entry points at; each entry opens the file anew so that no entry depends on where
// the previous one left the stream. A chunk listed again, or lying inside one read before, is passed over: a
// table of many entries would otherwise read the same bytes into a new dictionary each time.
void CFerroxComposite::LoadEntry(const char* fileName, const GxTOCEntry* entry, ReadSpans* spans)
{
    if (!entry)
        return;
    GxStream* stream = GxStreamOpen(gxSTREAMFILENAME, gxSTREAMREAD, fileName);
    if (!stream)
        return;
    GxUInt32 type = 0, length = 0;
    if (!GxStreamCanSupply(stream, entry->offset) || (entry->offset && !GxStreamSkip(stream, entry->offset)) ||
        !GxStreamReadChunkHeader(stream, &type, &length, nullptr, nullptr) || !IsReadOnLoad(type) ||
        !spans->Claim(entry->offset, length)) {
        GxStreamClose(stream, nullptr);
        return;
    }
    switch (type) {
    case kFerroxChunkClump:
        // Each clump read becomes the model's; one read before stays among the clumps the model frees.
        if (GxClump* clump = ReadClump(stream)) {
            m_clumps.push_back(clump);
            m_pClump = clump;
        }
        break;
    case kFerroxChunkImageDictionary:
        KeepDictionary(GxTexDictionaryStreamReadImages(stream));
        break;
    case kFerroxChunkTexDictionary:
        KeepDictionary(GxTexDictionaryStreamRead(stream));
        break;
    }
    GxStreamClose(stream, nullptr);
}

// ---- worlds ----

void CFerroxComposite::AddToWorld(CFerroxWorld* world)
{
    const FerroxWorldAccess& access = FerroxGetWorldAccess();
    m_pWorld = world && access.graphicsWorld ? access.graphicsWorld(world) : nullptr;
    CFerroxWorldRegistry* registry = world && access.registry ? access.registry(world) : nullptr;
    // A model listed by another world's registry would stay in that list after it moved.
    if (m_pWorldRegistry && registry != m_pWorldRegistry && access.unregisterModel)
        access.unregisterModel(m_pWorldRegistry, this);
    if (registry) {
        m_pWorldRegistry = registry;
        if (access.registerModel)
            access.registerModel(registry, this);
    }
    if (!m_pClump || !m_pWorld)
        return;
    GxWorld* current = GxClumpGetWorld(m_pClump);
    if (current && current != m_pWorld)
        GxWorldRemoveClump(current, m_pClump);
    if (current != m_pWorld)
        GxWorldAddClump(m_pWorld, m_pClump);
}

void CFerroxComposite::RemoveFromWorld()
{
    GxWorld* current = m_pClump ? GxClumpGetWorld(m_pClump) : nullptr;
    if (current) {
        GxWorldRemoveClump(current, m_pClump);
        m_pWorld = nullptr;
    }
    const FerroxWorldAccess& access = FerroxGetWorldAccess();
    if (m_pWorldRegistry && access.unregisterModel)
        access.unregisterModel(m_pWorldRegistry, this);
    m_pWorldRegistry = nullptr;
}

GxWorld* CFerroxComposite::GetWorld() { return m_pWorld; }

CFerroxWorldRegistry* CFerroxComposite::GetWorldRegistry() { return m_pWorldRegistry; }

void CFerroxComposite::SetWorldRegistry(CFerroxWorldRegistry* registry) { m_pWorldRegistry = registry; }
