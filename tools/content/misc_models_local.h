// Parts the model recipes share: pictures, materials, quad meshes and clumps with entrance dummies.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "tools/content/misc_models.h"
#include "tools/content/world_writer.h"

namespace content_parts {

constexpr GxUInt32 kLitFlags =
    gxGEOMETRYPOSITIONS | gxGEOMETRYTEXTURED | gxGEOMETRYNORMALS | gxGEOMETRYLIGHT | gxGEOMETRYMODULATEMATERIALCOLOR;
// Untextured: the material colour alone, modulated so the placement tints show.
constexpr GxUInt32 kPlainFlags =
    gxGEOMETRYPOSITIONS | gxGEOMETRYNORMALS | gxGEOMETRYLIGHT | gxGEOMETRYMODULATEMATERIALCOLOR;
constexpr GxUInt32 kFilterWrap = 0x1106;  // filter 6, wrap in U and V
constexpr GxInt32 kModelTextureSize = 64;
constexpr GxReal kCell = 2.0f;
// Storeys stand this far apart: the floor above, where stairs arrive and the walls below it end.
constexpr GxReal kStoreyHeight = 4.0f;
constexpr GxReal kPi = 3.14159265f;

using Pixels = std::vector<GxRGBA>;
using Recipe = std::function<bool(ContentModel*)>;
using RecipeList = std::vector<std::pair<std::string, Recipe>>;

std::uint32_t Noise(GxInt32 x, GxInt32 y, std::uint32_t seed);
GxRGBA Shade(GxRGBA base, GxInt32 delta);
// The colour a share `t` of the way from a to b, opaque.
GxRGBA Mix(GxRGBA a, GxRGBA b, GxReal t);
// Fills a square picture from a function of the pixel position.
Pixels Paint(GxInt32 size, const std::function<GxRGBA(GxInt32, GxInt32)>& pixel);
GxInt32 Speckle(GxInt32 x, GxInt32 y, std::uint32_t seed, GxInt32 range);

// A texture named `name` whose picture, `image`, joins the model's images dictionary (the model takes it); null on
// failure, the image freed. The caller drops its reference.
GxTexture* ModelTexture(ContentModel* model, const std::string& name, GxImage* image, GxInt32 size);
// A material naming a texture whose picture joins the model's images dictionary.
GxMaterial* TexturedMaterial(ContentModel* model, const char* name, const Pixels& pixels, GxInt32 size, GxRGBA colour);
GxMaterial* PlainMaterial(GxRGBA colour);
// A quad whose triangles face along `normal`, whatever the order its corners come in.
void AddFacingQuad(ContentWorldMesh* mesh, GxV3d a, GxV3d b, GxV3d c, GxV3d d, GxV3d normal, GxUInt16 material,
                   GxReal uvScale);
void AddBoxQuads(ContentWorldMesh* mesh, GxV3d centre, GxV3d half, GxUInt16 material);
// Drops the caller's references: materials live on in what uses them.
void Drop(std::initializer_list<GxMaterial*> materials);
// A clump of one atomic on its root frame; the geometry's reference passes to the atomic.
bool Assemble(ContentModel* model, GxGeometry* geometry);
// A hidden marker the building objects read: a tiny atomic on a child frame whose user data is `tag`.
bool AddDummy(ContentModel* model, GxV3d position, const char* tag);

}  // namespace content_parts
