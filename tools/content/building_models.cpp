// Building models: shop units, facilities, stairs, atrium, mall door, scenery and the city landmarks.
//
//   1. footprint: cell centres and the dummy points that the entrance rules turn back into wanted cells
//   2. pictures and the shape builder (boxes and lathe solids)
//   3. shop units: their picture, surfaces, each kind's fittings, the unit in two levels
//   4. other recipes
//   5. the list
#include "tools/content/building_models.h"

#include <algorithm>
#include <cmath>

#include "gfx/core/image.h"
#include "gfx/core/raster.h"
#include "gfx/core/texture.h"
#include "gfx/world/lod.h"
#include "tools/content/clump_writer.h"
#include "tools/content/icon_painter.h"
#include "tools/content/interface_painter.h"

namespace {

using namespace content_parts;

// ---- 1. footprint ----

constexpr GxInt32 kFrontColumn = -1;  // entrances lie on the cell in front of the footprint's +z edge
constexpr GxReal kEdgeStep = 0.5f;    // a slot path's second point lies this far inside the front edge

struct Footprint {
    GxReal sizeX, sizeZ;
    GxInt32 Rows() const { return static_cast<GxInt32>(sizeX / kCell); }
    GxInt32 Columns() const { return static_cast<GxInt32>(sizeZ / kCell); }
    // The row of the entrance: the middle one, so the mouth faces the middle of the front.
    GxInt32 EntranceRow() const { return Rows() / 2; }
};

// Model-space centre of cell (row, column): rows run +x from the -x edge, columns run -z from the +z edge;
// column -1 is the cell in front of the footprint.
GxV3d CellCentre(const Footprint& f, GxInt32 row, GxInt32 column, GxReal y = 0.0f)
{
    return {-f.sizeX * 0.5f + kCell * 0.5f + kCell * static_cast<GxReal>(row), y,
            f.sizeZ * 0.5f - kCell * 0.5f - kCell * static_cast<GxReal>(column)};
}

// A point the first entrance list ("door", "door_up") reads as cell (row, column). The rule takes
// x = trunc((sizeX / 2 + p.x) / 2) and z = trunc((p.z - sizeZ / 2 + 1) / 2) as (row, -column): the cell's centre
// gives row + 1/2 and exactly -column, both inside the truncation's interval for row >= 0 and column >= -1.
GxV3d FirstListPoint(const Footprint& f, GxInt32 row, GxInt32 column, GxReal y = 0.0f)
{
    return CellCentre(f, row, column, y);
}

// A point the second list ("door_down", "free") reads as cell (row, column). That rule takes
// x = trunc(p.x / 2 + h) with h = (sizeX / 2) / 2, and z = trunc(p.z / 2 - k) with k = (sizeZ / 2 - 1) / 2
// (integer halvings). Solving for the middle of x's interval and for z's exact value gives the point below; it
// is the cell's centre only for an odd column count, so the dummy is placed by the rule, not by the cell.
GxV3d SecondListPoint(const Footprint& f, GxInt32 row, GxInt32 column, GxReal y = 0.0f)
{
    const GxInt32 h = (static_cast<GxInt32>(f.sizeX) / 2) / 2;
    const GxInt32 k = (static_cast<GxInt32>(f.sizeZ) / 2 - 1) / 2;
    return {kCell * static_cast<GxReal>(row - h) + kCell * 0.5f, y, kCell * static_cast<GxReal>(k - column)};
}

// A slot path from the entrance cell's centre to a spot inside: in across the front edge, over to the spot's
// row, then onto it.
ContentSlotPath SlotInto(const Footprint& f, const char* name, GxV3d spot)
{
    const GxV3d entrance = CellCentre(f, f.EntranceRow(), kFrontColumn);
    const GxV3d inside = {entrance.x, 0.0f, f.sizeZ * 0.5f - kEdgeStep};
    const GxV3d across = {spot.x, 0.0f, (inside.z + spot.z) * 0.5f};
    return {name, {entrance, inside, across, spot}};
}

// ---- 2. pictures and shapes ----

Pixels Grain(GxRGBA base, std::uint32_t seed, GxInt32 range, GxInt32 stripe)
{
    return Paint(kModelTextureSize, [=](GxInt32 x, GxInt32 y) {
        const GxInt32 line = stripe > 0 && y % stripe == 0 ? -30 : 0;
        return Shade(base, line + Speckle(x, y, seed, range));
    });
}

Pixels Bricks(GxRGBA brick, GxRGBA mortar)
{
    return Paint(kModelTextureSize, [=](GxInt32 x, GxInt32 y) {
        const GxInt32 course = y / 8;
        const bool joint = y % 8 == 0 || (x + (course % 2) * 8) % 16 == 0;
        return joint ? mortar : Shade(brick, Speckle(x, y, 21, 12));
    });
}

Pixels Lattice(GxRGBA iron, GxRGBA gap)
{
    return Paint(kModelTextureSize, [=](GxInt32 x, GxInt32 y) {
        const bool bar = (x + y) % 16 < 3 || (x - y + 64) % 16 < 3 || x % 32 < 2 || y % 32 < 2;
        return bar ? iron : gap;
    });
}

Pixels Tiles(GxRGBA tile, GxRGBA grout)
{
    return Paint(kModelTextureSize, [=](GxInt32 x, GxInt32 y) {
        return (x % 16 == 0 || y % 16 == 0) ? grout : Shade(tile, Speckle(x, y, 22, 3));
    });
}

Pixels Leaves()
{
    return Paint(kModelTextureSize, [](GxInt32 x, GxInt32 y) {
        const GxInt32 leaf = static_cast<GxInt32>(Noise(x / 4, y / 4, 23) % 60) - 30;
        return Shade({60, 130, 50, 255}, leaf + Speckle(x, y, 24, 8));
    });
}

// One model's mesh and materials: the mesh indexes the materials in the order they were added.
class Shape {
public:
    explicit Shape(ContentModel* model) : m_model(model) {}
    ~Shape()
    {
        for (GxMaterial* material : m_materials) {
            Drop({material});
        }
    }
    Shape(const Shape&) = delete;
    Shape& operator=(const Shape&) = delete;

    GxUInt16 Textured(const char* name, const Pixels& pixels, GxRGBA colour = {255, 255, 255, 255})
    {
        return Add(TexturedMaterial(m_model, name, pixels, kModelTextureSize, colour));
    }
    GxUInt16 Plain(GxRGBA colour) { return Add(PlainMaterial(colour)); }

    void Box(GxV3d centre, GxV3d half, GxUInt16 material) { AddBoxQuads(&mesh, centre, half, material); }
    // A box standing on y0 up to y1.
    void Block(GxReal x, GxReal z, GxReal halfX, GxReal halfZ, GxReal y0, GxReal y1, GxUInt16 material)
    {
        Box({x, (y0 + y1) * 0.5f, z}, {halfX, (y1 - y0) * 0.5f, halfZ}, material);
    }

    // A solid of revolution round a vertical axis through `centre`; the profile runs from the bottom centre
    // outwards, up and back in, so every band's normal points out of the solid.
    struct Ring {
        GxReal radius, y;
    };
    void Lathe(GxV3d centre, const std::vector<Ring>& profile, GxInt32 segments, GxUInt16 material,
               GxReal startAngle = 0.0f)
    {
        for (size_t i = 0; i + 1 < profile.size(); i++) {
            const Ring lo = profile[i], hi = profile[i + 1];
            if (lo.radius <= 0.0f && hi.radius <= 0.0f) {
                continue;
            }
            const GxReal rise = hi.y - lo.y, shrink = lo.radius - hi.radius;
            for (GxInt32 s = 0; s < segments; s++) {
                const GxReal a0 = startAngle + 2.0f * kPi * static_cast<GxReal>(s) / static_cast<GxReal>(segments);
                const GxReal a1 = startAngle + 2.0f * kPi * static_cast<GxReal>(s + 1) / static_cast<GxReal>(segments);
                const GxReal am = (a0 + a1) * 0.5f;
                auto at = [&](const Ring& r, GxReal a) {
                    return GxV3d{centre.x + r.radius * std::cos(a), centre.y + r.y, centre.z + r.radius * std::sin(a)};
                };
                GxV3d n = {std::cos(am) * rise, shrink, std::sin(am) * rise};
                const GxReal length = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
                if (length <= 0.0f) {
                    continue;
                }
                n = {n.x / length, n.y / length, n.z / length};
                const GxV3d a = at(lo, a0), b = at(lo, a1), c = at(hi, a1), d = at(hi, a0);
                if (lo.radius <= 0.0f) {
                    AddFacingQuad(&mesh, b, c, d, a, n, material, 1.0f);  // starts past the apex
                } else {
                    AddFacingQuad(&mesh, a, b, c, d, n, material, 1.0f);
                }
            }
        }
    }

    bool Finish()
    {
        if (!m_ok) {
            return false;
        }
        return Assemble(m_model, ContentMeshGeometry(mesh, kLitFlags, m_materials.data(),
                                                     static_cast<GxInt32>(m_materials.size())));
    }

    ContentWorldMesh mesh;

private:
    GxUInt16 Add(GxMaterial* material)
    {
        m_ok = m_ok && material != nullptr;
        m_materials.push_back(material);
        return static_cast<GxUInt16>(m_materials.size() - 1);
    }

    ContentModel* m_model;
    std::vector<GxMaterial*> m_materials;
    bool m_ok = true;
};

constexpr GxInt32 kRoundSegments = 16;
constexpr GxInt32 kSquareSegments = 4;
constexpr GxReal kSquareStart = kPi * 0.25f;  // a four-sided lathe with its faces along the axes

// ---- 3. shop units ----
//
// A unit is open at the front (+z), where its entrance lies: a door opening on the entrance row between two
// shop windows, a sign band over them with the kind's pictogram, striped awnings over the windows and a hanging
// sign, in the colour of the kind's build-menu button; its walls carry a band of that colour round their tops,
// and inside stand the kind's own fittings along the walls, clear of the shoppers' paths. One picture per kind
// holds every surface (pictogram, floor, plaster, awning stripes and flat swatches), so a unit draws with two
// materials, that picture and the window glass; a plainer level with the same front is drawn from afar.

constexpr GxInt32 kShopPicture = 128;
constexpr GxInt32 kQuarter = kShopPicture / 2;
constexpr GxInt32 kSwatch = 16;  // flat colours, four rows of four in the picture's last quarter
constexpr GxInt32 kSwatchesAcross = kQuarter / kSwatch;
constexpr GxInt32 kPlasterRows = kQuarter / 2;  // the plaster above the awning stripes in the third quarter
constexpr GxInt32 kWallBandRows = 7;            // the coloured band along the top of the plaster
constexpr GxInt32 kStripe = 8;                  // pixels of one awning stripe
constexpr GxInt32 kFloorTile = 16;              // pixels of one tile of the unit's floor

constexpr GxReal kShopWall = 0.2f;     // wall thickness
constexpr GxReal kShopHeight = 3.0f;   // walls, below the mall's own, which reach the floor above
constexpr GxReal kDoorHalf = 0.8f;     // half the door opening, centred on the entrance row
constexpr GxReal kDoorTop = 2.3f;      // the opening and the windows reach up to the sign band
constexpr GxReal kFramePost = 0.12f;   // the posts either side of the door
constexpr GxReal kPier = 0.3f;         // the wall ends either side of the front
constexpr GxReal kSill = 0.5f;         // windows start this high
constexpr GxReal kBandTop = 3.6f;      // the sign band stands above the walls, marking the front
constexpr GxReal kBandProud = 0.06f;   // and out from the front
constexpr GxReal kSignSide = 1.1f;     // a pictogram on the band
constexpr GxReal kAwningReach = 0.8f;  // how far an awning reaches out over the street
constexpr GxReal kAwningDrop = 0.35f;  // and how much it falls on the way
constexpr GxReal kValance = 0.15f;     // the awning's hanging front edge
constexpr GxReal kBladeReach = 0.85f;  // the hanging sign beside the door
constexpr GxReal kBladeThick = 0.08f;
constexpr GxReal kFloorLift = 0.02f;      // the unit's floor just above the mall's tiles
constexpr GxReal kFittingDepth = 0.5f;    // fittings stand this far out from their wall
constexpr GxReal kFrontClearance = 1.8f;  // fittings keep this far back from the front, clear of the way in
constexpr GxReal kCornerClearance = 0.6f;
constexpr GxUInt8 kGlassAlpha = 110;
const GxRGBA kGlass = {180, 215, 235, kGlassAlpha};
const GxRGBA kPlaster = {236, 231, 220, 255};
constexpr GxReal kPlasterWhiteness = 0.75f;  // the walls are plaster with a quarter of the kind's colour
const GxRGBA kWhite = {246, 246, 242, 255};
// The simple level takes over from this depth along the view: levels per unit of depth.
constexpr GxReal kShopLevelScale = 1.0f / 60.0f;
constexpr GxInt32 kShopFarLevel = 1;

// A rectangle of the picture, in texture coordinates (v down from the picture's top row).
struct Uv {
    GxReal u0, v0, u1, v1;
};

Uv PixelsUv(GxInt32 x, GxInt32 row, GxInt32 width, GxInt32 height)
{
    constexpr GxReal kSide = kShopPicture;
    return {x / kSide, row / kSide, (x + width) / kSide, (row + height) / kSide};
}

// The flat colours of a unit's picture. The pictogram, floor, plaster and stripes fill the other quarters.
enum ShopSwatch : GxInt32 {
    kKindColour,
    kKindDark,
    kKindPale,
    kSwatchWhite,
    kFrame,  // window and door frames, cabinets
    kWood,
    kSilver,
    kScreen,
    kRed,
    kGreen,
    kOrange,
    kYellow,
    kBlue,
    kFarGlass,  // the windows seen from afar
    kSwatchCount
};
static_assert(kSwatchCount <= kSwatchesAcross * kSwatchesAcross, "the swatches fill one quarter of the picture");

// The middle texel of a swatch, so that every corner of a face samples the one colour.
Uv SwatchUv(ShopSwatch swatch)
{
    const GxInt32 x = kQuarter + (swatch % kSwatchesAcross) * kSwatch + kSwatch / 2;
    const GxInt32 row = kQuarter + (swatch / kSwatchesAcross) * kSwatch + kSwatch / 2;
    return PixelsUv(x, row, 0, 0);
}

// A region of the picture less a margin, so that filtering never reaches into the next region.
Uv RegionUv(GxInt32 x, GxInt32 row, GxInt32 width, GxInt32 height)
{
    constexpr GxInt32 kMargin = 2;
    return PixelsUv(x + kMargin, row + kMargin, width - 2 * kMargin, height - 2 * kMargin);
}

const Uv kPictogramUv = RegionUv(0, 0, kQuarter, kQuarter);
const Uv kFloorUv = RegionUv(kQuarter, 0, kQuarter, kQuarter);
const Uv kPlasterUv = RegionUv(0, kQuarter, kQuarter, kPlasterRows);
const Uv kStripesUv = RegionUv(0, kQuarter + kPlasterRows, kQuarter, kQuarter - kPlasterRows);

class ShopBuilder;
struct Run;
using Fitting = void (*)(ShopBuilder*, const Run&);

struct ShopKind {
    const char* stem;
    GxInt32 category;  // build category: the button colour and pictogram of the kind
    Fitting side;      // what stands along each side wall
    Fitting back;      // and along the back
};

struct ShopSize {
    const char* suffix;
    GxReal size;
    // Where the users stand, one spot per slot: along the side walls and the back.
    std::vector<std::pair<GxInt32, GxInt32>> spots;
};

const ShopSize kShopSizes[] = {
    {"small", 6.0f, {{0, 1}, {2, 1}, {0, 2}, {2, 2}, {1, 2}}},
    {"large", 8.0f, {{0, 1}, {3, 1}, {0, 2}, {3, 2}, {0, 3}, {3, 3}, {1, 3}, {2, 3}}},
};

GxRGBA KindColour(const ShopKind& kind)
{
    const uint8_t* rgb = ContentBuildCategoryColour(kind.category);
    return {rgb[0], rgb[1], rgb[2], 255};
}

GxRGBA SwatchColour(const ShopKind& kind, GxInt32 swatch)
{
    const GxRGBA colour = KindColour(kind);
    switch (swatch) {
    case kKindColour:
        return colour;
    case kKindDark:
        return Mix(colour, {0, 0, 0, 255}, 0.4f);
    case kKindPale:
        return Mix(colour, kWhite, 0.7f);
    case kSwatchWhite:
        return kWhite;
    case kFrame:
        return {62, 64, 72, 255};
    case kWood:
        return {156, 108, 64, 255};
    case kSilver:
        return {196, 200, 208, 255};
    case kScreen:
        return {70, 170, 245, 255};
    case kRed:
        return {205, 40, 40, 255};
    case kGreen:
        return {70, 165, 60, 255};
    case kOrange:
        return {240, 145, 40, 255};
    case kYellow:
        return {245, 215, 60, 255};
    case kBlue:
        return {50, 90, 200, 255};
    case kFarGlass:
    default:
        return {170, 200, 220, 255};
    }
}

// The kind's picture: pictogram in white on the kind's colour, the floor in pale tiles of it, plaster tinted
// with it and banded with it along the top, awning stripes of it and white, and the swatches.
Pixels ShopPicture(const ShopKind& kind)
{
    const GxRGBA colour = KindColour(kind), pale = SwatchColour(kind, kKindPale);
    const GxRGBA plaster = Mix(colour, kPlaster, kPlasterWhiteness);
    ContentPngImage pictogram = ContentBlankImage(kQuarter, kQuarter);
    const uint8_t white[3] = {kWhite.red, kWhite.green, kWhite.blue};
    ContentPaintIcon(&pictogram, 0, 0, kQuarter, kQuarter, ContentBuildCategoryIcon(kind.category), white);
    return Paint(kShopPicture, [&](GxInt32 x, GxInt32 y) -> GxRGBA {
        if (x < kQuarter && y < kQuarter) {
            const bool ink = pictogram.rows[static_cast<size_t>((y * kQuarter + x) * 4 + 3)] != 0;
            return ink ? kWhite : colour;
        }
        if (y < kQuarter) {
            const bool grout = x % kFloorTile == 0 || y % kFloorTile == 0;
            return grout ? Mix(pale, {90, 90, 90, 255}, 0.35f) : Shade(pale, Speckle(x, y, 51, 4));
        }
        if (x >= kQuarter) {
            const GxInt32 swatch = (y - kQuarter) / kSwatch * kSwatchesAcross + (x - kQuarter) / kSwatch;
            return SwatchColour(kind, swatch);
        }
        const GxInt32 row = y - kQuarter;
        if (row < kPlasterRows) {
            return row < kWallBandRows ? colour : Shade(plaster, Speckle(x, y, 52, 5));
        }
        return (x / kStripe) % 2 == 0 ? colour : kWhite;
    });
}

// A unit's surfaces, in its picture or the glass.
class ShopBuilder {
public:
    ShopBuilder(ContentWorldMesh* mesh, GxUInt16 picture, GxUInt16 glass)
        : m_mesh(mesh), m_picture(picture), m_glass(glass)
    {}

    // A rectangle from `corner`, spanning `right` and `up`, seen from the side `right` x `up` points to; the
    // picture's rectangle upright on it.
    void Face(GxV3d corner, GxV3d right, GxV3d up, Uv uv, bool glass = false)
    {
        const GxV3d n = Normalised(Cross(right, up));
        const GxV3d corners[4] = {corner, Add(corner, right), Add(Add(corner, right), up), Add(corner, up)};
        const GxTexCoords uvs[4] = {{uv.u0, uv.v1}, {uv.u1, uv.v1}, {uv.u1, uv.v0}, {uv.u0, uv.v0}};
        const auto first = static_cast<GxUInt16>(m_mesh->positions.size());
        for (GxInt32 i = 0; i < 4; i++) {
            m_mesh->positions.push_back(corners[i]);
            m_mesh->normals.push_back(n);
            m_mesh->prelit.push_back({255, 255, 255, 255});
            m_mesh->uv.push_back(uvs[i]);
        }
        const GxUInt16 material = glass ? m_glass : m_picture;
        m_mesh->triangles.push_back(
            {{first, static_cast<GxUInt16>(first + 1), static_cast<GxUInt16>(first + 2)}, material});
        m_mesh->triangles.push_back(
            {{first, static_cast<GxUInt16>(first + 2), static_cast<GxUInt16>(first + 3)}, material});
    }

    // A box from `lo` to `hi`: its sides show `side` upright, its top `top`. Its bottom is left out: it stands
    // on the floor or on another box.
    void Box(GxV3d lo, GxV3d hi, Uv side, Uv top)
    {
        const GxV3d up = {0, hi.y - lo.y, 0};
        const GxReal dx = hi.x - lo.x, dz = hi.z - lo.z;
        Face({lo.x, lo.y, hi.z}, {dx, 0, 0}, up, side);   // +z
        Face({hi.x, lo.y, hi.z}, {0, 0, -dz}, up, side);  // +x
        Face({hi.x, lo.y, lo.z}, {-dx, 0, 0}, up, side);  // -z
        Face({lo.x, lo.y, lo.z}, {0, 0, dz}, up, side);   // -x
        Face({lo.x, hi.y, hi.z}, {dx, 0, 0}, {0, 0, -dz}, top);
    }
    void Box(GxV3d lo, GxV3d hi, ShopSwatch swatch) { Box(lo, hi, SwatchUv(swatch), SwatchUv(swatch)); }

    // A pane of glass facing both ways.
    void Pane(GxV3d corner, GxV3d right, GxV3d up)
    {
        Face(corner, right, up, {}, true);
        Face(Add(corner, right), {-right.x, -right.y, -right.z}, up, {}, true);
    }

private:
    static GxV3d Add(GxV3d a, GxV3d b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
    static GxV3d Cross(GxV3d a, GxV3d b)
    {
        return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
    }
    static GxV3d Normalised(GxV3d v)
    {
        const GxReal length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
        return {v.x / length, v.y / length, v.z / length};
    }

    ContentWorldMesh* m_mesh;
    GxUInt16 m_picture;
    GxUInt16 m_glass;
};

// A strip of floor along an inner wall where a kind stands its fittings: positions in it are given along the
// wall from its start, out from the wall into the unit, and up.
struct Run {
    GxV3d start;  // on the floor at the wall's inner face
    GxV3d along;  // unit vectors in the floor's plane
    GxV3d out;
    GxReal length;

    GxV3d At(GxReal a, GxReal o, GxReal y) const
    {
        return {start.x + along.x * a + out.x * o, y, start.z + along.z * a + out.z * o};
    }
    // The box a0..a1 along, o0..o1 out and y0..y1 up.
    void Box(ShopBuilder* b, GxReal a0, GxReal a1, GxReal o0, GxReal o1, GxReal y0, GxReal y1, Uv side, Uv top) const
    {
        const GxV3d p = At(a0, o0, y0), q = At(a1, o1, y1);
        b->Box({std::fmin(p.x, q.x), y0, std::fmin(p.z, q.z)}, {std::fmax(p.x, q.x), y1, std::fmax(p.z, q.z)}, side,
               top);
    }
    void Box(ShopBuilder* b, GxReal a0, GxReal a1, GxReal o0, GxReal o1, GxReal y0, GxReal y1, ShopSwatch s) const
    {
        Box(b, a0, a1, o0, o1, y0, y1, SwatchUv(s), SwatchUv(s));
    }
};

// ---- fittings: each kind's own, first along a side wall, then along the back ----

void Rail(ShopBuilder* b, const Run& r)  // clothes hanging from a rail
{
    r.Box(b, 0.2f, r.length - 0.2f, 0.28f, 0.33f, 1.55f, 1.6f, kFrame);
    const ShopSwatch clothes[3] = {kKindColour, kSwatchWhite, kKindDark};
    const GxReal step = (r.length - 0.4f) / 3.0f;
    for (GxInt32 i = 0; i < 3; i++) {
        const GxReal a = 0.2f + step * static_cast<GxReal>(i);
        r.Box(b, a + 0.1f, a + step - 0.1f, 0.08f, kFittingDepth, 0.5f, 1.5f, clothes[i]);
    }
}

void Counter(ShopBuilder* b, const Run& r, ShopSwatch front)  // a till counter in the middle of the back
{
    const GxReal middle = r.length * 0.5f;
    r.Box(b, middle - 0.8f, middle + 0.8f, 0.0f, 0.45f, 0.0f, 0.95f, SwatchUv(front), SwatchUv(kSwatchWhite));
}

void Till(ShopBuilder* b, const Run& r) { Counter(b, r, kKindColour); }

void Screens(ShopBuilder* b, const Run& r)  // televisions on a low cabinet
{
    r.Box(b, 0.1f, r.length - 0.1f, 0.0f, 0.45f, 0.0f, 0.8f, SwatchUv(kFrame), SwatchUv(kSilver));
    const GxReal step = (r.length - 0.2f) / 3.0f;
    for (GxInt32 i = 0; i < 3; i++) {
        const GxReal a = 0.1f + step * static_cast<GxReal>(i);
        r.Box(b, a + 0.12f, a + step - 0.12f, 0.12f, 0.2f, 0.85f, 1.55f + 0.1f * static_cast<GxReal>(i % 2), kScreen);
    }
}

void Toys(ShopBuilder* b, const Run& r)  // stacks of games and toys on a table
{
    r.Box(b, 0.2f, r.length - 0.2f, 0.0f, 0.45f, 0.0f, 0.75f, kWood);
    const ShopSwatch stacks[3] = {kRed, kBlue, kGreen};
    const GxReal step = (r.length - 0.4f) / 3.0f;
    for (GxInt32 i = 0; i < 3; i++) {
        const GxReal a = 0.2f + step * static_cast<GxReal>(i);
        r.Box(b, a + 0.2f, a + step - 0.2f, 0.08f, 0.38f, 0.75f, 1.0f + 0.2f * static_cast<GxReal>(i % 2), stacks[i]);
    }
}

void Shelf(ShopBuilder* b, const Run& r, ShopSwatch body, ShopSwatch edges)  // a tall shelf with coloured edges
{
    r.Box(b, 0.2f, r.length - 0.2f, 0.0f, 0.32f, 0.0f, 1.9f, body);
    for (GxReal y : {0.6f, 1.25f}) {
        r.Box(b, 0.2f, r.length - 0.2f, 0.32f, 0.36f, y, y + 0.1f, edges);
    }
}

void GamesShelf(ShopBuilder* b, const Run& r) { Shelf(b, r, kKindColour, kSwatchWhite); }

void MedicineShelf(ShopBuilder* b, const Run& r) { Shelf(b, r, kSwatchWhite, kGreen); }

void Sofa(ShopBuilder* b, const Run& r)  // a sofa and a standard lamp
{
    const GxReal end = r.length * 0.62f;
    r.Box(b, 0.3f, end, 0.0f, kFittingDepth, 0.0f, 0.45f, kKindColour);
    r.Box(b, 0.3f, end, 0.0f, 0.16f, 0.45f, 0.9f, kKindDark);
    const GxReal lamp = (end + r.length) * 0.5f;
    r.Box(b, lamp - 0.04f, lamp + 0.04f, 0.2f, 0.28f, 0.0f, 1.4f, kFrame);
    r.Box(b, lamp - 0.22f, lamp + 0.22f, 0.02f, 0.46f, 1.4f, 1.75f, kYellow);
}

void Cabinet(ShopBuilder* b, const Run& r)  // a sideboard with a vase of flowers
{
    r.Box(b, 0.4f, r.length - 0.4f, 0.0f, 0.45f, 0.0f, 0.9f, kWood);
    const GxReal middle = r.length * 0.5f;
    r.Box(b, middle - 0.1f, middle + 0.1f, 0.12f, 0.32f, 0.9f, 1.3f, kKindColour);
}

void Cross(ShopBuilder* b, const Run& r)  // a pharmacy's green cross on the back wall, over a counter
{
    Counter(b, r, kSwatchWhite);
    const GxReal middle = r.length * 0.5f;
    r.Box(b, middle - 0.12f, middle + 0.12f, 0.0f, 0.05f, 1.3f, 2.2f, kGreen);
    r.Box(b, middle - 0.45f, middle + 0.45f, 0.0f, 0.05f, 1.63f, 1.87f, kGreen);
}

void Produce(ShopBuilder* b, const Run& r)  // crates of fruit and vegetables
{
    r.Box(b, 0.1f, r.length - 0.1f, 0.0f, kFittingDepth, 0.0f, 0.65f, kWood);
    const ShopSwatch crops[3] = {kRed, kGreen, kOrange};
    const GxReal step = (r.length - 0.2f) / 3.0f;
    for (GxInt32 i = 0; i < 3; i++) {
        const GxReal a = 0.1f + step * static_cast<GxReal>(i);
        r.Box(b, a + 0.06f, a + step - 0.06f, 0.05f, kFittingDepth - 0.05f, 0.65f, 0.8f, crops[i]);
    }
}

void Fridge(ShopBuilder* b, const Run& r)  // a chilled cabinet with a window in its front
{
    const GxReal middle = r.length * 0.5f;
    r.Box(b, middle - 0.9f, middle + 0.9f, 0.0f, 0.45f, 0.0f, 1.9f, kSwatchWhite);
    r.Box(b, middle - 0.75f, middle + 0.75f, 0.45f, 0.48f, 0.5f, 1.7f, kScreen);
}

const ShopKind kShopKinds[] = {
    {"fashion", 1, Rail, Till}, {"electric", 2, Screens, Till},      {"leisure", 3, Toys, GamesShelf},
    {"home", 4, Sofa, Cabinet}, {"health", 5, MedicineShelf, Cross}, {"food", 6, Produce, Fridge},
};

// ---- the unit ----

// The walls, their coloured tops and the floor.
void Shell(ShopBuilder* b, GxReal h)
{
    const Uv band = SwatchUv(kKindColour);
    b->Box({-h, 0, -h}, {h, kShopHeight, -h + kShopWall}, kPlasterUv, band);
    b->Box({-h, 0, -h + kShopWall}, {-h + kShopWall, kShopHeight, h - kShopWall}, kPlasterUv, band);
    b->Box({h - kShopWall, 0, -h + kShopWall}, {h, kShopHeight, h - kShopWall}, kPlasterUv, band);
    b->Face({-h + kShopWall, kFloorLift, h - kShopWall}, {2 * (h - kShopWall), 0, 0}, {0, 0, -2 * (h - kShopWall)},
            kFloorUv);
}

// The sign band over the whole front, a pictogram over the door and over each window's middle, and a striped
// awning over each window.
void SignsAndAwnings(ShopBuilder* b, GxReal h, const std::vector<std::pair<GxReal, GxReal>>& windows, GxReal door)
{
    const GxReal front = h + kBandProud;
    b->Box({-h, kDoorTop, h - kShopWall}, {h, kBandTop, front}, SwatchUv(kKindColour), SwatchUv(kKindDark));
    const GxReal signY = (kDoorTop + kBandTop - kSignSide) * 0.5f;
    std::vector<GxReal> signs = {door};
    for (const auto& w : windows) {
        signs.push_back((w.first + w.second) * 0.5f);
    }
    for (GxReal x : signs) {
        b->Face({x - kSignSide * 0.5f, signY, front + 0.01f}, {kSignSide, 0, 0}, {0, kSignSide, 0}, kPictogramUv);
    }
    for (const auto& w : windows) {
        const GxReal width = w.second - w.first;
        const GxV3d top = {w.first, kDoorTop - 0.02f, front};
        const GxV3d slope = {0, -kAwningDrop, kAwningReach};
        b->Face(top, {width, 0, 0}, {-slope.x, -slope.y, -slope.z}, kStripesUv);  // seen from above
        b->Face({w.second, top.y, top.z}, {-width, 0, 0}, slope, kStripesUv);     // and from below
        const GxV3d lip = {w.first, top.y - kAwningDrop - kValance, top.z + kAwningReach};
        b->Face(lip, {width, 0, 0}, {0, kValance, 0}, SwatchUv(kKindColour));
        b->Face({w.second, lip.y, lip.z}, {-width, 0, 0}, {0, kValance, 0}, SwatchUv(kKindColour));
    }
}

// The window bays either side of the door, as x ranges.
std::vector<std::pair<GxReal, GxReal>> Windows(GxReal h, GxReal door)
{
    return {{-h + kPier, door - kDoorHalf - kFramePost}, {door + kDoorHalf + kFramePost, h - kPier}};
}

// The front near: piers, door posts, sills and glass.
void Front(ShopBuilder* b, GxReal h, GxReal door)
{
    const GxReal back = h - kShopWall;
    b->Box({-h, 0, back}, {-h + kPier, kDoorTop, h}, kPlasterUv, SwatchUv(kKindColour));
    b->Box({h - kPier, 0, back}, {h, kDoorTop, h}, kPlasterUv, SwatchUv(kKindColour));
    for (GxReal side : {-1.0f, 1.0f}) {
        const GxReal x = door + side * (kDoorHalf + kFramePost * 0.5f);
        b->Box({x - kFramePost * 0.5f, 0, back}, {x + kFramePost * 0.5f, kDoorTop, h}, kFrame);
    }
    for (const auto& w : Windows(h, door)) {
        b->Box({w.first, 0, back}, {w.second, kSill, h}, SwatchUv(kKindDark), SwatchUv(kFrame));
        b->Pane({w.first, kSill, h - kShopWall * 0.5f}, {w.second - w.first, 0, 0}, {0, kDoorTop - kSill, 0});
    }
    // The hanging sign on the pier away from the door, its pictogram on both faces.
    const GxReal x = door > 0.0f ? -h + kPier * 0.5f : h - kPier * 0.5f;
    const GxReal y0 = kDoorTop - kSignSide, y1 = kDoorTop - 0.05f;
    const GxReal z0 = h + kBandProud, z1 = z0 + kBladeReach;
    b->Box({x - kBladeThick * 0.5f, y0, z0}, {x + kBladeThick * 0.5f, y1, z1}, SwatchUv(kKindColour),
           SwatchUv(kKindDark));
    b->Face({x + kBladeThick * 0.5f + 0.01f, y0, z1}, {0, 0, -kBladeReach}, {0, y1 - y0, 0}, kPictogramUv);
    b->Face({x - kBladeThick * 0.5f - 0.01f, y0, z0}, {0, 0, kBladeReach}, {0, y1 - y0, 0}, kPictogramUv);
}

// The front from afar: the windows as flat panes of pale glass, no frames and no hanging sign.
void FarFront(ShopBuilder* b, GxReal h, GxReal door)
{
    const GxReal back = h - kShopWall;
    b->Box({-h, 0, back}, {door - kDoorHalf, kDoorTop, h}, SwatchUv(kFarGlass), SwatchUv(kKindColour));
    b->Box({door + kDoorHalf, 0, back}, {h, kDoorTop, h}, SwatchUv(kFarGlass), SwatchUv(kKindColour));
}

// One level of a unit of `size`: the near one with the front in full and the fittings, else the far one.
GxGeometry* UnitGeometry(const ShopKind& kind, GxReal size, bool near, GxMaterial* const materials[2])
{
    const GxReal h = size * 0.5f;
    const Footprint f{size, size};
    const GxReal door = CellCentre(f, f.EntranceRow(), 0).x;
    ContentWorldMesh mesh;
    ShopBuilder b(&mesh, 0, 1);
    Shell(&b, h);
    SignsAndAwnings(&b, h, Windows(h, door), door);
    if (!near) {
        FarFront(&b, h, door);
        return ContentMeshGeometry(mesh, kLitFlags, materials, 2);
    }
    Front(&b, h, door);
    const GxReal inner = h - kShopWall;
    const GxReal length = 2 * inner - kFrontClearance - kCornerClearance;
    const Run side = {{-inner, 0, inner - kFrontClearance}, {0, 0, -1}, {1, 0, 0}, length};
    const Run back = {{-inner + kCornerClearance + kFittingDepth, 0, -inner},
                      {1, 0, 0},
                      {0, 0, 1},
                      2 * (inner - kCornerClearance - kFittingDepth)};
    // The other side wall mirrors the first.
    const Run mirrored = {{inner, 0, -inner + kCornerClearance}, {0, 0, 1}, {-1, 0, 0}, length};
    kind.side(&b, side);
    kind.side(&b, mirrored);
    kind.back(&b, back);
    return ContentMeshGeometry(mesh, kLitFlags, materials, 2);
}

// A shop unit of the kind, one "shop_pause" slot per spot; the far level hangs on the unit's atomic.
bool Shop(ContentModel* model, const ShopKind& kind, const ShopSize& size)
{
    GxMaterial* picture = TexturedMaterial(model, (std::string(kind.stem) + "_unit").c_str(), ShopPicture(kind),
                                           kShopPicture, {255, 255, 255, 255});
    GxMaterial* glass = PlainMaterial(kGlass);
    GxMaterial* const materials[2] = {picture, glass};
    const bool made = picture && glass && Assemble(model, UnitGeometry(kind, size.size, true, materials));
    GxGeometry* far = made ? UnitGeometry(kind, size.size, false, materials) : nullptr;
    Drop({picture, glass});
    // The unit is the clump's one atomic so far: the entrance dummy comes after it.
    GxAtomic* unit = made ? GxLinkGetData(model->clump->atomicList.next, GxAtomic, inClumpLink) : nullptr;
    const bool levels = unit && far && ContentSetFarLevels(unit, kShopFarLevel, far, kShopLevelScale);
    if (far) {
        GxGeometryDestroy(far);
    }
    const Footprint f{size.size, size.size};
    for (const auto& spot : size.spots) {
        model->slots.push_back(SlotInto(f, "shop_pause", CellCentre(f, spot.first, spot.second)));
    }
    return levels && AddDummy(model, FirstListPoint(f, f.EntranceRow(), kFrontColumn), "door");
}

// ---- 4. other recipes ----

// The cash machine: a cabinet against the back with a screen, used from in front.
bool CashMachine(ContentModel* model)
{
    const Footprint f{2, 2};
    Shape shape(model);
    const GxUInt16 panel = shape.Textured("atm_panel", Grain({120, 170, 120, 255}, 31, 6, 8));
    const GxUInt16 screen = shape.Plain({30, 50, 110, 255});
    shape.Block(0, -0.65f, 0.6f, 0.3f, 0, 2.0f, panel);
    shape.Box({0, 1.35f, -0.33f}, {0.3f, 0.2f, 0.02f}, screen);
    model->slots.push_back(SlotInto(f, "use_pause", {0, 0, 0.1f}));
    return shape.Finish() && AddDummy(model, FirstListPoint(f, f.EntranceRow(), kFrontColumn), "door");
}

// The phone: a post with a red hood and a handset.
bool Phone(ContentModel* model)
{
    const Footprint f{2, 2};
    Shape shape(model);
    const GxUInt16 hood = shape.Textured("phone_hood", Grain({210, 40, 40, 255}, 32, 6, 0));
    const GxUInt16 metal = shape.Plain({60, 60, 65, 255});
    shape.Block(0, -0.75f, 0.08f, 0.08f, 0, 1.4f, metal);
    shape.Block(0, -0.5f, 0.5f, 0.4f, 1.4f, 2.3f, hood);
    shape.Box({0, 1.6f, -0.7f}, {0.15f, 0.2f, 0.08f}, metal);
    model->slots.push_back(SlotInto(f, "use_pause", {0, 0, 0.0f}));
    return shape.Finish() && AddDummy(model, FirstListPoint(f, f.EntranceRow(), kFrontColumn), "door");
}

// The toilets: a tiled block with two cubicles open to the front, a bowl at the back of each.
bool Toilets(ContentModel* model)
{
    const Footprint f{4, 4};
    Shape shape(model);
    const GxUInt16 tiles = shape.Textured("toilet_tiles", Tiles({235, 240, 245, 255}, {150, 160, 170, 255}));
    const GxUInt16 china = shape.Plain({250, 250, 250, 255});
    constexpr GxReal kHeight = 2.6f, kThick = 0.1f;
    shape.Block(0, -2.0f + kThick, 2.0f, kThick, 0, kHeight, tiles);  // back
    shape.Block(-2.0f + kThick, 0, kThick, 2.0f, 0, kHeight, tiles);  // sides
    shape.Block(2.0f - kThick, 0, kThick, 2.0f, 0, kHeight, tiles);
    shape.Block(0, -1.0f, kThick, 1.0f, 0, kHeight, tiles);           // partition between the cubicles' back halves
    shape.Block(0, 0, 2.0f, 2.0f, kHeight, kHeight + kThick, tiles);  // roof
    for (GxInt32 row = 0; row < f.Rows(); row++) {
        const GxV3d spot = CellCentre(f, row, 1);
        shape.Lathe({spot.x, 0, -1.6f}, {{0, 0}, {0.2f, 0}, {0.25f, 0.45f}, {0, 0.45f}}, kRoundSegments, china);
        model->slots.push_back(SlotInto(f, "use_pause", spot));
    }
    return shape.Finish() && AddDummy(model, FirstListPoint(f, f.EntranceRow(), kFrontColumn), "door");
}

// A bench along the back of the footprint, one "seat_sit" slot per cell; the sitter turns round to face +z.
bool Seats(ContentModel* model)
{
    const Footprint f{4, 2};
    Shape shape(model);
    const GxUInt16 wood = shape.Textured("seat_wood", Grain({160, 110, 70, 255}, 33, 8, 6));
    const GxUInt16 metal = shape.Plain({70, 70, 75, 255});
    shape.Block(0, -0.45f, 1.8f, 0.3f, 0.4f, 0.5f, wood);  // seat
    shape.Block(0, -0.8f, 1.8f, 0.05f, 0.5f, 1.0f, wood);  // back rest
    for (GxReal x : {-1.6f, 1.6f}) {
        shape.Block(x, -0.5f, 0.05f, 0.3f, 0, 0.4f, metal);
    }
    for (GxInt32 row = 0; row < f.Rows(); row++) {
        model->slots.push_back(SlotInto(f, "seat_sit", {CellCentre(f, row, 0).x, 0, -0.3f}));
    }
    return shape.Finish() && AddDummy(model, FirstListPoint(f, f.EntranceRow(), kFrontColumn), "door");
}

// Stairs rising from the front edge (y 0) to the back edge (one storey up). Every row is a way up from the cell
// in front ("door_up") and a way down from the cell behind on the floor above ("door_down"); "up1" climbs the
// first row, "down1" comes down the second.
bool Stairs(ContentModel* model)
{
    const Footprint f{4, 6};
    constexpr GxInt32 kSteps = 12;
    constexpr GxReal kRail = 0.9f, kPost = 0.05f;
    Shape shape(model);
    const GxUInt16 stone = shape.Textured("stairs_stone", Grain({190, 185, 175, 255}, 34, 8, 0));
    const GxUInt16 rail = shape.Plain({120, 125, 135, 255});
    const GxReal depth = f.sizeZ / kSteps;
    for (GxInt32 i = 0; i < kSteps; i++) {
        const GxReal front = f.sizeZ * 0.5f - depth * static_cast<GxReal>(i);
        const GxReal top = kStoreyHeight * static_cast<GxReal>(i + 1) / kSteps;
        shape.Block(0, front - depth * 0.5f, f.sizeX * 0.5f - kPost * 2, depth * 0.5f, 0, top, stone);
        for (GxReal side : {-1.0f, 1.0f}) {
            shape.Block(side * (f.sizeX * 0.5f - kPost), front - depth * 0.5f, kPost, depth * 0.5f, 0, top + kRail,
                        rail);
        }
    }
    const GxInt32 back = f.Columns();
    // A lane along one row from the cell in front to the cell behind, on the stair surface in between.
    auto lane = [&](const char* name, GxInt32 row, bool up) {
        const GxReal x = CellCentre(f, row, 0).x, half = f.sizeZ * 0.5f;
        ContentSlotPath path{name, {}};
        for (GxReal z : {CellCentre(f, row, kFrontColumn).z, half - kEdgeStep, 0.0f, -half + kEdgeStep,
                         CellCentre(f, row, back).z}) {
            const GxReal y = kStoreyHeight * std::fmin(1.0f, std::fmax(0.0f, (half - z) / f.sizeZ));
            path.points.push_back({x, y, z});
        }
        if (!up) {
            std::reverse(path.points.begin(), path.points.end());
        }
        model->slots.push_back(path);
    };
    lane("up1", 0, true);
    lane("down1", 1, false);
    if (!shape.Finish()) {
        return false;
    }
    for (GxInt32 row = 0; row < f.Rows(); row++) {
        if (!AddDummy(model, FirstListPoint(f, row, kFrontColumn), "door_up") ||
            !AddDummy(model, SecondListPoint(f, row, back, kStoreyHeight), "door_down")) {
            return false;
        }
    }
    return true;
}

// The atrium: a fountain on the middle cell, the eight cells round it kept free ("free" dummies), and two
// benches at the back corners.
bool Atrium(ContentModel* model)
{
    const Footprint f{6, 6};
    Shape shape(model);
    const GxUInt16 stone = shape.Textured("atrium_stone", Grain({215, 210, 200, 255}, 35, 6, 0));
    const GxUInt16 water = shape.Plain({90, 150, 220, 200});
    const GxUInt16 wood = shape.Textured("atrium_wood", Grain({160, 110, 70, 255}, 36, 8, 6));
    const GxV3d middle = CellCentre(f, 1, 1);
    shape.Lathe(middle, {{0, 0}, {0.9f, 0}, {0.9f, 0.5f}, {0.75f, 0.5f}, {0.75f, 0.1f}, {0, 0.1f}}, kRoundSegments,
                stone);
    shape.Lathe(middle, {{0, 0.1f}, {0.75f, 0.1f}, {0.75f, 0.4f}, {0, 0.4f}}, kRoundSegments, water);
    shape.Lathe(middle, {{0, 0.4f}, {0.12f, 0.4f}, {0.08f, 1.4f}, {0.3f, 1.5f}, {0, 1.6f}}, kRoundSegments, stone);
    for (GxInt32 row : {0, 2}) {
        const GxV3d seat = CellCentre(f, row, 2);
        shape.Block(seat.x, seat.z - 0.4f, 0.8f, 0.25f, 0.35f, 0.45f, wood);
        shape.Block(seat.x, seat.z - 0.4f, 0.6f, 0.1f, 0, 0.35f, stone);
        model->slots.push_back(SlotInto(f, "seat_sit", {seat.x, 0, seat.z - 0.1f}));
    }
    if (!shape.Finish() || !AddDummy(model, FirstListPoint(f, f.EntranceRow(), kFrontColumn), "door")) {
        return false;
    }
    for (GxInt32 row = 0; row < f.Rows(); row++) {
        for (GxInt32 column = 0; column < f.Columns(); column++) {
            if ((row != 1 || column != 1) && !AddDummy(model, SecondListPoint(f, row, column), "free")) {
                return false;
            }
        }
    }
    return true;
}

// The mall door: a frame round two glass leaves (alpha 128) across the middle of its footprint. The door works
// out its entrances from its width, so it carries no dummy.
bool MallDoor(ContentModel* model)
{
    constexpr GxReal kHalfWidth = 2.0f, kHeight = 3.0f, kOpening = 2.4f, kFrame = 0.1f;
    Shape shape(model);
    const GxUInt16 frame = shape.Textured("door_frame", Grain({150, 155, 165, 255}, 37, 4, 4));
    const GxUInt16 glass = shape.Plain({170, 210, 235, 128});
    for (GxReal side : {-1.0f, 1.0f}) {
        shape.Block(side * (kHalfWidth - kFrame), 0, kFrame, kFrame * 1.5f, 0, kHeight, frame);
    }
    shape.Block(0, 0, kHalfWidth - kFrame * 2, kFrame * 1.5f, kOpening, kHeight, frame);
    shape.Block(0, 0, kFrame * 0.5f, kFrame, 0, kOpening, frame);
    for (GxReal side : {-1.0f, 1.0f}) {
        const GxReal leaf = (kHalfWidth - kFrame * 2.5f) * 0.5f;
        shape.Block(side * (kFrame * 0.5f + leaf), 0, leaf, 0.02f, 0, kOpening, glass);
    }
    return shape.Finish();
}

bool PlantPot(ContentModel* model)
{
    const Footprint f{2, 2};
    Shape shape(model);
    const GxUInt16 clay = shape.Textured("pot_clay", Grain({190, 95, 55, 255}, 38, 10, 0));
    const GxUInt16 leaves = shape.Textured("pot_leaves", Leaves());
    shape.Lathe({0, 0, 0}, {{0, 0}, {0.3f, 0}, {0.45f, 0.55f}, {0.5f, 0.6f}, {0, 0.6f}}, kRoundSegments, clay);
    shape.Lathe({0, 0, 0}, {{0, 0.55f}, {0.45f, 0.7f}, {0.6f, 1.0f}, {0.45f, 1.35f}, {0.15f, 1.55f}, {0, 1.6f}},
                kRoundSegments, leaves);
    return shape.Finish() && AddDummy(model, FirstListPoint(f, f.EntranceRow(), kFrontColumn), "door");
}

bool BigTree(ContentModel* model)
{
    const Footprint f{4, 4};
    Shape shape(model);
    const GxUInt16 planter = shape.Textured("tree_planter", Grain({170, 165, 155, 255}, 39, 8, 0));
    const GxUInt16 bark = shape.Textured("tree_bark", Grain({100, 70, 45, 255}, 40, 14, 3));
    const GxUInt16 leaves = shape.Textured("tree_leaves", Leaves());
    shape.Lathe({0, 0, 0}, {{0, 0}, {1.3f, 0}, {1.3f, 0.6f}, {0, 0.6f}}, kRoundSegments, planter);
    shape.Lathe({0, 0, 0}, {{0, 0.6f}, {0.2f, 0.6f}, {0.14f, 2.2f}, {0, 2.2f}}, kRoundSegments, bark);
    GxReal base = 1.6f;
    for (GxReal radius : {1.6f, 1.25f, 0.9f}) {
        shape.Lathe({0, 0, 0}, {{0, base}, {radius, base}, {0, base + 1.4f}}, kRoundSegments, leaves);
        base += 0.9f;
    }
    return shape.Finish() && AddDummy(model, FirstListPoint(f, f.EntranceRow(), kFrontColumn), "door");
}

bool Statue(ContentModel* model)
{
    const Footprint f{4, 4};
    Shape shape(model);
    const GxUInt16 stone = shape.Textured("statue_stone", Grain({200, 200, 190, 255}, 41, 8, 0));
    const GxUInt16 bronze = shape.Textured("statue_bronze", Grain({140, 110, 60, 255}, 42, 10, 0));
    shape.Block(0, 0, 1.2f, 1.2f, 0, 1.0f, stone);
    shape.Lathe(
        {0, 0, 0},
        {{0, 1.0f}, {0.35f, 1.0f}, {0.25f, 1.9f}, {0.4f, 2.4f}, {0.12f, 2.6f}, {0.2f, 2.8f}, {0.18f, 3.0f}, {0, 3.05f}},
        kRoundSegments, bronze);
    return shape.Finish() && AddDummy(model, FirstListPoint(f, f.EntranceRow(), kFrontColumn), "door");
}

// The landmarks: miniatures of each city's tower on a plinth, one entrance in front like every piece of scenery.
enum City {
    kLondon,
    kParis,
    kBerlin
};

bool Landmark(ContentModel* model, City city)
{
    const Footprint f{4, 4};
    Shape shape(model);
    const GxUInt16 plinth = shape.Textured("landmark_plinth", Grain({180, 180, 175, 255}, 43, 6, 0));
    shape.Block(0, 0, 1.5f, 1.5f, 0, 0.3f, plinth);
    switch (city) {
    case kLondon: {  // a grey clock tower with a red spire
        const GxUInt16 brick = shape.Textured("london_stone", Bricks({150, 150, 145, 255}, {200, 200, 195, 255}));
        const GxUInt16 red = shape.Plain({190, 30, 30, 255});
        const GxUInt16 face = shape.Plain({245, 240, 220, 255});
        shape.Block(0, 0, 0.45f, 0.45f, 0.3f, 3.6f, brick);
        shape.Block(0, 0, 0.55f, 0.55f, 3.6f, 4.5f, brick);
        shape.Box({0, 4.05f, 0.56f}, {0.3f, 0.3f, 0.02f}, face);
        shape.Block(0, 0, 0.35f, 0.35f, 0.3f, 0.9f, red);
        shape.Lathe({0, 0, 0}, {{0, 4.5f}, {0.75f, 4.5f}, {0, 5.8f}}, kSquareSegments, red, kSquareStart);
        break;
    }
    case kParis: {  // a cream lattice tower narrowing in three stages
        const GxUInt16 iron = shape.Textured("paris_lattice", Lattice({150, 120, 80, 255}, {235, 220, 185, 255}));
        shape.Lathe({0, 0, 0}, {{0, 0.3f}, {1.9f, 0.3f}, {0.9f, 1.8f}, {0, 1.8f}}, kSquareSegments, iron, kSquareStart);
        shape.Block(0, 0, 0.75f, 0.75f, 1.8f, 1.95f, iron);
        shape.Lathe({0, 0, 0}, {{0, 1.95f}, {0.8f, 1.95f}, {0.35f, 3.8f}, {0, 3.8f}}, kSquareSegments, iron,
                    kSquareStart);
        shape.Lathe({0, 0, 0}, {{0, 3.8f}, {0.35f, 3.8f}, {0.05f, 5.6f}, {0, 5.9f}}, kSquareSegments, iron,
                    kSquareStart);
        break;
    }
    case kBerlin: {  // a concrete needle with a sphere
        const GxUInt16 concrete = shape.Textured("berlin_concrete", Grain({175, 175, 170, 255}, 44, 10, 12));
        const GxUInt16 ball = shape.Plain({200, 205, 215, 255});
        const GxUInt16 red = shape.Plain({200, 40, 40, 255});
        shape.Lathe({0, 0, 0}, {{0, 0.3f}, {0.4f, 0.3f}, {0.22f, 3.4f}, {0, 3.4f}}, kRoundSegments, concrete);
        std::vector<Shape::Ring> sphere;
        constexpr GxInt32 kBands = 8;
        constexpr GxReal kRadius = 0.6f, kCentreY = 3.6f;
        for (GxInt32 i = 0; i <= kBands; i++) {
            const GxReal a = -kPi * 0.5f + kPi * static_cast<GxReal>(i) / kBands;
            sphere.push_back({kRadius * std::cos(a), kCentreY + kRadius * std::sin(a)});
        }
        sphere.front().radius = 0.0f;
        sphere.back().radius = 0.0f;
        shape.Lathe({0, 0, 0}, sphere, kRoundSegments, ball);
        shape.Lathe({0, 0, 0}, {{0, 4.2f}, {0.06f, 4.2f}, {0.02f, 5.8f}, {0, 5.8f}}, kRoundSegments, red);
        break;
    }
    }
    return shape.Finish() && AddDummy(model, FirstListPoint(f, f.EntranceRow(), kFrontColumn), "door");
}

}  // namespace

// ---- 5. the list ----

void ContentAddBuildingRecipes(RecipeList* list)
{
    for (const ShopKind& kind : kShopKinds) {
        for (const ShopSize& size : kShopSizes) {
            list->emplace_back(std::string("./models/shops/") + kind.stem + "_" + size.suffix + ".gxs",
                               [&kind, &size](ContentModel* m) { return Shop(m, kind, size); });
        }
    }
    list->emplace_back("./models/facilities/atm.gxs", CashMachine);
    list->emplace_back("./models/facilities/toilet.gxs", Toilets);
    list->emplace_back("./models/facilities/seats.gxs", Seats);
    list->emplace_back("./models/facilities/phone.gxs", Phone);
    list->emplace_back("./models/structure/stairs.gxs", Stairs);
    list->emplace_back("./models/structure/atrium.gxs", Atrium);
    list->emplace_back("./models/structure/door.gxs", MallDoor);
    list->emplace_back("./models/scenery/plant_pot.gxs", PlantPot);
    list->emplace_back("./models/scenery/tree_big.gxs", BigTree);
    list->emplace_back("./models/scenery/statue.gxs", Statue);
    list->emplace_back("./models/scenery/london/landmark.gxs", [](ContentModel* m) { return Landmark(m, kLondon); });
    list->emplace_back("./models/scenery/paris/landmark.gxs", [](ContentModel* m) { return Landmark(m, kParis); });
    list->emplace_back("./models/scenery/berlin/landmark.gxs", [](ContentModel* m) { return Landmark(m, kBerlin); });
}
