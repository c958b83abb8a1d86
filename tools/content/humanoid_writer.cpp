// The skinned humanoid: skeleton, boxed body with joint-blended weights, animations and the character file.
#include "tools/content/humanoid_writer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "gfx/core/image.h"
#include "gfx/core/memory.h"
#include "gfx/core/raster.h"
#include "gfx/core/stream.h"
#include "gfx/core/texture.h"
#include "gfx/world/lod.h"
#include "gfx/world/material.h"
#include "gfx/world/userdata.h"
#include "tools/content/clump_writer.h"
#include "tools/content/content_file.h"
#include "tools/content/texdict_writer.h"

namespace {

enum Bone : GxInt32 {
    kHips,
    kSpine,
    kChest,
    kNeck,
    kHead,
    kUpperArmL,
    kForearmL,
    kHandL,
    kUpperArmR,
    kForearmR,
    kHandR,
    kThighL,
    kShinL,
    kFootL,
    kThighR,
    kShinR,
    kFootR,
};

// Parent of each bone (-1 for the hips), in depth-first order.
const GxInt32 kParent[CONTENTHUMANOIDBONES] = {
    -1,         kHips,     kSpine, kChest,  kNeck,  kChest, kUpperArmL, kForearmL, kChest,
    kUpperArmR, kForearmR, kHips,  kThighL, kShinL, kHips,  kThighR,    kShinR,
};

// Bind pose: 1.8 tall, feet at y 0, arms hanging, facing +z.
const GxV3d kOffset[CONTENTHUMANOIDBONES] = {
    {0.0f, 0.95f, 0.0f},  {0.0f, 0.15f, 0.0f},  {0.0f, 0.2f, 0.0f},   {0.0f, 0.2f, 0.0f},   {0.0f, 0.1f, 0.0f},
    {0.2f, 0.15f, 0.0f},  {0.0f, -0.28f, 0.0f}, {0.0f, -0.25f, 0.0f}, {-0.2f, 0.15f, 0.0f}, {0.0f, -0.28f, 0.0f},
    {0.0f, -0.25f, 0.0f}, {0.1f, -0.05f, 0.0f}, {0.0f, -0.42f, 0.0f}, {0.0f, -0.4f, 0.0f},  {-0.1f, -0.05f, 0.0f},
    {0.0f, -0.42f, 0.0f}, {0.0f, -0.4f, 0.0f},
};

// Material of each bone's box: 0 skin, 1 shirt, 2 trousers, 3 shoes, 4 hair.
enum Material : GxInt32 {
    kSkinMat,
    kShirtMat,
    kTrousersMat,
    kShoesMat,
    kHairMat,
    kMaterialCount
};
const char* const kMaterialTags[kMaterialCount] = {"skin", "shirt", "trousers", "shoes", "hair"};

constexpr GxInt32 kNodeIDBase = 1;
constexpr GxInt32 kVerticesPerBox = 24;
constexpr GxReal kJointBlend = 0.1f;  // weight the parent takes at a box's upper end
constexpr GxUInt32 kIndexBits = 8;    // a vertex's bone of weight slot j is byte j of its index word
constexpr GxUInt32 kIndexMask = 0xFF;
constexpr GxInt32 kTextureSize = 64;
constexpr GxUInt32 kTextureFilter = 0x1106;
constexpr GxUInt32 kBodyFlags = gxGEOMETRYLIGHT | gxGEOMETRYMODULATEMATERIALCOLOR;
const char* const kTextureName = "hum_cloth";

GxV3d Add(GxV3d a, GxV3d b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }

GxV3d BindWorld(GxInt32 bone)
{
    GxV3d p = kOffset[bone];
    for (GxInt32 b = kParent[bone]; b >= 0; b = kParent[b]) {
        p = Add(p, kOffset[b]);
    }
    return p;
}

bool HasChildren(GxInt32 bone)
{
    for (GxInt32 b = bone + 1; b < CONTENTHUMANOIDBONES; b++) {
        if (kParent[b] == bone) {
            return true;
        }
    }
    return false;
}

bool HasLaterSibling(GxInt32 bone)
{
    for (GxInt32 b = bone + 1; b < CONTENTHUMANOIDBONES; b++) {
        if (kParent[b] == kParent[bone]) {
            return true;
        }
    }
    return false;
}

// The box around a bone: from its joint toward its first child (or along its own offset for leaves).
ContentBox BoneBox(GxInt32 bone)
{
    const GxV3d start = BindWorld(bone);
    GxV3d end = Add(start, kOffset[bone].y < 0 ? GxV3d{0, -0.2f, 0} : GxV3d{0, 0.2f, 0});
    for (GxInt32 b = bone + 1; b < CONTENTHUMANOIDBONES; b++) {
        if (kParent[b] == bone) {
            end = BindWorld(b);
            break;
        }
    }
    if (bone == kHead) {
        end = Add(start, GxV3d{0, 0.2f, 0});
    }
    if (bone == kFootL || bone == kFootR) {
        end = Add(start, GxV3d{0, -0.08f, 0.12f});
    }
    const GxV3d centre = {(start.x + end.x) * 0.5f, (start.y + end.y) * 0.5f, (start.z + end.z) * 0.5f};
    const GxReal thick = (bone <= kHead) ? 0.12f : 0.05f;
    const GxV3d half = {std::fabs(end.x - start.x) * 0.5f + thick, std::fabs(end.y - start.y) * 0.5f + 0.01f,
                        std::fabs(end.z - start.z) * 0.5f + thick * 0.8f};
    GxInt32 material = kShirtMat;
    if (bone == kHead || bone == kNeck || bone == kHandL || bone == kHandR) {
        material = kSkinMat;
    } else if (bone >= kThighL && bone != kFootL && bone != kFootR) {
        material = kTrousersMat;
    } else if (bone == kFootL || bone == kFootR || bone == kHips) {
        material = bone == kHips ? kTrousersMat : kShoesMat;
    }
    return ContentBox{centre, half, material};
}

// The far body: few boxes with shared corners, each enclosing the full body's boxes of a run of bones and bound
// rigidly to the first of them; grouped by material like the full body. The hands stay (they cost no draw of their
// own); the shoes go, a pixel or two at that distance, and with them a draw.
struct FarPart {
    GxInt32 first;  // the bone the box follows
    GxInt32 last;
    GxInt32 material;
};
const FarPart kFarParts[] = {
    {kNeck, kHead, kSkinMat},     {kHandL, kHandL, kSkinMat},         {kHandR, kHandR, kSkinMat},
    {kSpine, kChest, kShirtMat},  {kUpperArmL, kForearmL, kShirtMat}, {kUpperArmR, kForearmR, kShirtMat},
    {kHips, kHips, kTrousersMat}, {kThighL, kFootL, kTrousersMat},    {kThighR, kFootR, kTrousersMat},
};
// The level the far body takes on the body atomic: the composite's depth rule gives it from 10 units ahead.
constexpr GxInt32 kFarLevel = 2;

ContentBox FarBox(const FarPart& part)
{
    GxV3d low = {1e9f, 1e9f, 1e9f};
    GxV3d high = {-1e9f, -1e9f, -1e9f};
    for (GxInt32 b = part.first; b <= part.last; b++) {
        const ContentBox box = BoneBox(b);
        low = {std::min(low.x, box.centre.x - box.half.x), std::min(low.y, box.centre.y - box.half.y),
               std::min(low.z, box.centre.z - box.half.z)};
        high = {std::max(high.x, box.centre.x + box.half.x), std::max(high.y, box.centre.y + box.half.y),
                std::max(high.z, box.centre.z + box.half.z)};
    }
    const GxV3d centre = {(low.x + high.x) * 0.5f, (low.y + high.y) * 0.5f, (low.z + high.z) * 0.5f};
    return ContentBox{centre, {high.x - centre.x, high.y - centre.y, high.z - centre.z}, part.material};
}

GxTexture* ClothTexture()
{
    GxRaster* raster = GxRasterCreate(kTextureSize, kTextureSize, 32, gxRASTERTYPETEXTURE | gxRASTERFORMAT8888);
    GxTexture* texture = raster ? GxTextureCreate(raster) : nullptr;
    if (texture) {
        GxTextureSetName(texture, kTextureName);
        texture->filterAddressing = kTextureFilter;
    }
    return texture;
}

// Grey weave on white: tints multiply it through the material colour.
GxImage* ClothImage()
{
    GxImage* image = GxImageCreate(kTextureSize, kTextureSize, 32);
    if (!image || !GxImageAllocatePixels(image)) {
        return image;
    }
    for (GxInt32 y = 0; y < kTextureSize; y++) {
        for (GxInt32 x = 0; x < kTextureSize; x++) {
            const GxUInt8 v = ((x / 4 + y / 4) % 2) ? 255 : 200;
            GxUInt8* p = image->pixels + y * image->stride + x * 4;
            p[0] = p[1] = p[2] = v;
            p[3] = 255;
        }
    }
    return image;
}

// The bones in the order of their boxes in the body: grouped by material, so that each material's mesh covers
// one run of vertices and a draw of it reads no vertex of another mesh.
std::vector<GxInt32> BonesByMaterial()
{
    std::vector<GxInt32> bones;
    for (GxInt32 m = 0; m < kMaterialCount; m++) {
        for (GxInt32 b = 0; b < CONTENTHUMANOIDBONES; b++) {
            if (BoneBox(b).material == m) {
                bones.push_back(b);
            }
        }
    }
    return bones;
}

// `bones` names the bone of each box, in the order of the boxes. A box's end at its joint blends a little with the
// parent bone; a rigid binding keeps every vertex on its box's bone alone, so the skin has one weight per vertex.
enum class Binding {
    kJointBlend,
    kRigid
};
bool BindSkin(GxGeometry* geometry, const std::vector<ContentBox>& boxes, const std::vector<GxInt32>& bones,
              GxInt32 verticesPerBox, Binding binding)
{
    const GxUInt32 n = static_cast<GxUInt32>(geometry->numVertices);
    std::vector<GxReal> weights(n * gxSKINMAXWEIGHTS, 0.0f);
    std::vector<GxUInt32> indices(n, 0);
    for (GxUInt32 v = 0; v < n; v++) {
        const size_t boxIndex = v / static_cast<GxUInt32>(verticesPerBox);
        const GxInt32 bone = bones[boxIndex];
        const GxInt32 parent = kParent[bone];
        const GxV3d p = geometry->morphTarget[0].verts[v];
        const ContentBox& box = boxes[boxIndex];
        // The end nearest the joint blends a little with the parent bone.
        const bool atJoint = binding == Binding::kJointBlend && parent >= 0 &&
                             std::fabs(p.y - BindWorld(bone).y) <= box.half.y + 0.02f &&
                             ((kOffset[bone].y < 0) ? p.y > box.centre.y : p.y < box.centre.y);
        weights[v * gxSKINMAXWEIGHTS] = atJoint ? 1.0f - kJointBlend : 1.0f;
        weights[v * gxSKINMAXWEIGHTS + 1] = atJoint ? kJointBlend : 0.0f;
        indices[v] = static_cast<GxUInt32>(bone) | (static_cast<GxUInt32>(atJoint ? parent : 0) << kIndexBits);
    }
    // Only the bones that weigh on a vertex are used: a draw builds and uploads the palette of those.
    std::vector<bool> weighs(CONTENTHUMANOIDBONES, false);
    for (GxUInt32 v = 0; v < n; v++) {
        for (GxUInt32 slot = 0; slot < gxSKINMAXWEIGHTS; slot++) {
            if (weights[v * gxSKINMAXWEIGHTS + slot] > 0.0f) {
                weighs[(indices[v] >> (kIndexBits * slot)) & kIndexMask] = true;
            }
        }
    }
    std::vector<GxMatrix> toBone(CONTENTHUMANOIDBONES);
    std::vector<GxUInt8> used;
    for (GxInt32 b = 0; b < CONTENTHUMANOIDBONES; b++) {
        GxMatrixSetIdentity(&toBone[b]);
        const GxV3d w = BindWorld(b);
        toBone[b].pos = {-w.x, -w.y, -w.z};
        GxMatrixUpdate(&toBone[b]);
        if (weighs[b]) {
            used.push_back(static_cast<GxUInt8>(b));
        }
    }
    GxSkin* skin = GxSkinCreate();
    if (!skin || !GxSkinDataAllocate(skin, CONTENTHUMANOIDBONES, static_cast<GxUInt32>(used.size()), n, used.data(),
                                     weights.data(), indices.data(), toBone.data())) {
        if (skin) {
            GxSkinDestroy(skin);
        }
        return false;
    }
    skin->maxNumWeightsForVertex = GxSkinComputeMaxWeights(weights.data(), n);
    return GxSkinGeometrySetSkin(geometry, skin) != nullptr;
}

// Animations: each fills a bone's rotation for a key; translations stay at the bind offsets.
struct Motion {
    const char* name;
    std::vector<GxReal> times;
    void (*pose)(GxInt32 bone, GxReal phase, GxAnimStdKeyFrame* frame);
};

void Turn(GxAnimStdKeyFrame* frame, GxV3d axis, GxReal angle) { GxAnimQuatFromAxisAngle(frame->q, &axis, angle); }

const GxV3d kAxisX = {1, 0, 0};
const GxV3d kAxisY = {0, 1, 0};
const GxV3d kAxisZ = {0, 0, 1};

void PosePause(GxInt32 bone, GxReal phase, GxAnimStdKeyFrame* frame)
{
    const GxReal breath = 0.04f * std::sin(phase);
    if (bone == kChest) {
        Turn(frame, kAxisX, -breath);
    } else if (bone == kHead) {
        Turn(frame, kAxisY, 0.1f * std::sin(phase * 0.5f));
    }
}

void PoseWalk(GxInt32 bone, GxReal phase, GxAnimStdKeyFrame* frame)
{
    const GxReal swing = 0.5f * std::sin(phase);
    if (bone == kThighL || bone == kThighR) {
        Turn(frame, kAxisX, bone == kThighL ? swing : -swing);
    } else if (bone == kUpperArmL || bone == kUpperArmR) {
        Turn(frame, kAxisX, bone == kUpperArmL ? -0.6f * swing : 0.6f * swing);
    } else if (bone == kShinL || bone == kShinR) {
        Turn(frame, kAxisX, -0.4f * std::fabs(std::sin(phase + (bone == kShinL ? 0.0f : 1.5708f))));
    } else if (bone == kHips) {
        frame->t.y += 0.03f * std::fabs(std::cos(phase));
    }
}

void PoseWork(GxInt32 bone, GxReal phase, GxAnimStdKeyFrame* frame)
{
    if (bone == kUpperArmR) {
        Turn(frame, kAxisX, -0.9f);
    } else if (bone == kForearmR) {
        Turn(frame, kAxisY, 0.6f * std::sin(phase));
    } else if (bone == kSpine) {
        Turn(frame, kAxisY, 0.15f * std::sin(phase));
    }
}

void PoseSit(GxInt32 bone, GxReal phase, GxAnimStdKeyFrame* frame)
{
    if (bone == kHips) {
        frame->t.y -= 0.5f;
    } else if (bone == kThighL || bone == kThighR) {
        Turn(frame, kAxisX, -1.5708f);
    } else if (bone == kShinL || bone == kShinR) {
        Turn(frame, kAxisX, 1.5708f);
    } else if (bone == kChest) {
        Turn(frame, kAxisX, -0.02f * std::sin(phase));
    }
}

void PoseGiveUp(GxInt32 bone, GxReal phase, GxAnimStdKeyFrame* frame)
{
    const GxReal lift = 2.6f * (0.5f - 0.5f * std::cos(phase));
    if (bone == kUpperArmL || bone == kUpperArmR) {
        Turn(frame, kAxisZ, bone == kUpperArmL ? lift : -lift);
    }
}

const Motion kMotions[] = {
    {"pause", {0.0f, 0.5f, 1.0f, 1.5f, 2.0f}, PosePause},        {"walk", {0.0f, 0.25f, 0.5f, 0.75f, 1.0f}, PoseWalk},
    {"work", {0.0f, 0.25f, 0.5f, 0.75f, 1.0f}, PoseWork},        {"sit", {0.0f, 0.25f, 0.5f, 0.75f, 1.0f}, PoseSit},
    {"giveup", {0.0f, 0.375f, 0.75f, 1.125f, 1.5f}, PoseGiveUp},
};

struct FillData {
    const Motion* motion;
};

void FillMotion(GxInt32 node, GxInt32 key, GxAnimStdKeyFrame* frame, void* data)
{
    const Motion* motion = static_cast<FillData*>(data)->motion;
    const GxReal duration = motion->times.back();
    // The phase makes a whole cycle over the duration, so the last key equals the first and loops are seamless.
    const GxReal phase = 2.0f * 3.14159265f * motion->times[static_cast<size_t>(key)] / duration;
    frame->t = kOffset[node];
    motion->pose(node, phase, frame);
}

}  // namespace

void ContentHumanoidNodes(GxInt32 ids[CONTENTHUMANOIDBONES], GxInt32 flags[CONTENTHUMANOIDBONES])
{
    for (GxInt32 b = 0; b < CONTENTHUMANOIDBONES; b++) {
        ids[b] = kNodeIDBase + b;
        flags[b] = (HasLaterSibling(b) ? gxHANIMPUSHPARENTMATRIX : 0) | (HasChildren(b) ? 0 : gxHANIMPOPPARENTMATRIX);
    }
}

GxClump* ContentHumanoidCreate(const ContentHumanoidPlan& plan)
{
    GxClump* clump = GxClumpCreate();
    GxFrame* root = GxFrameCreate();
    if (!clump || !root) {
        return nullptr;
    }
    GxClumpSetFrame(clump, root);
    GxFrame* frames[CONTENTHUMANOIDBONES];
    GxInt32 ids[CONTENTHUMANOIDBONES];
    GxInt32 flags[CONTENTHUMANOIDBONES];
    ContentHumanoidNodes(ids, flags);
    for (GxInt32 b = 0; b < CONTENTHUMANOIDBONES; b++) {
        frames[b] = GxFrameCreate();
        GxFrameTranslate(frames[b], &kOffset[b], gxCOMBINEREPLACE);
        GxFrameSetNodeID(frames[b], ids[b]);
        GxFrameAddChild(kParent[b] >= 0 ? frames[kParent[b]] : root, frames[b]);
    }
    GxAnimHierarchy* hierarchy =
        GxAnimHierarchyCreate(CONTENTHUMANOIDBONES, flags, ids, 0, gxHANIMSTDKEYFRAMESTREAMSIZE);
    if (!hierarchy) {
        GxClumpDestroy(clump);
        return nullptr;
    }
    GxFrameSetAnimHierarchy(frames[kHips], hierarchy);

    const GxRGBA colours[kMaterialCount] = {plan.skin, plan.shirt, plan.trousers, plan.shoes, plan.hair};
    GxMaterial* materials[kMaterialCount] = {};
    GxTexture* texture = ClothTexture();
    bool ok = texture != nullptr;
    for (GxInt32 m = 0; m < kMaterialCount && ok; m++) {
        materials[m] = GxMaterialCreate();
        GxUserDataArray* tag =
            materials[m] ? GxMaterialAddUserDataArray(materials[m], "tag", gxUSERDATASTRING, 1) : nullptr;
        ok = tag && GxUserDataArraySetString(tag, 0, kMaterialTags[m]);
        if (ok) {
            materials[m]->color = colours[m];
            GxMaterialSetTexture(materials[m], texture);
        }
    }
    const std::vector<GxInt32> bones = BonesByMaterial();
    std::vector<ContentBox> boxes;
    for (GxInt32 b : bones) {
        boxes.push_back(BoneBox(b));
    }
    std::vector<GxInt32> farBones;
    std::vector<ContentBox> farBoxes;
    for (const FarPart& part : kFarParts) {
        farBones.push_back(part.first);
        farBoxes.push_back(FarBox(part));
    }
    GxGeometry* body = ok ? ContentBoxGeometry(boxes, materials, kMaterialCount, kBodyFlags) : nullptr;
    GxGeometry* far = ok ? ContentCornerBoxGeometry(farBoxes, materials, kMaterialCount, kBodyFlags) : nullptr;
    for (GxMaterial* material : materials) {
        if (material) {
            GxMaterialDestroy(material);
        }
    }
    if (texture) {
        GxTextureDestroy(texture);
    }
    ok = body && BindSkin(body, boxes, bones, kVerticesPerBox, Binding::kJointBlend) && far &&
         BindSkin(far, farBoxes, farBones, kContentCornersPerBox, Binding::kRigid);
    GxAtomic* atomic = ok ? GxAtomicCreate() : nullptr;
    if (atomic) {
        GxAtomicSetFrame(atomic, root);
        GxAtomicSetGeometry(atomic, body, 0);
        GxClumpAddAtomic(clump, atomic);
        GxSkinAtomicSetHierarchy(atomic, hierarchy);
        GxAnimHierarchyAttach(hierarchy);
    }
    // The far body as a level of detail of the body atomic. Level 0 is the atomic's own geometry, so the file
    // holds the body once.
    GxLODAtomicRecord* levels =
        atomic && GxLODAtomicSetGeometry(atomic, kFarLevel, far) ? GxLODAtomicGetRecord(atomic) : nullptr;
    if (levels) {
        levels->currentLevel = 0;
    }
    for (GxGeometry* geometry : {body, far}) {
        if (geometry) {
            GxGeometryDestroy(geometry);
        }
    }
    if (!levels) {
        GxClumpDestroy(clump);
        return nullptr;
    }
    return clump;
}

const std::vector<std::string>& ContentHumanoidAnimationNames(void)
{
    static const std::vector<std::string> names = [] {
        std::vector<std::string> list;
        for (const Motion& motion : kMotions) {
            list.emplace_back(motion.name);
        }
        return list;
    }();
    return names;
}

GxAnimation* ContentHumanoidAnimation(const std::string& name)
{
    for (const Motion& motion : kMotions) {
        if (name == motion.name) {
            FillData data = {&motion};
            return GxAnimStdAnimationBuild(CONTENTHUMANOIDBONES, static_cast<GxInt32>(motion.times.size()),
                                           motion.times.data(), FillMotion, &data);
        }
    }
    return nullptr;
}

bool ContentHumanoidFileWrite(const char* fileName, const ContentHumanoidPlan& plan)
{
    GxClump* clump = ContentHumanoidCreate(plan);
    if (!clump) {
        return false;
    }
    const std::vector<GxUInt8> clumpBytes = ContentClumpBytes(clump);
    GxClumpDestroy(clump);
    GxImage* image = ClothImage();
    ContentImageTexture texture;
    texture.name = kTextureName;
    texture.levels = {image};
    texture.filterAddressing = kTextureFilter;
    const std::vector<ContentImageTexture> textures = {texture};
    const GxUInt32 dictionarySize = ContentImageDictionaryBodySize(textures, CONTENTIMAGEDICTIONARYRECORDS);
    std::vector<GxAnimation*> animations;
    for (const std::string& name : ContentHumanoidAnimationNames()) {
        animations.push_back(ContentHumanoidAnimation(name));
    }
    bool ok = image && !clumpBytes.empty() && dictionarySize != 0;
    for (GxAnimation* animation : animations) {
        ok = ok && animation;
    }
    if (ok) {
        const std::vector<GxTOCEntry> entries = ContentModelTOC(dictionarySize);
        ok = ContentWriteFile(fileName, [&](GxStream* stream) {
            if (!ContentTOCWrite(stream, entries) ||
                !ContentImageDictionaryWrite(stream, textures, CONTENTIMAGEDICTIONARYRECORDS) ||
                !GxStreamWrite(stream, clumpBytes.data(), static_cast<GxUInt32>(clumpBytes.size()))) {
                return false;
            }
            for (size_t i = 0; i < animations.size(); i++) {
                const std::string group = "hum_" + ContentHumanoidAnimationNames()[i];
                if (!ContentChunkGroupStartWrite(stream, group.c_str()) ||
                    !GxAnimationStreamWrite(animations[i], stream) || !ContentChunkGroupEndWrite(stream)) {
                    return false;
                }
            }
            return true;
        });
    }
    for (GxAnimation* animation : animations) {
        if (animation) {
            GxAnimationDestroy(animation);
        }
    }
    if (image) {
        GxImageDestroy(image);
    }
    return ok;
}
