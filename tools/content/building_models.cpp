// Building models: shop units, facilities, stairs, atrium, mall door, scenery and the city landmarks.
//
//   1. footprint: cell centres and the dummy points that the entrance rules turn back into wanted cells
//   2. pictures and the shape builder (boxes and lathe solids)
//   3. recipes
//   4. the list
#include "tools/content/building_models.h"

#include <algorithm>
#include <cmath>

#include "gfx/core/image.h"
#include "gfx/core/raster.h"
#include "gfx/core/texture.h"
#include "tools/content/clump_writer.h"
#include "tools/content/font_writer.h"

namespace {

using namespace content_parts;

// ---- 1. footprint ----

constexpr GxReal kStoreyHeight = 4.0f;  // the floor above, where stairs arrive
constexpr GxInt32 kFrontColumn = -1;    // entrances lie on the cell in front of the footprint's +z edge
constexpr GxReal kEdgeStep = 0.5f;      // a slot path's second point lies this far inside the front edge

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

// ---- 3. recipes ----

struct ShopKind {
    const char* stem;
    const char* label;  // baked into the sign
    GxRGBA colour;
};

const ShopKind kShopKinds[] = {
    {"fashion", "FASHION", {220, 40, 120, 255}}, {"electric", "ELECTRIC", {40, 120, 220, 255}},
    {"leisure", "LEISURE", {240, 170, 30, 255}}, {"home", "HOME", {150, 100, 60, 255}},
    {"health", "HEALTH", {60, 180, 120, 255}},   {"food", "FOOD", {220, 80, 40, 255}},
};

struct ShopSize {
    const char* suffix;
    GxReal size;
    // Where the users stand, one spot per slot: along the side walls and the back.
    std::vector<std::pair<GxInt32, GxInt32>> spots;
};

const ShopSize kShopSizes[] = {
    {"small", 6.0f, {{0, 1}, {2, 1}, {1, 2}}},
    {"large", 8.0f, {{0, 1}, {3, 1}, {0, 3}, {3, 3}, {2, 3}}},
};

constexpr GxInt32 kSignSize = 128;
const char* const kSignFont = "figures";  // the interface's bold face
const GxRGBA kShopWalls = {235, 230, 220, 255};

// The sign's lettering, rasterised once for every shop.
const ContentFontPage* SignFont()
{
    static const ContentFontPage* page = [] {
        static ContentFontPage rasterised;
        std::string ignored;
        for (const ContentFontSpec& spec : ContentInterfaceFonts()) {
            if (std::string(spec.name) == kSignFont && ContentFontRasterise(spec, &rasterised, &ignored)) {
                return &rasterised;
            }
        }
        return static_cast<ContentFontPage*>(nullptr);
    }();
    return page;
}

constexpr GxReal kLetterHeight = 0.7f;  // of the awning's height

// The sign picture: the kind's colour band with its label in white across the middle. The picture covers the
// whole awning front, so the letters are drawn squeezed by the awning's proportions and come out upright there.
// Null when the font or a glyph is missing or the label does not fit.
GxImage* SignImage(const ShopKind& kind, GxReal awningWidth)
{
    const ContentFontPage* font = SignFont();
    std::vector<const ContentFontGlyph*> glyphs;
    GxInt32 cells = 0, cellHeight = 0;
    for (const char* c = kind.label; font && *c; c++) {
        for (const ContentFontGlyph& glyph : font->glyphs) {
            if (glyph.code == static_cast<unsigned char>(*c)) {
                glyphs.push_back(&glyph);
                cells += glyph.right - glyph.left;
                cellHeight = glyph.bottom - glyph.top;
            }
        }
    }
    if (!font || glyphs.size() != std::string(kind.label).size() || cellHeight <= 0) {
        return nullptr;
    }
    const GxReal scaleY = kLetterHeight * kSignSize / static_cast<GxReal>(cellHeight);
    const GxReal scaleX = scaleY * kContentAwningHeight / awningWidth;
    const auto width = static_cast<GxInt32>(static_cast<GxReal>(cells) * scaleX);
    const auto height = static_cast<GxInt32>(static_cast<GxReal>(cellHeight) * scaleY);
    GxImage* image = width <= kSignSize && height <= kSignSize ? ContentSignImage(kSignSize, kind.colour) : nullptr;
    if (!image) {
        return nullptr;
    }
    const GxInt32 left = (kSignSize - width) / 2, top = (kSignSize - height) / 2;
    for (GxInt32 y = 0; y < height; y++) {
        for (GxInt32 x = 0; x < width; x++) {
            // Nearest sample of the label's run of cells.
            GxInt32 along = static_cast<GxInt32>(static_cast<GxReal>(x) / scaleX);
            size_t g = 0;
            while (g + 1 < glyphs.size() && along >= glyphs[g]->right - glyphs[g]->left) {
                along -= glyphs[g]->right - glyphs[g]->left;
                g++;
            }
            const GxInt32 gx = glyphs[g]->left + along;
            const GxInt32 gy = glyphs[g]->top + static_cast<GxInt32>(static_cast<GxReal>(y) / scaleY);
            if (gx >= glyphs[g]->right || gy >= glyphs[g]->bottom) {
                continue;
            }
            const GxUInt32 cover = font->rgba[static_cast<size_t>((gy * font->size + gx) * 4 + 3)];
            GxUInt8* out = image->pixels + (top + y) * image->stride + (left + x) * 4;
            for (GxInt32 channel = 0; channel < 3; channel++) {
                out[channel] = static_cast<GxUInt8>((out[channel] * (255 - cover) + 255 * cover) / 255);
            }
            out[3] = static_cast<GxUInt8>(out[3] > cover ? out[3] : cover);
        }
    }
    return image;
}

// A shop unit in its kind's colour, one "shop_pause" slot per spot.
bool Shop(ContentModel* model, const ShopKind& kind, const ShopSize& size)
{
    const std::string sign = std::string(kind.stem) + "_sign";
    GxTexture* texture = ModelTexture(model, sign, SignImage(kind, size.size), kSignSize);
    if (!texture) {
        return false;
    }
    model->clump = ContentShopUnitCreate(ContentShopUnitPlan{size.size, size.size, kShopWalls, texture});
    GxTextureDestroy(texture);
    const Footprint f{size.size, size.size};
    for (const auto& spot : size.spots) {
        model->slots.push_back(SlotInto(f, "shop_pause", CellCentre(f, spot.first, spot.second)));
    }
    return model->clump != nullptr;
}

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

// ---- 4. the list ----

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
