// Writes worlds (chunks 0x0B, 0x0A, 0x09): static triangles split into atomic sectors by an axis-aligned BSP.
#pragma once

#include <vector>

#include "gfx/world/world.h"

// The world's static triangles before splitting; normals, prelit colours and coordinates are per vertex and
// present when the plan's flags ask for them.
struct ContentWorldMesh {
    std::vector<GxV3d> positions;
    std::vector<GxV3d> normals;
    std::vector<GxRGBA> prelit;
    std::vector<GxTexCoords> uv;
    std::vector<GxTriangle> triangles;  // material: index in the plan's materials
};

struct ContentWorldPlan {
    GxUInt32 flags;  // format flags: positions, textured, prelit, normals, light, strips
    GxBBox box;      // must enclose the play area: objects outside it tie to no sector
    std::vector<GxMaterial*> materials;
    GxInt32 maxTrianglesPerSector;  // a node with more is split at the middle of its longest axis
};

// Appends triangles of an axis-aligned quad (corners in order, counter-clockwise seen from its front).
void ContentWorldAddQuad(ContentWorldMesh* mesh, const GxV3d corners[4], const GxV3d& normal, GxRGBA colour,
                         GxUInt16 material, GxReal uvScale);

// Geometry of the mesh in one piece: positions, and normals, prelit colours and the first coordinate set as the
// format flags ask; material indices are into `materials`. Null on failure or an index past them.
GxGeometry* ContentMeshGeometry(const ContentWorldMesh& mesh, GxUInt32 flags, GxMaterial* const* materials,
                                GxInt32 numMaterials);

// The whole world chunk, header included; empty when a sector would break the 16-bit limits or a write fails.
std::vector<GxUInt8> ContentWorldBytes(const ContentWorldMesh& mesh, const ContentWorldPlan& plan);
