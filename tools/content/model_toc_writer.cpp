// Model files with a full table of contents, and the ground plate and selection ring written as such.
#include "tools/content/model_toc_writer.h"

#include <cmath>
#include <filesystem>

#include "gfx/core/bytes.h"
#include "gfx/core/stream.h"
#include "gfx/world/clump.h"
#include "tools/content/clump_writer.h"
#include "tools/content/content_file.h"
#include "tools/content/texdict_writer.h"

namespace {

constexpr GxUInt32 kTOCCountSize = 4;
constexpr GxUInt32 kLitFlags =
    gxGEOMETRYPOSITIONS | gxGEOMETRYNORMALS | gxGEOMETRYLIGHT | gxGEOMETRYMODULATEMATERIALCOLOR;
const GxV3d kUp = {0.0f, 1.0f, 0.0f};

// The ground plate: one quad under the whole mall grid and its margin.
constexpr GxReal kGroundMinX = -10.0f;
constexpr GxReal kGroundMaxX = 138.0f;
constexpr GxReal kGroundNearZ = 10.0f;
constexpr GxReal kGroundFarZ = -138.0f;
const GxRGBA kGroundColour = {112, 128, 96, 255};

// The selection ring: yellow, translucent, just above the floor.
constexpr GxInt32 kRingSegments = 32;
constexpr GxReal kRingOuter = 0.8f;
constexpr GxReal kRingInner = 0.65f;
constexpr GxReal kRingHeight = 0.05f;
const GxRGBA kRingColour = {255, 220, 0, 180};

// Sets the triangle's corners so that it faces up (counter-clockwise seen from above).
void SetUpFacing(GxGeometry* geometry, GxTriangle* triangle, GxUInt16 a, GxUInt16 b, GxUInt16 c)
{
    const GxV3d* v = geometry->morphTarget[0].verts;
    const GxReal ux = v[b].x - v[a].x, uz = v[b].z - v[a].z;
    const GxReal wx = v[c].x - v[a].x, wz = v[c].z - v[a].z;
    // y of (b - a) x (c - a).
    const bool up = uz * wx - ux * wz > 0.0f;
    triangle->vertIndex[0] = a;
    triangle->vertIndex[1] = up ? b : c;
    triangle->vertIndex[2] = up ? c : b;
}

// A flat geometry of the given vertices (all with an upward normal) and index triples, in one material.
GxGeometry* FlatGeometry(const std::vector<GxV3d>& vertices, const std::vector<GxUInt16>& indices, GxRGBA colour)
{
    GxMaterial* material = GxMaterialCreate();
    GxGeometry* geometry = material ? GxGeometryCreate(static_cast<GxInt32>(vertices.size()),
                                                       static_cast<GxInt32>(indices.size() / 3), kLitFlags)
                                    : nullptr;
    if (!geometry) {
        if (material) {
            GxMaterialDestroy(material);
        }
        return nullptr;
    }
    material->color = colour;
    GxMorphTarget* target = &geometry->morphTarget[0];
    for (size_t i = 0; i < vertices.size(); i++) {
        target->verts[i] = vertices[i];
        target->normals[i] = kUp;
    }
    bool ok = true;
    for (size_t t = 0; t < indices.size() / 3; t++) {
        GxTriangle* triangle = &geometry->triangles[t];
        SetUpFacing(geometry, triangle, indices[3 * t], indices[3 * t + 1], indices[3 * t + 2]);
        ok = ok && GxGeometryTriangleSetMaterial(geometry, triangle, material) != nullptr;
    }
    GxMaterialDestroy(material);
    GxMorphTargetCalcBoundingSphere(target, &target->boundingSphere);
    if (!ok || !GxGeometryUnlock(geometry)) {
        GxGeometryDestroy(geometry);
        return nullptr;
    }
    return geometry;
}

// The clump chunk of one atomic holding the geometry (which it takes over); empty on failure.
ContentChunkBytes OneAtomicClump(GxGeometry* geometry)
{
    ContentChunkBytes bytes;
    GxClump* clump = geometry ? GxClumpCreate() : nullptr;
    GxFrame* root = clump ? GxFrameCreate() : nullptr;
    GxAtomic* atomic = root ? GxAtomicCreate() : nullptr;
    if (atomic) {
        GxClumpSetFrame(clump, root);
        GxAtomicSetFrame(atomic, root);
        GxAtomicSetGeometry(atomic, geometry, 0);
        GxClumpAddAtomic(clump, atomic);
        bytes = ContentClumpBytes(clump);
    } else if (root) {
        GxFrameDestroy(root);
    }
    if (clump) {
        GxClumpDestroy(clump);
    }
    if (geometry) {
        GxGeometryDestroy(geometry);
    }
    return bytes;
}

ContentChunkBytes GroundClump()
{
    const std::vector<GxV3d> corners = {{kGroundMinX, 0.0f, kGroundNearZ},
                                        {kGroundMaxX, 0.0f, kGroundNearZ},
                                        {kGroundMinX, 0.0f, kGroundFarZ},
                                        {kGroundMaxX, 0.0f, kGroundFarZ}};
    return OneAtomicClump(FlatGeometry(corners, {0, 1, 3, 0, 3, 2}, kGroundColour));
}

ContentChunkBytes RingClump()
{
    std::vector<GxV3d> vertices;
    std::vector<GxUInt16> indices;
    const GxReal step = 2.0f * 3.14159265f / static_cast<GxReal>(kRingSegments);
    for (GxInt32 i = 0; i < kRingSegments; i++) {
        const GxReal c = std::cos(step * static_cast<GxReal>(i)), s = std::sin(step * static_cast<GxReal>(i));
        vertices.push_back({kRingInner * c, kRingHeight, kRingInner * s});
        vertices.push_back({kRingOuter * c, kRingHeight, kRingOuter * s});
    }
    const GxInt32 count = 2 * kRingSegments;
    for (GxInt32 i = 0; i < kRingSegments; i++) {
        const GxUInt16 inner = static_cast<GxUInt16>(2 * i), outer = static_cast<GxUInt16>(2 * i + 1);
        const GxUInt16 nextInner = static_cast<GxUInt16>((2 * i + 2) % count);
        const GxUInt16 nextOuter = static_cast<GxUInt16>((2 * i + 3) % count);
        indices.insert(indices.end(), {inner, outer, nextOuter, inner, nextOuter, nextInner});
    }
    return OneAtomicClump(FlatGeometry(vertices, indices, kRingColour));
}

}  // namespace

std::vector<GxTOCEntry> ContentModelTOC(const std::vector<ContentChunkBytes>& chunks)
{
    std::vector<GxTOCEntry> entries;
    GxUInt32 offset = gxCHUNKHEADERSIZE + kTOCCountSize + static_cast<GxUInt32>(chunks.size()) * gxTOCENTRYSIZE;
    for (const ContentChunkBytes& chunk : chunks) {
        if (chunk.size() < gxCHUNKHEADERSIZE) {
            return {};
        }
        GxTOCEntry entry = {};
        entry.id = GxBytesGetU32(chunk.data());
        entry.offset = offset;
        entries.push_back(entry);
        offset += static_cast<GxUInt32>(chunk.size());
    }
    return entries;
}

bool ContentModelWithTOCWrite(const char* path, const std::vector<ContentChunkBytes>& chunks)
{
    const std::vector<GxTOCEntry> entries = ContentModelTOC(chunks);
    if (chunks.empty() || entries.size() != chunks.size()) {
        return false;
    }
    return ContentWriteFile(path, [&](GxStream* stream) {
        if (!ContentTOCWrite(stream, entries)) {
            return false;
        }
        for (const ContentChunkBytes& chunk : chunks) {
            if (!GxStreamWrite(stream, chunk.data(), static_cast<GxUInt32>(chunk.size()))) {
                return false;
            }
        }
        return true;
    });
}

bool ContentWriteMiscModels(const std::string& root, std::string* detail)
{
    namespace fs = std::filesystem;
    struct Model {
        const char* folder;
        const char* file;
        ContentChunkBytes (*clump)();
    };
    const Model models[] = {{"models/misc", "ground.gxs", GroundClump}, {"models/people", "select.gxs", RingClump}};
    for (const Model& model : models) {
        const fs::path dir = fs::path(root) / model.folder;
        std::error_code error;
        fs::create_directories(dir, error);
        const ContentChunkBytes clump = model.clump();
        const std::string path = (dir / model.file).string();
        if (error || clump.empty() || !ContentModelWithTOCWrite(path.c_str(), {clump})) {
            if (detail != nullptr) {
                *detail = "(" + path + ")";
            }
            return false;
        }
    }
    return true;
}
