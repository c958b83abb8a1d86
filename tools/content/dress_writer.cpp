// Head variants for the character files: the clump of each file is read, given three hats under the head bone
// and written back in place of the old one.
#include "tools/content/dress_writer.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "gfx/anim/anim.h"
#include "gfx/core/bytes.h"
#include "gfx/core/frame.h"
#include "gfx/core/memory.h"
#include "gfx/core/stream.h"
#include "gfx/core/texture.h"
#include "gfx/world/lod.h"
#include "gfx/world/material.h"
#include "gfx/world/userdata.h"
#include "tools/content/clump_writer.h"
#include "tools/content/content_file.h"
#include "tools/content/humanoid_writer.h"

const char* const CONTENTHEADVARIANTS[3] = {"head1", "head2", "head3"};
const char* const CONTENTBAGS[2] = {"bagy", "bagr"};

namespace {

// The head is the fifth bone depth first: hips, spine, chest, neck, head; the hands the eighth and eleventh.
constexpr GxInt32 kHeadBone = 4;
constexpr GxInt32 kHandBones[2] = {10, 7};
constexpr GxUInt32 kChunkHeader = 12;
constexpr GxUInt32 kTOCEntriesAt = kChunkHeader + 4;
constexpr GxUInt32 kTOCOffsetField = 8;
constexpr GxUInt32 kIndexBits = 8;  // a vertex's bone of weight slot j is byte j of its index word
constexpr GxUInt32 kPartFlags = gxGEOMETRYLIGHT | gxGEOMETRYMODULATEMATERIALCOLOR;
constexpr char kTagName[] = "tag";
constexpr char kHairTag[] = "hair";
const GxRGBA kHatColour = {60, 60, 70, 255};
// Carrier bags: a yellow one in the right hand, a red one in the left, each hanging below the hand in its
// bone's space; material tags name them for the characters' tints.
const char* const kBagMaterialTags[2] = {"right bag", "left bag"};
const GxRGBA kBagColours[2] = {{230, 200, 40, 255}, {190, 30, 30, 255}};
const std::vector<ContentBox> kBagBoxes = {{{0, -0.16f, 0}, {0.03f, 0.1f, 0.09f}, 0}};

// Each variant's boxes in the head bone's space: the head's box runs from y 0 to 0.2.
const std::vector<ContentBox> kVariants[3] = {
    {{{0, 0.215f, 0.01f}, {0.13f, 0.025f, 0.11f}, 0}, {{0, 0.195f, 0.12f}, {0.1f, 0.01f, 0.05f}, 0}},  // cap
    {{{0, 0.215f, 0}, {0.17f, 0.01f, 0.16f}, 0}, {{0, 0.31f, 0}, {0.1f, 0.09f, 0.09f}, 0}},            // tall hat
    {{{0, 0.21f, -0.01f}, {0.13f, 0.02f, 0.11f}, 0}, {{0, 0.12f, -0.105f}, {0.13f, 0.1f, 0.02f}, 0}},  // hair
};

const char* FrameTag(GxFrame* frame)
{
    if (GxFrameGetUserDataArrayCount(frame) < 1) {
        return nullptr;
    }
    const GxUserDataArray* array = GxFrameGetUserDataArray(frame, 0);
    if (array == nullptr || GxUserDataArrayGetFormat(array) != gxUSERDATASTRING || array->numElements < 1) {
        return nullptr;
    }
    return GxUserDataArrayGetString(array, 0);
}

struct FrameSearch {
    GxInt32 nodeID;
    GxFrame* found;
    bool tagged;  // a frame already carries a head variant's tag
};

GxFrame* SearchFrame(GxFrame* frame, void* data)
{
    auto* search = static_cast<FrameSearch*>(data);
    if (GxFrameGetNodeID(frame) == search->nodeID && search->found == nullptr) {
        search->found = frame;
    }
    const char* tag = FrameTag(frame);
    for (const char* variant : CONTENTHEADVARIANTS) {
        search->tagged = search->tagged || (tag != nullptr && std::string(tag) == variant);
    }
    GxFrameForAllChildren(frame, SearchFrame, data);
    return frame;
}

// The colour of the body's hair material, so that a hat starts in the person's hair colour.
GxAtomic* HairColour(GxAtomic* atomic, void* data)
{
    const GxGeometry* geometry = atomic->geometry;
    for (GxInt32 i = 0; geometry != nullptr && i < geometry->matList.numMaterials; i++) {
        GxMaterial* material = geometry->matList.materials[i];
        const GxUserDataArray* tag = material != nullptr && GxMaterialGetUserDataArrayCount(material) > 0
                                         ? GxMaterialGetUserDataArray(material, 0)
                                         : nullptr;
        if (tag != nullptr && GxUserDataArrayGetFormat(tag) == gxUSERDATASTRING && tag->numElements > 0 &&
            std::string(GxUserDataArrayGetString(tag, 0)) == kHairTag) {
            *static_cast<GxRGBA*>(data) = material->color;
        }
    }
    return atomic;
}

// What a part takes from the body (the clump's first skinned atomic): its cloth texture, so that the part draws
// with the body's texture and combiner state, and the weights per vertex of each of its levels of detail, so that
// the part draws through the body's skinned pipeline with the body's generated shader at every distance. A
// character's body and what it wears then need no switch of vertex or fragment program between them.
struct BodyLook {
    GxTexture* texture = nullptr;
    GxUInt32 nearWeights = 0;  // 0: no skinned body found
    GxInt32 farLevel = 0;      // the body's coarsest lighter level, 0 when it has none
    GxUInt32 farWeights = 0;
};

GxUInt32 SkinWeights(const GxGeometry* geometry)
{
    const GxSkin* skin = geometry != nullptr ? GxSkinGeometryGetSkin(geometry) : nullptr;
    return skin != nullptr ? skin->maxNumWeightsForVertex : 0;
}

GxAtomic* ReadBodyLook(GxAtomic* atomic, void* data)
{
    auto* look = static_cast<BodyLook*>(data);
    const GxGeometry* geometry = atomic->geometry;
    if (look->nearWeights != 0 || SkinWeights(geometry) == 0) {
        return atomic;
    }
    look->nearWeights = SkinWeights(geometry);
    for (GxInt32 i = 0; i < geometry->matList.numMaterials && look->texture == nullptr; i++) {
        const GxMaterial* material = geometry->matList.materials[i];
        look->texture = material != nullptr ? material->texture : nullptr;
    }
    const GxLODAtomicRecord* record = GxLODAtomicGetRecord(atomic);
    for (GxInt32 l = gxLODATOMICMAXLEVELS - 1; record != nullptr && l > 0 && look->farLevel == 0; l--) {
        if (SkinWeights(record->geometry[l]) != 0) {
            look->farLevel = l;
            look->farWeights = SkinWeights(record->geometry[l]);
        }
    }
    return atomic;
}

// Binds every vertex of a part, which lies in `bone`'s space, to that bone alone with `weights` slots per vertex;
// the spare slots weigh 0 on the same bone. False when the skin could not be made.
bool BindToBone(GxGeometry* geometry, GxInt32 bone, GxUInt32 weights)
{
    const auto n = static_cast<GxUInt32>(geometry->numVertices);
    std::vector<GxReal> w(static_cast<size_t>(n) * gxSKINMAXWEIGHTS, 0.0f);
    GxUInt32 packed = 0;
    for (GxUInt32 slot = 0; slot < gxSKINMAXWEIGHTS; slot++) {
        packed |= static_cast<GxUInt32>(bone) << (kIndexBits * slot);
    }
    std::vector<GxUInt32> indices(n, packed);
    for (GxUInt32 v = 0; v < n; v++) {
        w[static_cast<size_t>(v) * gxSKINMAXWEIGHTS] = 1.0f;
    }
    // Already in the bone's space: every skin-to-bone matrix is the identity.
    std::vector<GxMatrix> toBone(static_cast<size_t>(bone) + 1);
    for (GxMatrix& m : toBone) {
        GxMatrixSetIdentity(&m);
    }
    const auto used = static_cast<GxUInt8>(bone);
    GxSkin* skin = GxSkinCreate();
    if (skin == nullptr || !GxSkinDataAllocate(skin, static_cast<GxUInt32>(bone) + 1, 1, n, &used, w.data(),
                                               indices.data(), toBone.data())) {
        if (skin != nullptr) {
            GxSkinDestroy(skin);
        }
        return false;
    }
    skin->maxNumWeightsForVertex = std::clamp<GxUInt32>(weights, 1, gxSKINMAXWEIGHTS);
    return GxSkinGeometrySetSkin(geometry, skin) != nullptr;
}

// A part's geometry, bound to its bone with `weights` per vertex (left rigid with 0); with shared corners for the far
// level. Null on failure.
GxGeometry* PartGeometry(const std::vector<ContentBox>& boxes, GxMaterial* material, GxInt32 bone, GxUInt32 weights,
                         bool far)
{
    GxGeometry* geometry = far ? ContentCornerBoxGeometry(boxes, &material, 1, kPartFlags)
                               : ContentBoxGeometry(boxes, &material, 1, kPartFlags);
    if (geometry != nullptr && weights > 0 && !BindToBone(geometry, bone, weights)) {
        GxGeometryDestroy(geometry);
        return nullptr;
    }
    return geometry;
}

struct PartPlan {
    const std::vector<ContentBox>* boxes;  // in the bone's space
    GxMaterial* material;
    GxFrame* bone;  // the bone's frame
    GxInt32 boneIndex;
    const char* tag;  // the tag of the part's frame
    bool shown;       // drawn before the game chooses
};

// Adds one part as an atomic on its own frame under the bone's frame, skinned like the body when the body is
// skinned, with the body's far level of detail; false when it could not be made.
bool AddPart(GxClump* clump, const PartPlan& plan, const BodyLook& look)
{
    GxGeometry* geometry = PartGeometry(*plan.boxes, plan.material, plan.boneIndex, look.nearWeights, false);
    GxGeometry* far = look.farLevel > 0 && geometry != nullptr
                          ? PartGeometry(*plan.boxes, plan.material, plan.boneIndex, look.farWeights, true)
                          : nullptr;
    GxFrame* frame = geometry != nullptr && (look.farLevel == 0 || far != nullptr) ? GxFrameCreate() : nullptr;
    GxUserDataArray* name = frame ? GxFrameAddUserDataArray(frame, kTagName, gxUSERDATASTRING, 1) : nullptr;
    GxAtomic* atomic = name && GxUserDataArraySetString(name, 0, plan.tag) ? GxAtomicCreate() : nullptr;
    if (atomic != nullptr) {
        GxFrameAddChild(plan.bone, frame);
        GxAtomicSetFrame(atomic, frame);
        GxAtomicSetGeometry(atomic, geometry, 0);
        if (!plan.shown) {
            atomic->object.object.flags &= static_cast<GxUInt8>(~(gxATOMICRENDER | gxATOMICCOLLISIONTEST));
        }
        GxClumpAddAtomic(clump, atomic);
    } else if (frame != nullptr) {
        GxFrameDestroy(frame);
    }
    const bool ok = atomic != nullptr && (far == nullptr || GxLODAtomicSetGeometry(atomic, look.farLevel, far));
    for (GxGeometry* made : {geometry, far}) {
        if (made != nullptr) {
            GxGeometryDestroy(made);
        }
    }
    return ok;
}

// A part's material: tagged for the characters' tints, in the body's cloth texture. Null on failure.
GxMaterial* PartMaterial(const char* tag, GxRGBA colour, const BodyLook& look)
{
    GxMaterial* material = GxMaterialCreate();
    GxUserDataArray* array = material ? GxMaterialAddUserDataArray(material, kTagName, gxUSERDATASTRING, 1) : nullptr;
    if (array == nullptr || !GxUserDataArraySetString(array, 0, tag)) {
        if (material != nullptr) {
            GxMaterialDestroy(material);
        }
        return nullptr;
    }
    material->color = colour;
    if (look.texture != nullptr) {
        GxMaterialSetTexture(material, look.texture);
    }
    return material;
}

// Adds the three variants under the head frame; false when one could not be made.
bool AddVariants(GxClump* clump, GxFrame* head, const BodyLook& look)
{
    GxRGBA colour = kHatColour;
    GxClumpForAllAtomics(clump, HairColour, &colour);
    GxMaterial* material = PartMaterial(kHairTag, colour, look);
    bool ok = material != nullptr;
    for (int v = 0; v < 3 && ok; v++) {
        // A model drawn before anyone chose its head wears the first.
        ok = AddPart(clump, {&kVariants[v], material, head, kHeadBone, CONTENTHEADVARIANTS[v], v == 0}, look);
    }
    if (material != nullptr) {
        GxMaterialDestroy(material);
    }
    return ok;
}

// Adds the two carrier bags under the hand frames, hidden until a shopper has bought something; false when
// one could not be made.
bool AddBags(GxClump* clump, GxFrame* const hands[2], const BodyLook& look)
{
    bool ok = true;
    for (int b = 0; b < 2 && ok; b++) {
        GxMaterial* material = PartMaterial(kBagMaterialTags[b], kBagColours[b], look);
        ok = material != nullptr &&
             AddPart(clump, {&kBagBoxes, material, hands[b], kHandBones[b], CONTENTBAGS[b], false}, look);
        if (material != nullptr) {
            GxMaterialDestroy(material);
        }
    }
    return ok;
}

// The offset of the clump chunk the table of contents names, or 0 when there is none inside the file.
GxUInt32 ClumpOffset(const std::vector<GxUInt8>& file)
{
    if (file.size() < kTOCEntriesAt) {
        return 0;
    }
    GxMemory memory = {const_cast<GxUInt8*>(file.data()), static_cast<GxUInt32>(file.size())};
    GxStream* stream = GxStreamOpen(gxSTREAMMEMORY, gxSTREAMREAD, &memory);
    GxTOC* toc = stream && GxStreamFindChunk(stream, gxID_TOC, nullptr, nullptr) ? GxTOCStreamRead(stream) : nullptr;
    GxUInt32 offset = 0;
    for (GxInt32 i = 0; toc != nullptr && i < toc->numEntries; i++) {
        const GxTOCEntry* entry = GxTOCGetEntry(toc, i);
        if (entry->id == gxID_CLUMP && offset == 0) {
            offset = entry->offset;
        }
    }
    if (toc != nullptr) {
        GxFree(toc);
    }
    if (stream != nullptr) {
        GxStreamClose(stream, nullptr);
    }
    // The offsets are patched in place, so the table must open the file.
    const bool inside = GxBytesGetU32(file.data()) == gxID_TOC && offset >= kChunkHeader &&
                        file.size() >= kChunkHeader && offset <= file.size() - kChunkHeader &&
                        GxBytesGetU32(&file[offset]) == gxID_CLUMP;
    return inside ? offset : 0;
}

// The images dictionary ahead of the clump at `clumpOffset`. Null with *found false when there is none; null with
// *found true when it is there but cannot be read.
GxTexDictionary* ReadDictionary(const std::vector<GxUInt8>& file, GxUInt32 clumpOffset, bool* found)
{
    *found = false;
    GxMemory memory = {const_cast<GxUInt8*>(file.data()), clumpOffset};
    GxStream* stream = GxStreamOpen(gxSTREAMMEMORY, gxSTREAMREAD, &memory);
    if (stream == nullptr) {
        return nullptr;
    }
    GxTexDictionary* dictionary = nullptr;
    if (GxStreamFindChunk(stream, gxID_IMAGEDICTIONARY, nullptr, nullptr)) {
        *found = true;
        dictionary = GxTexDictionaryStreamReadImages(stream);
    }
    GxStreamClose(stream, nullptr);
    return dictionary;
}

// Reads the clump with the file's own dictionary current: its materials find their textures by name there, and a
// texture not found would be left out when the clump is written back.
GxClump* ReadClump(const std::vector<GxUInt8>& file, GxUInt32 offset, GxTexDictionary* dictionary)
{
    GxTexDictionary* previous = GxTexDictionaryGetCurrent();
    if (dictionary != nullptr) {
        GxTexDictionarySetCurrent(dictionary);
    }
    GxMemory memory = {const_cast<GxUInt8*>(file.data()) + offset, static_cast<GxUInt32>(file.size() - offset)};
    GxStream* stream = GxStreamOpen(gxSTREAMMEMORY, gxSTREAMREAD, &memory);
    GxClump* clump =
        stream && GxStreamFindChunk(stream, gxID_CLUMP, nullptr, nullptr) ? GxClumpStreamRead(stream) : nullptr;
    if (stream != nullptr) {
        GxStreamClose(stream, nullptr);
    }
    GxTexDictionarySetCurrent(previous);
    return clump;
}

}  // namespace

std::vector<GxUInt8> ContentDressCharacterBytes(const std::vector<GxUInt8>& file)
{
    const GxUInt32 offset = ClumpOffset(file);
    const GxUInt32 oldSize = offset != 0 ? GxBytesGetU32(&file[offset + 4]) : 0;
    if (offset == 0 || oldSize > file.size() - offset - kChunkHeader) {
        return {};
    }
    bool hasDictionary = false;
    GxTexDictionary* dictionary = ReadDictionary(file, offset, &hasDictionary);
    GxClump* clump = hasDictionary && dictionary == nullptr ? nullptr : ReadClump(file, offset, dictionary);
    if (clump == nullptr) {
        if (dictionary != nullptr) {
            GxTexDictionaryDestroy(dictionary);
        }
        return {};
    }
    GxInt32 ids[CONTENTHUMANOIDBONES];
    GxInt32 flags[CONTENTHUMANOIDBONES];
    ContentHumanoidNodes(ids, flags);
    FrameSearch search = {ids[kHeadBone], nullptr, false};
    SearchFrame(static_cast<GxFrame*>(clump->object.parent), &search);
    GxFrame* hands[2] = {nullptr, nullptr};
    for (int b = 0; b < 2; b++) {
        FrameSearch hand = {ids[kHandBones[b]], nullptr, false};
        SearchFrame(static_cast<GxFrame*>(clump->object.parent), &hand);
        hands[b] = hand.found;
    }
    BodyLook look;
    GxClumpForAllAtomics(clump, ReadBodyLook, &look);
    std::vector<GxUInt8> dressed;
    if (search.found != nullptr && hands[0] != nullptr && hands[1] != nullptr && !search.tagged &&
        AddVariants(clump, search.found, look) && AddBags(clump, hands, look)) {
        dressed = ContentClumpBytes(clump);
    }
    GxClumpDestroy(clump);
    if (dictionary != nullptr) {
        GxTexDictionaryDestroy(dictionary);
    }
    if (dressed.empty()) {
        return {};
    }
    const GxUInt32 end = offset + kChunkHeader + oldSize;
    const int64_t growth = static_cast<int64_t>(dressed.size()) - (kChunkHeader + oldSize);
    std::vector<GxUInt8> out(file.begin(), file.begin() + offset);
    out.insert(out.end(), dressed.begin(), dressed.end());
    out.insert(out.end(), file.begin() + end, file.end());
    // Chunks after the clump moved by its growth.
    const GxUInt32 entries = GxBytesGetU32(&out[kChunkHeader]);
    for (GxUInt32 i = 0; i < entries && kTOCEntriesAt + (i + 1) * gxTOCENTRYSIZE <= offset; i++) {
        GxUInt8* field = &out[kTOCEntriesAt + i * gxTOCENTRYSIZE + kTOCOffsetField];
        const GxUInt32 at = GxBytesGetU32(field);
        if (at >= end) {
            GxBytesPutU32(field, static_cast<GxUInt32>(at + growth));
        }
    }
    return out;
}

bool ContentDressCharacters(const std::string& directory, std::string* detail)
{
    std::error_code error;
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(directory, error)) {
        if (entry.path().extension() == ".gxs") {
            files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());
    for (const std::filesystem::path& path : files) {
        std::ifstream in(path, std::ios::binary);
        const std::vector<GxUInt8> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (!in.good() && !in.eof()) {
            *detail = "(cannot read " + path.string() + ")";
            return false;
        }
        const std::vector<GxUInt8> dressed = ContentDressCharacterBytes(file);
        if (!dressed.empty() &&
            !ContentWriteBytes(path.string().c_str(), dressed.data(), static_cast<unsigned>(dressed.size()))) {
            *detail = "(cannot write " + path.string() + ")";
            return false;
        }
    }
    if (error) {
        *detail = "(cannot list " + directory + ")";
    }
    return !error;
}
