// Model writers: box geometry, the shop unit, and model files written through the library's clump writer.
#include "tools/content/clump_writer.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "gfx/core/engine.h"
#include "gfx/core/image.h"
#include "gfx/core/spline.h"
#include "gfx/core/stream.h"
#include "gfx/core/texture.h"
#include "gfx/world/lod_testing.h"
#include "gfx/world/userdata.h"
#include "tools/content/content_file.h"
#include "tools/content/spline_writer.h"

namespace {

constexpr GxInt32 kFacesPerBox = 6;
constexpr GxInt32 kVerticesPerFace = 4;
constexpr GxInt32 kTrianglesPerFace = 2;
constexpr GxReal kSlabThickness = 0.2f;
constexpr GxReal kWallThickness = 0.2f;
constexpr GxReal kWallHeight = 3.0f;
constexpr GxReal kAwningDepth = 1.0f;
constexpr GxReal kAwningHeight = kContentAwningHeight;
// The simple level takes over from this depth on: levels per unit of depth for the default selection.
constexpr GxReal kLevelScale = 1.0f / 60.0f;
constexpr GxInt32 kSimpleLevel = 1;
constexpr GxReal kCellSize = 2.0f;     // the mall grid's cell: entrances sit one cell in front of the footprint
constexpr GxReal kMarkerHalf = 0.05f;  // the entrance dummy is a tiny box the game hides
constexpr GxUInt32 kGeometryFlags =
    gxGEOMETRYPOSITIONS | gxGEOMETRYTEXTURED | gxGEOMETRYNORMALS | gxGEOMETRYLIGHT | gxGEOMETRYMODULATEMATERIALCOLOR;

// Outward normal and two axes across each face, chosen so that (u x v) = normal: counter-clockwise from outside.
struct Face {
    GxV3d normal, u, v;
};
const Face kFaces[kFacesPerBox] = {
    {{1, 0, 0}, {0, 0, -1}, {0, 1, 0}}, {{-1, 0, 0}, {0, 0, 1}, {0, 1, 0}}, {{0, 1, 0}, {1, 0, 0}, {0, 0, -1}},
    {{0, -1, 0}, {1, 0, 0}, {0, 0, 1}}, {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}},  {{0, 0, -1}, {-1, 0, 0}, {0, 1, 0}},
};

GxReal Along(const GxV3d& axis, const GxV3d& half) { return axis.x * half.x + axis.y * half.y + axis.z * half.z; }

GxV3d Abs(const GxV3d& v) { return {v.x < 0 ? -v.x : v.x, v.y < 0 ? -v.y : v.y, v.z < 0 ? -v.z : v.z}; }

// Bounds and mesh header of a filled geometry; null (and the geometry freed) on failure.
GxGeometry* Finished(GxGeometry* geometry)
{
    GxMorphTarget* target = &geometry->morphTarget[0];
    GxMorphTargetCalcBoundingSphere(target, &target->boundingSphere);
    if (!GxGeometryUnlock(geometry)) {
        GxGeometryDestroy(geometry);
        return nullptr;
    }
    return geometry;
}

}  // namespace

GxGeometry* ContentBoxGeometry(const std::vector<ContentBox>& boxes, GxMaterial* const* materials, GxInt32 numMaterials,
                               GxUInt32 extraFlags)
{
    const GxInt32 numBoxes = static_cast<GxInt32>(boxes.size());
    GxGeometry* geometry = GxGeometryCreate(numBoxes * kFacesPerBox * kVerticesPerFace,
                                            numBoxes * kFacesPerBox * kTrianglesPerFace, kGeometryFlags | extraFlags);
    if (!geometry) {
        return nullptr;
    }
    GxMorphTarget* target = &geometry->morphTarget[0];
    for (GxInt32 b = 0; b < numBoxes; b++) {
        const ContentBox& box = boxes[static_cast<size_t>(b)];
        if (box.material < 0 || box.material >= numMaterials) {
            GxGeometryDestroy(geometry);
            return nullptr;
        }
        for (GxInt32 f = 0; f < kFacesPerBox; f++) {
            const Face& face = kFaces[f];
            const GxReal n = Along(Abs(face.normal), box.half);
            const GxReal du = Along(Abs(face.u), box.half);
            const GxReal dv = Along(Abs(face.v), box.half);
            const GxInt32 first = (b * kFacesPerBox + f) * kVerticesPerFace;
            for (GxInt32 corner = 0; corner < kVerticesPerFace; corner++) {
                const GxReal a = (corner & 1) ? du : -du;
                const GxReal c = (corner & 2) ? dv : -dv;
                target->verts[first + corner] = {box.centre.x + face.normal.x * n + face.u.x * a + face.v.x * c,
                                                 box.centre.y + face.normal.y * n + face.u.y * a + face.v.y * c,
                                                 box.centre.z + face.normal.z * n + face.u.z * a + face.v.z * c};
                target->normals[first + corner] = face.normal;
                geometry->texCoords[0][first + corner] = {(corner & 1) ? 1.0f : 0.0f, (corner & 2) ? 0.0f : 1.0f};
            }
            const GxUInt16 v0 = static_cast<GxUInt16>(first);
            const GxUInt16 quad[kTrianglesPerFace][3] = {
                {v0, static_cast<GxUInt16>(v0 + 1), static_cast<GxUInt16>(v0 + 3)},
                {v0, static_cast<GxUInt16>(v0 + 3), static_cast<GxUInt16>(v0 + 2)}};
            for (GxInt32 t = 0; t < kTrianglesPerFace; t++) {
                GxTriangle* triangle = &geometry->triangles[(b * kFacesPerBox + f) * kTrianglesPerFace + t];
                std::memcpy(triangle->vertIndex, quad[t], sizeof(triangle->vertIndex));
                if (!GxGeometryTriangleSetMaterial(geometry, triangle, materials[box.material])) {
                    GxGeometryDestroy(geometry);
                    return nullptr;
                }
            }
        }
    }
    return Finished(geometry);
}

GxGeometry* ContentCornerBoxGeometry(const std::vector<ContentBox>& boxes, GxMaterial* const* materials,
                                     GxInt32 numMaterials, GxUInt32 extraFlags)
{
    const GxInt32 numBoxes = static_cast<GxInt32>(boxes.size());
    GxGeometry* geometry = GxGeometryCreate(numBoxes * kContentCornersPerBox,
                                            numBoxes * kFacesPerBox * kTrianglesPerFace, kGeometryFlags | extraFlags);
    if (!geometry) {
        return nullptr;
    }
    GxMorphTarget* target = &geometry->morphTarget[0];
    const GxReal unit = 1.0f / std::sqrt(3.0f);
    for (GxInt32 b = 0; b < numBoxes; b++) {
        const ContentBox& box = boxes[static_cast<size_t>(b)];
        if (box.material < 0 || box.material >= numMaterials) {
            GxGeometryDestroy(geometry);
            return nullptr;
        }
        const GxInt32 first = b * kContentCornersPerBox;
        for (GxInt32 corner = 0; corner < kContentCornersPerBox; corner++) {
            const GxV3d sign = {(corner & 1) ? 1.0f : -1.0f, (corner & 2) ? 1.0f : -1.0f, (corner & 4) ? 1.0f : -1.0f};
            target->verts[first + corner] = {box.centre.x + sign.x * box.half.x, box.centre.y + sign.y * box.half.y,
                                             box.centre.z + sign.z * box.half.z};
            target->normals[first + corner] = {sign.x * unit, sign.y * unit, sign.z * unit};
            // x and z alternate u, so that every side face spans the texture across.
            geometry->texCoords[0][first + corner] = {((corner & 1) ^ ((corner >> 2) & 1)) ? 1.0f : 0.0f,
                                                      (corner & 2) ? 0.0f : 1.0f};
        }
        for (GxInt32 f = 0; f < kFacesPerBox; f++) {
            const Face& face = kFaces[f];
            GxUInt16 quad[kVerticesPerFace];
            for (GxInt32 corner = 0; corner < kVerticesPerFace; corner++) {
                const GxReal a = (corner & 1) ? 1.0f : -1.0f;
                const GxReal c = (corner & 2) ? 1.0f : -1.0f;
                const GxV3d p = {face.normal.x + face.u.x * a + face.v.x * c,
                                 face.normal.y + face.u.y * a + face.v.y * c,
                                 face.normal.z + face.u.z * a + face.v.z * c};
                quad[corner] = static_cast<GxUInt16>(first + (p.x > 0 ? 1 : 0) + (p.y > 0 ? 2 : 0) + (p.z > 0 ? 4 : 0));
            }
            const GxUInt16 tris[kTrianglesPerFace][3] = {{quad[0], quad[1], quad[3]}, {quad[0], quad[3], quad[2]}};
            for (GxInt32 t = 0; t < kTrianglesPerFace; t++) {
                GxTriangle* triangle = &geometry->triangles[(b * kFacesPerBox + f) * kTrianglesPerFace + t];
                std::memcpy(triangle->vertIndex, tris[t], sizeof(triangle->vertIndex));
                if (!GxGeometryTriangleSetMaterial(geometry, triangle, materials[box.material])) {
                    GxGeometryDestroy(geometry);
                    return nullptr;
                }
            }
        }
    }
    return Finished(geometry);
}

std::vector<GxTOCEntry> ContentModelTOC(GxUInt32 dictionarySize)
{
    constexpr GxUInt32 kEntries = 2;
    const GxUInt32 tocSize = gxCHUNKHEADERSIZE + 4 + kEntries * gxTOCENTRYSIZE;
    std::vector<GxTOCEntry> entries(kEntries);
    entries[0].id = gxID_IMAGEDICTIONARY;
    entries[0].offset = tocSize;
    entries[1].id = gxID_CLUMP;
    entries[1].offset = tocSize + gxCHUNKHEADERSIZE + dictionarySize;
    return entries;
}

std::vector<GxUInt8> ContentClumpBytes(GxClump* clump)
{
    std::vector<GxUInt8> bytes;
    GxStream* stream = GxStreamOpen(gxSTREAMMEMORY, gxSTREAMWRITE, nullptr);
    if (!stream) {
        return bytes;
    }
    const bool written = GxClumpStreamWrite(clump, stream) != nullptr;
    GxMemory memory = {nullptr, 0};
    GxStreamClose(stream, &memory);
    if (written && memory.start) {
        bytes.assign(memory.start, memory.start + memory.length);
    }
    if (memory.start) {
        GxFree(memory.start);
    }
    return bytes;
}

bool ContentSetFarLevels(GxAtomic* atomic, GxInt32 first, GxGeometry* far, GxReal scale)
{
    for (GxInt32 level = first; level < gxLODATOMICMAXLEVELS; level++) {
        if (!GxLODAtomicSetGeometry(atomic, level, far)) {
            return false;
        }
    }
    return GxLODAtomicSetLevelScale(atomic, scale) != nullptr;
}

GxClump* ContentShopUnitCreate(const ContentShopUnitPlan& plan)
{
    GxMaterial* walls = GxMaterialCreate();
    GxMaterial* awning = GxMaterialCreate();
    if (!walls || !awning) {
        GxMaterialDestroy(walls);
        GxMaterialDestroy(awning);
        return nullptr;
    }
    walls->color = plan.wallColour;
    GxMaterialSetTexture(awning, plan.sign);
    GxMaterial* const materials[2] = {walls, awning};
    const GxReal hx = plan.sizeX * 0.5f;
    const GxReal hz = plan.sizeZ * 0.5f;
    const GxReal wallY = kSlabThickness + kWallHeight * 0.5f;
    const std::vector<ContentBox> full = {
        {{0, kSlabThickness * 0.5f, 0}, {hx, kSlabThickness * 0.5f, hz}, 0},                            // slab
        {{0, wallY, -hz + kWallThickness * 0.5f}, {hx, kWallHeight * 0.5f, kWallThickness * 0.5f}, 0},  // back
        {{-hx + kWallThickness * 0.5f, wallY, 0}, {kWallThickness * 0.5f, kWallHeight * 0.5f, hz}, 0},  // west
        {{hx - kWallThickness * 0.5f, wallY, 0}, {kWallThickness * 0.5f, kWallHeight * 0.5f, hz}, 0},   // east
        {{0, kSlabThickness + kWallHeight - kAwningHeight * 0.5f, hz + kAwningDepth * 0.5f},
         {hx, kAwningHeight * 0.5f, kAwningDepth * 0.5f},
         1},  // awning with the sign
    };
    const std::vector<ContentBox> simple = {
        {{0, (kSlabThickness + kWallHeight) * 0.5f, 0}, {hx, (kSlabThickness + kWallHeight) * 0.5f, hz}, 0},
    };
    const std::vector<ContentBox> dot = {{{0, 0, 0}, {kMarkerHalf, kMarkerHalf, kMarkerHalf}, 0}};
    GxGeometry* detailed = ContentBoxGeometry(full, materials, 2, 0);
    GxGeometry* far = ContentBoxGeometry(simple, materials, 2, gxGEOMETRYTRISTRIP);
    GxGeometry* marker = ContentBoxGeometry(dot, materials, 2, 0);
    GxMaterialDestroy(walls);
    GxMaterialDestroy(awning);
    GxClump* clump = GxClumpCreate();
    GxFrame* root = GxFrameCreate();
    GxFrame* door = GxFrameCreate();
    GxAtomic* unit = GxAtomicCreate();
    GxAtomic* dummy = GxAtomicCreate();
    bool ok = detailed && far && marker && clump && root && door && unit && dummy;
    if (ok) {
        GxClumpSetFrame(clump, root);
        GxFrameAddChild(root, door);
        // In front of the middle row: the cell the entrance rule turns this point back into.
        const GxInt32 rows = static_cast<GxInt32>(plan.sizeX / kCellSize);
        const GxReal entranceX = -hx + kCellSize * 0.5f + kCellSize * static_cast<GxReal>(rows / 2);
        const GxV3d entrance = {entranceX, 0.0f, hz + kCellSize * 0.5f};
        GxFrameTranslate(door, &entrance, gxCOMBINEREPLACE);
        GxAtomicSetFrame(unit, root);
        GxAtomicSetGeometry(unit, detailed, 0);
        GxClumpAddAtomic(clump, unit);
        GxAtomicSetFrame(dummy, door);
        GxAtomicSetGeometry(dummy, marker, 0);
        GxClumpAddAtomic(clump, dummy);
        GxUserDataArray* tag = GxFrameAddUserDataArray(door, "tag", gxUSERDATASTRING, 1);
        ok = tag && GxUserDataArraySetString(tag, 0, "door") &&
             ContentSetFarLevels(unit, kSimpleLevel, far, kLevelScale);
        unit = nullptr;
        dummy = nullptr;
        door = nullptr;
        root = nullptr;
    }
    for (GxGeometry* geometry : {detailed, far, marker}) {
        if (geometry) {
            GxGeometryDestroy(geometry);
        }
    }
    for (GxAtomic* atomic : {unit, dummy}) {
        if (atomic) {
            GxAtomicDestroy(atomic);
        }
    }
    if (door) {
        GxFrameDestroy(door);
    }
    if (root) {
        GxFrameDestroy(root);
    }
    if (!ok) {
        if (clump) {
            GxClumpDestroy(clump);
        }
        return nullptr;
    }
    // Frames are written with the matrix type the reader gives back, so a model reads and writes the same.
    for (GxFrame* frame :
         {static_cast<GxFrame*>(clump->object.parent), static_cast<GxFrame*>(clump->object.parent)->child}) {
        frame->modelling.flags &= gxMATRIXTYPEORTHONORMAL;
    }
    return clump;
}

GxImage* ContentSignImage(GxInt32 size, GxRGBA colour)
{
    GxImage* image = GxImageCreate(size, size, 32);
    if (!image || !GxImageAllocatePixels(image)) {
        if (image) {
            GxImageDestroy(image);
        }
        return nullptr;
    }
    for (GxInt32 y = 0; y < size; y++) {
        const GxInt32 edge = y < size / 2 ? y : size - 1 - y;
        const GxUInt8 alpha = static_cast<GxUInt8>(255 * edge * 2 / size);
        for (GxInt32 x = 0; x < size; x++) {
            const GxRGBA texel = {colour.red, colour.green, colour.blue, alpha};
            std::memcpy(image->pixels + y * image->stride + x * 4, &texel, sizeof(texel));
        }
    }
    return image;
}

bool ContentModelFileWrite(const char* fileName, const std::vector<ContentImageTexture>& textures, GxClump* clump,
                           const std::vector<ContentSlotPath>& slots)
{
    const std::vector<GxUInt8> clumpBytes = ContentClumpBytes(clump);
    const GxUInt32 dictionarySize = ContentImageDictionaryBodySize(textures, CONTENTIMAGEDICTIONARYRECORDS);
    if (clumpBytes.empty() || dictionarySize == 0) {
        return false;
    }
    const std::vector<GxTOCEntry> entries = ContentModelTOC(dictionarySize);
    // Written whole beside the old file and renamed over it, so a failed run never leaves half a model.
    return ContentWriteFile(fileName, [&](GxStream* stream) {
        bool written = ContentTOCWrite(stream, entries) &&
                       ContentImageDictionaryWrite(stream, textures, CONTENTIMAGEDICTIONARYRECORDS) &&
                       GxStreamWrite(stream, clumpBytes.data(), static_cast<GxUInt32>(clumpBytes.size()));
        for (const ContentSlotPath& slot : slots) {
            written = written && ContentChunkGroupStartWrite(stream, slot.name.c_str()) &&
                      ContentSplineWrite(stream, slot.name.c_str(), gxSPLINEOPEN, slot.points.data(),
                                         static_cast<GxInt32>(slot.points.size())) &&
                      ContentChunkGroupEndWrite(stream);
        }
        return written;
    });
}
