// Internals shared by the world, its world-object module and collision: registries, rights and tree walks.
#pragma once

#include "gfx/world/world.h"
#include "gfx/world/world_local.h"

extern GxPluginRegistry gxWorldTKList;
extern GxPluginRegistry gxWorldSectorTKList;
extern GxRightsRecord gxWorldPendingRights;
extern GxRightsRecord gxSectorPendingRights;

// True while the world is in the engine's world list (not yet destroyed).
bool GxWorldIsListed(const GxWorld* world);
// The world-object module (0x509): its engine block, extensions and stream registrations.
GxBool GxWorldObjectPluginAttach(void);
// Raised by every world camera's begin update.
void GxWorldBumpRenderFrame(void);
// Frees every tie of the sector (the tied atomics and lights stay in the world).
void GxWorldSectorRemoveAllTies(GxWorldSector* sector);

inline bool GxSectorIsAtomic(const GxSector* sector) { return sector->type < 0; }
inline GxWorldSector* GxSectorAsAtomic(GxSector* sector) { return reinterpret_cast<GxWorldSector*>(sector); }
inline GxPlaneSector* GxSectorAsPlane(GxSector* sector) { return reinterpret_cast<GxPlaneSector*>(sector); }
// A vector's component by a plane type (its byte offset).
inline GxReal GxV3dAxis(const GxV3d& v, GxInt32 type) { return type == 0 ? v.x : (type == 4 ? v.y : v.z); }
inline GxReal* GxV3dAxisRef(GxV3d* v, GxInt32 type) { return type == 0 ? &v->x : (type == 4 ? &v->y : &v->z); }

// How a walk treats a box that touches a split value: queries take both sides; ties take a side only when the
// box reaches strictly past the value, so a touching object sits in one sector.
enum class GxSplitTouch {
    kBothSides,
    kOneSide
};

// Told nothing of the splits a walk compares the box against.
struct GxIgnoreSplits {
    void operator()(GxInt32, GxReal, bool, GxReal, bool) const {}
};

// Visits every atomic sector whose box a query box reaches, with the stack every walk uses: a tie walk stops at a
// split the box reaches past neither bound, a query goes left there. The callback returns false to stop. `split` hears each plane compared: its axis, left value and whether the box's minimum
// took the left side, its right value and whether the box's maximum took the right side.
template <typename Visit, typename Split = GxIgnoreSplits>
void GxWorldForSectorsInBox(GxWorld* world, const GxBBox& box, Visit visit,
                            GxSplitTouch touch = GxSplitTouch::kBothSides, Split split = Split{})
{
    const bool strict = touch == GxSplitTouch::kOneSide;
    GxSector* stack[gxWORLDSTACKDEPTH];
    GxInt32 top = 0;
    GxSector* node = world->rootSector;
    while (node) {
        if (GxSectorIsAtomic(node)) {
            if (!visit(GxSectorAsAtomic(node))) {
                return;
            }
            node = top > 0 ? stack[--top] : nullptr;
            continue;
        }
        GxPlaneSector* plane = GxSectorAsPlane(node);
        const GxReal inf = GxV3dAxis(box.inf, plane->type);
        const GxReal sup = GxV3dAxis(box.sup, plane->type);
        const bool left = strict ? inf < plane->leftValue : inf <= plane->leftValue;
        const bool right = strict ? sup > plane->rightValue : sup >= plane->rightValue;
        split(plane->type, plane->leftValue, left, plane->rightValue, right);
        if (left && right && top < gxWORLDSTACKDEPTH) {
            stack[top++] = plane->rightSubTree;
            node = plane->leftSubTree;
        } else if (left) {
            node = plane->leftSubTree;
        } else if (right) {
            node = plane->rightSubTree;
        } else if (!strict) {
            // Queries take the left side of a split whose right side the box does not reach.
            node = plane->leftSubTree;
        } else {
            node = top > 0 ? stack[--top] : nullptr;
        }
    }
}
