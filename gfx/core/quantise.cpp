// Palette quantiser (a colour tree split into variance-driven boxes) and the box-filter resampler of 32-bit images.
#include <cstring>

#include "gfx/core/assert.h"
#include "gfx/core/core_local.h"
#include "gfx/core/image.h"
#include "gfx/core/memory.h"

struct GxPaletteQuantizerNode {
    GxPaletteQuantizerMoments moments;
    GxPaletteQuantizerNode* children[16];
};

namespace {

constexpr GxUInt32 kNodeHint = 0x30411;
constexpr GxInt32 kNodesPerBlock = 1024;
constexpr GxInt32 kLeafLevel = 6;
constexpr GxInt32 kLatticeSize = 64;
constexpr float kByteScale = 1.0f / 255.0f;
// Perceptual channel weights and their inverses.
constexpr float kWeights[4] = {0.5093697f, 1.0f, 0.19420783f, 1.0f};
constexpr float kInverseWeights[4] = {1.9632107f, 1.0f, 5.1491227f, 1.0f};

GxUInt32 spreadTable[kLatticeSize];

void BuildSpreadTable()
{
    for (GxUInt32 v = 0; v < kLatticeSize; ++v) {
        GxUInt32 spread = 0;
        for (GxUInt32 i = 0; i < 6; ++i) {
            spread |= ((v >> i) & 1u) << (4 * (5 - i));
        }
        spreadTable[v] = spread;
    }
}

GxUInt32 ColourKey(const GxRGBA& c)
{
    return ((spreadTable[c.red >> 2] * 2 | spreadTable[c.green >> 2]) * 2 | spreadTable[c.blue >> 2]) * 2 |
           spreadTable[c.alpha >> 2];
}

GxPaletteQuantizerNode* NewNode(GxPaletteQuantizer* q)
{
    auto* node = static_cast<GxPaletteQuantizerNode*>(GxFreeListAllocEntry(q->nodeFreeList, kNodeHint));
    if (!node) {
        GxErrorRaise(gxPLUGINCORE, gxERRNOMEMORY);
        return nullptr;
    }
    memset(node, 0, sizeof(*node));
    return node;
}

void FreeNodes(GxPaletteQuantizer* q, GxPaletteQuantizerNode* node)
{
    for (GxPaletteQuantizerNode* child : node->children) {
        if (child) {
            FreeNodes(q, child);
        }
    }
    GxFreeListFreeEntry(q->nodeFreeList, node);
}

// A node the free list can not give leaves the quantiser without its tree: the palette and the match that follow
// do nothing, so no pixel is matched to a leaf that was never made.
void DropTree(GxPaletteQuantizer* q)
{
    FreeNodes(q, q->root);
    q->root = nullptr;
}

bool AddColour(GxPaletteQuantizer* q, const GxRGBA& c, float weight)
{
    GxUInt32 key = ColourKey(c);
    GxPaletteQuantizerNode* node = q->root;
    for (GxInt32 level = 0; level < kLeafLevel; ++level, key >>= 4) {
        GxPaletteQuantizerNode*& child = node->children[key & 15];
        if (!child && !(child = NewNode(q))) {
            return false;
        }
        node = child;
    }
    const GxUInt8 bytes[4] = {c.red, c.green, c.blue, c.alpha};
    GxPaletteQuantizerMoments& m = node->moments;
    m.weight += weight;
    for (GxInt32 ch = 0; ch < 4; ++ch) {
        const float v = static_cast<float>(bytes[ch] & 3) * kByteScale * kWeights[ch];
        m.sum[ch] += weight * v;
        m.variance += weight * v * v;
    }
    return true;
}

// Calls `visit` with the colour of every pixel of a 4-, 8- or 32-bit image.
template <typename Visit>
void ForEachPixel(const GxImage* image, Visit visit)
{
    const bool palettised = (image->depth == 4 || image->depth == 8) && image->palette;
    if ((!palettised && image->depth != 32) || !image->pixels) {
        return;
    }
    for (GxInt32 y = 0; y < image->height; ++y) {
        const GxUInt8* row = image->pixels + static_cast<size_t>(y) * image->stride;
        for (GxInt32 x = 0; x < image->width; ++x) {
            if (palettised) {
                visit(x, y, image->palette[row[x] & ((1 << image->depth) - 1)]);
            } else {
                visit(x, y, GxRGBA{row[4 * x], row[4 * x + 1], row[4 * x + 2], row[4 * x + 3]});
            }
        }
    }
}

// The squared distance term between two groups' means, weighted for merging.
float BetweenTerm(const GxPaletteQuantizerMoments& a, const GxPaletteQuantizerMoments& b)
{
    float distance = 0.0f;
    for (GxInt32 ch = 0; ch < 4; ++ch) {
        const float d = a.sum[ch] / a.weight - b.sum[ch] / b.weight;
        distance += d * d;
    }
    return distance / (1.0f / a.weight + 1.0f / b.weight);
}

void Merge(GxPaletteQuantizerMoments* d, const GxPaletteQuantizerMoments& a, const GxPaletteQuantizerMoments& b)
{
    GxPaletteQuantizerMoments out = a;
    out.variance = a.variance + b.variance;
    if (a.weight > 0.0f && b.weight > 0.0f) {
        out.variance += BetweenTerm(a, b);
    }
    for (GxInt32 ch = 0; ch < 4; ++ch) {
        out.sum[ch] = a.sum[ch] + b.sum[ch];
    }
    out.weight = a.weight + b.weight;
    *d = out;
}

// Lattice origin (6-bit units) of a child cube of a node at `level`.
void ChildOrigin(const GxInt32 origin[4], GxInt32 level, GxInt32 index, GxInt32 out[4])
{
    const GxInt32 half = (kLatticeSize >> level) >> 1;
    for (GxInt32 ch = 0; ch < 4; ++ch) {
        out[ch] = origin[ch] + ((index >> (3 - ch)) & 1) * half;
    }
}

// Turns the added low-bit statistics into statistics of full colours.
void Prepare(GxPaletteQuantizerNode* node, GxInt32 level, const GxInt32 origin[4])
{
    GxPaletteQuantizerMoments& m = node->moments;
    if (level == kLeafLevel) {
        if (m.weight > 0.0f) {
            const float squares = m.sum[0] * m.sum[0] + m.sum[1] * m.sum[1] + m.sum[2] * m.sum[2] + m.sum[3] * m.sum[3];
            m.variance -= squares / m.weight;
        }
        if (m.variance < 0.0f) {
            m.variance = 0.0f;
        }
        for (GxInt32 ch = 0; ch < 4; ++ch) {
            m.sum[ch] += static_cast<float>(origin[ch] << 2) * kByteScale * kWeights[ch] * m.weight;
        }
        return;
    }
    m = GxPaletteQuantizerMoments{};
    for (GxInt32 i = 0; i < 16; ++i) {
        if (GxPaletteQuantizerNode* child = node->children[i]) {
            GxInt32 childOrigin[4];
            ChildOrigin(origin, level, i, childOrigin);
            Prepare(child, level + 1, childOrigin);
            Merge(&m, m, child->moments);
        }
    }
}

GxInt32 CountLeaves(const GxPaletteQuantizerNode* node, GxInt32 level)
{
    if (level == kLeafLevel) {
        return 1;
    }
    GxInt32 count = 0;
    for (const GxPaletteQuantizerNode* child : node->children) {
        if (child) {
            count += CountLeaves(child, level + 1);
        }
    }
    return count;
}

void StatisticsColour(const GxPaletteQuantizerMoments& m, GxRGBA* colour)
{
    GxUInt8 bytes[4] = {0, 0, 0, 0};
    if (m.weight > 0.0f) {
        const float scale = 1.0f / m.weight;
        for (GxInt32 ch = 0; ch < 4; ++ch) {
            const float v = m.sum[ch] * scale * kInverseWeights[ch] * 255.99f;
            bytes[ch] = v >= 255.0f ? 255 : (v > 0.0f ? static_cast<GxUInt8>(static_cast<GxInt32>(v)) : 0);
        }
    }
    *colour = GxRGBA{bytes[0], bytes[1], bytes[2], bytes[3]};
}

// Leaves numbered depth-first from `next`, each with its own palette entry.
void NumberLeaves(GxPaletteQuantizerNode* node, GxInt32 level, GxInt32* next, GxRGBA* palette)
{
    if (level == kLeafLevel) {
        node->moments.index = static_cast<GxUInt8>(*next);
        StatisticsColour(node->moments, &palette[*next]);
        ++*next;
        return;
    }
    for (GxPaletteQuantizerNode* child : node->children) {
        if (child) {
            NumberLeaves(child, level + 1, next, palette);
        }
    }
}

enum class Overlap {
    None,
    Partial,
    Whole
};

Overlap CubeOverlap(const GxInt32 origin[4], GxInt32 level, const GxPaletteQuantizerBox& box)
{
    const GxInt32 side = kLatticeSize >> level;
    bool whole = true;
    for (GxInt32 ch = 0; ch < 4; ++ch) {
        const GxInt32 lo = origin[ch], hi = origin[ch] + side;
        if (hi <= box.lower[ch] || lo >= box.upper[ch]) {
            return Overlap::None;
        }
        whole = whole && lo >= box.lower[ch] && hi <= box.upper[ch];
    }
    return whole ? Overlap::Whole : Overlap::Partial;
}

void GatherBox(const GxPaletteQuantizerNode* node, GxInt32 level, const GxInt32 origin[4],
               const GxPaletteQuantizerBox& box, GxPaletteQuantizerMoments* out)
{
    switch (CubeOverlap(origin, level, box)) {
    case Overlap::None:
        return;
    case Overlap::Whole:
        Merge(out, *out, node->moments);
        return;
    case Overlap::Partial:
        break;
    }
    for (GxInt32 i = 0; i < 16; ++i) {
        if (const GxPaletteQuantizerNode* child = node->children[i]) {
            GxInt32 childOrigin[4];
            ChildOrigin(origin, level, i, childOrigin);
            GatherBox(child, level + 1, childOrigin, box, out);
        }
    }
}

GxPaletteQuantizerMoments BoxStatistics(const GxPaletteQuantizer* q, const GxPaletteQuantizerBox& box)
{
    GxPaletteQuantizerMoments m{};
    const GxInt32 origin[4] = {0, 0, 0, 0};
    GatherBox(q->root, 0, origin, box, &m);
    return m;
}

void LabelBox(GxPaletteQuantizerNode* node, GxInt32 level, const GxInt32 origin[4], const GxPaletteQuantizerBox& box,
              GxUInt8 index)
{
    if (CubeOverlap(origin, level, box) == Overlap::None) {
        return;
    }
    if (level == kLeafLevel) {
        node->moments.index = index;
        return;
    }
    for (GxInt32 i = 0; i < 16; ++i) {
        if (GxPaletteQuantizerNode* child = node->children[i]) {
            GxInt32 childOrigin[4];
            ChildOrigin(origin, level, i, childOrigin);
            LabelBox(child, level + 1, childOrigin, box, index);
        }
    }
}

struct Cut {
    float variance;
    GxInt32 position;  // -1: no cut improves the box
};

Cut FindCut(const GxPaletteQuantizer* q, const GxPaletteQuantizerBox& box, const GxPaletteQuantizerMoments& total,
            GxInt32 axis)
{
    Cut best = {total.variance, -1};
    GxInt32 lo = box.lower[axis], hi = box.upper[axis];
    // Subtraction leaves rounding dust where a part is really empty.
    const float emptyWeight = total.weight * 1e-6f;
    while (hi - lo > 1) {
        const GxInt32 mid = lo + (hi - lo) / 2;
        GxPaletteQuantizerBox lowerBox = box;
        lowerBox.upper[axis] = mid;
        const GxPaletteQuantizerMoments lower = BoxStatistics(q, lowerBox);
        GxPaletteQuantizerMoments upper = total;
        upper.weight = total.weight - lower.weight;
        for (GxInt32 ch = 0; ch < 4; ++ch) {
            upper.sum[ch] = total.sum[ch] - lower.sum[ch];
        }
        upper.variance = total.variance - lower.variance;
        if (lower.weight <= emptyWeight) {
            lo = mid;
            continue;
        }
        if (upper.weight <= emptyWeight) {
            hi = mid;
            continue;
        }
        upper.variance -= BetweenTerm(lower, upper);
        if (lower.variance + upper.variance < best.variance) {
            best = {lower.variance + upper.variance, mid};
        }
        if (lower.variance < upper.variance) {
            lo = mid;
        } else {
            hi = mid;
        }
    }
    return best;
}

void RefreshBox(GxPaletteQuantizer* q, GxInt32 i)
{
    q->boxMoments[i] = BoxStatistics(q, q->boxes[i]);
    q->boxVariance[i] = q->boxMoments[i].variance;
}

// Splits boxes until there are n of them or none can be improved; returns how many exist.
GxInt32 SplitBoxes(GxPaletteQuantizer* q, GxInt32 n)
{
    GxPaletteQuantizerBox& whole = q->boxes[0];
    for (GxInt32 ch = 0; ch < 4; ++ch) {
        whole.lower[ch] = 0;
        whole.upper[ch] = kLatticeSize;
    }
    RefreshBox(q, 0);
    GxInt32 count = 1;
    while (count < n) {
        GxInt32 chosen = -1;
        for (GxInt32 i = 0; i < count; ++i) {
            if (q->boxVariance[i] > 0.0f && (chosen < 0 || q->boxVariance[i] > q->boxVariance[chosen])) {
                chosen = i;
            }
        }
        if (chosen < 0) {
            break;
        }
        Cut best = {0.0f, -1};
        GxInt32 bestAxis = -1;
        for (GxInt32 axis = 0; axis < 4; ++axis) {
            const Cut cut = FindCut(q, q->boxes[chosen], q->boxMoments[chosen], axis);
            if (bestAxis < 0 || cut.variance < best.variance) {
                best = cut;
                bestAxis = axis;
            }
        }
        if (best.position < 0 || !(best.variance < q->boxVariance[chosen])) {
            q->boxVariance[chosen] = 0.0f;
            continue;
        }
        q->boxes[count] = q->boxes[chosen];
        q->boxes[count].lower[bestAxis] = best.position;
        q->boxes[chosen].upper[bestAxis] = best.position;
        RefreshBox(q, chosen);
        RefreshBox(q, count);
        ++count;
    }
    return count;
}

// Overlap, in 16.16 units, of source pixel p with the interval [start, start + length).
float Coverage(GxInt32 p, int64_t start, int64_t length)
{
    const int64_t lo = static_cast<int64_t>(p) << 16;
    const int64_t hi = lo + 65536;
    const int64_t from = start > lo ? start : lo;
    const int64_t to = start + length < hi ? start + length : hi;
    return static_cast<float>(to - from);
}

GxInt32 Step(GxInt32 source, GxInt32 destination)
{
    return static_cast<GxInt32>(static_cast<float>(source) / static_cast<float>(destination) * 65536.0f);
}

}  // namespace

GxBool GxPaletteQuantizerInit(GxPaletteQuantizer* quantizer)
{
    BuildSpreadTable();
    quantizer->root = nullptr;
    quantizer->nodeFreeList =
        GxFreeListCreate(sizeof(GxPaletteQuantizerNode), kNodesPerBlock, alignof(GxPaletteQuantizerNode), kNodeHint);
    if (!quantizer->nodeFreeList) {
        GxErrorRaise(gxPLUGINCORE, gxERRNOMEMORY);
        return 0;
    }
    quantizer->root = NewNode(quantizer);
    if (!quantizer->root) {
        GxFreeListDestroy(quantizer->nodeFreeList);
        quantizer->nodeFreeList = nullptr;
        return 0;
    }
    return 1;
}

void GxPaletteQuantizerTerm(GxPaletteQuantizer* quantizer)
{
    if (quantizer->root) {
        FreeNodes(quantizer, quantizer->root);
        quantizer->root = nullptr;
    }
    if (quantizer->nodeFreeList) {
        GxFreeListDestroy(quantizer->nodeFreeList);
        quantizer->nodeFreeList = nullptr;
    }
}

void GxPaletteQuantizerAddImage(GxPaletteQuantizer* quantizer, const GxImage* image, GxReal weight)
{
    GX_ASSERT(image != nullptr, "an image to add");
    ForEachPixel(image, [&](GxInt32, GxInt32, const GxRGBA& c) {
        if (quantizer->root && !AddColour(quantizer, c, weight)) {
            DropTree(quantizer);
        }
    });
}

GxInt32 GxPaletteQuantizerMakePalette(GxRGBA* palette, GxInt32 numEntries, GxPaletteQuantizer* quantizer)
{
    GX_ASSERT(palette != nullptr && numEntries > 0, "a palette of at least one entry");
    if (!quantizer->root) {
        return 0;
    }
    const GxInt32 n = numEntries < gxPALETTEQUANTIZERMAXBOXES ? numEntries : gxPALETTEQUANTIZERMAXBOXES;
    const GxInt32 origin[4] = {0, 0, 0, 0};
    Prepare(quantizer->root, 0, origin);
    memset(palette, 0, sizeof(GxRGBA) * static_cast<size_t>(n));
    const GxInt32 leaves = CountLeaves(quantizer->root, 0);
    if (leaves <= n) {
        GxInt32 next = 0;
        NumberLeaves(quantizer->root, 0, &next, palette);
        return leaves;
    }
    const GxInt32 boxes = SplitBoxes(quantizer, n);
    for (GxInt32 i = 0; i < boxes; ++i) {
        LabelBox(quantizer->root, 0, origin, quantizer->boxes[i], static_cast<GxUInt8>(i));
        StatisticsColour(quantizer->boxMoments[i], &palette[i]);
    }
    return n;
}

void GxPaletteQuantizerMatchImage(GxUInt8* pixels, GxInt32 stride, GxInt32 depth, GxBool packed,
                                  GxPaletteQuantizer* quantizer, const GxImage* image)
{
    GX_ASSERT(pixels != nullptr && image != nullptr, "pixels to write and an image to match");
    if (!quantizer->root) {
        return;
    }
    const bool twoPerByte = depth == 4 && packed;
    ForEachPixel(image, [&](GxInt32 x, GxInt32 y, const GxRGBA& c) {
        GxUInt32 key = ColourKey(c);
        const GxPaletteQuantizerNode* node = quantizer->root;
        for (GxInt32 level = 0; level < kLeafLevel; ++level, key >>= 4) {
            node = node->children[key & 15];
            GX_ASSERT(node != nullptr, "only colours added to the quantiser are matched");
        }
        const GxUInt8 index = node->moments.index;
        GxUInt8* row = pixels + static_cast<size_t>(y) * stride;
        if (!twoPerByte) {
            row[x] = index;
        } else if ((x & 1) == 0) {
            row[x >> 1] = index & 0x0F;
        } else {
            row[x >> 1] = static_cast<GxUInt8>((row[x >> 1] & 0x0F) | (index << 4));
        }
    });
}

GxImage* GxImageResample(GxImage* destination, const GxImage* source)
{
    GX_ASSERT(destination && source && destination->pixels && source->pixels, "two allocated images");
    if (destination->depth != 32 || source->depth != 32 || destination->width <= 0 || destination->height <= 0 ||
        source->width <= 0 || source->height <= 0) {
        GxErrorRaise(gxPLUGINCORE, gxERRUNSUPPORTED);
        return nullptr;
    }
    destination->flags |= source->flags & gxIMAGEGAMMASET;
    const GxInt32 stepX = Step(source->width, destination->width);
    const GxInt32 stepY = Step(source->height, destination->height);
    const float area = static_cast<float>(stepX) * static_cast<float>(stepY);
    for (GxInt32 y = 0; y < destination->height; ++y) {
        const int64_t startY = static_cast<int64_t>(y) * stepY;
        const GxInt32 firstRow = static_cast<GxInt32>(startY >> 16);
        GxInt32 lastRow = static_cast<GxInt32>((startY + stepY - 1) >> 16);
        lastRow = lastRow < source->height ? lastRow : source->height - 1;
        GxUInt8* out = destination->pixels + static_cast<size_t>(y) * destination->stride;
        for (GxInt32 x = 0; x < destination->width; ++x) {
            const int64_t startX = static_cast<int64_t>(x) * stepX;
            const GxInt32 firstColumn = static_cast<GxInt32>(startX >> 16);
            GxInt32 lastColumn = static_cast<GxInt32>((startX + stepX - 1) >> 16);
            lastColumn = lastColumn < source->width ? lastColumn : source->width - 1;
            float sums[4] = {0.0f, 0.0f, 0.0f, 0.0f};
            for (GxInt32 sy = firstRow; sy <= lastRow; ++sy) {
                const float wy = Coverage(sy, startY, stepY);
                const GxUInt8* row = source->pixels + static_cast<size_t>(sy) * source->stride;
                for (GxInt32 sx = firstColumn; sx <= lastColumn; ++sx) {
                    const float w = wy * Coverage(sx, startX, stepX);
                    for (GxInt32 ch = 0; ch < 4; ++ch) {
                        sums[ch] += w * (static_cast<float>(row[4 * sx + ch]) * kByteScale);
                    }
                }
            }
            for (GxInt32 ch = 0; ch < 4; ++ch) {
                const float v = sums[ch] / area * 255.0f + 0.5f;
                out[4 * x + ch] = static_cast<GxUInt8>(static_cast<GxInt32>(v));
            }
        }
    }
    return destination;
}

GxImage* GxImageCreateResample(const GxImage* image, GxInt32 width, GxInt32 height)
{
    GX_ASSERT(image != nullptr, "an image to resample");
    GxImage* result = GxImageCreate(width, height, 32);
    if (!result) {
        return nullptr;
    }
    if (!GxImageAllocatePixels(result)) {
        GxImageDestroy(result);
        return nullptr;
    }
    const GxImage* source = image;
    GxImage* widened = nullptr;
    if (image->depth != 32) {
        widened = GxImageCreate(image->width, image->height, 32);
        if (!widened || !GxImageAllocatePixels(widened) || !GxImageCopy(widened, image)) {
            if (widened) {
                GxImageDestroy(widened);
            }
            GxImageDestroy(result);
            return nullptr;
        }
        source = widened;
    }
    GxImage* done = GxImageResample(result, source);
    if (widened) {
        GxImageDestroy(widened);
    }
    if (!done) {
        GxImageDestroy(result);
    }
    return done;
}
