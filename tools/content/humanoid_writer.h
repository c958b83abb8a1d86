// Writes the skinned humanoid: a skeleton of 17 bones carrying the hierarchy, one skinned body atomic built from
// boxes, the standard-scheme animations (pause, walk, work, sit, give up) and the character model file.
// Needs the world objects, the level-of-detail, user-data, hierarchy and skin plugins.
#pragma once

#include <string>
#include <vector>

#include "gfx/anim/anim.h"
#include "gfx/world/clump.h"

constexpr GxInt32 CONTENTHUMANOIDBONES = 17;

// Colours of the body's materials (skin, shirt, trousers, shoes, hair).
struct ContentHumanoidPlan {
    GxRGBA skin;
    GxRGBA shirt;
    GxRGBA trousers;
    GxRGBA shoes;
    GxRGBA hair;
};

// The skeleton's nodes, depth first, with the push/pop flags their tree shape gives.
void ContentHumanoidNodes(GxInt32 ids[CONTENTHUMANOIDBONES], GxInt32 flags[CONTENTHUMANOIDBONES]);

// The clump: root frame, the bone frames under it (the hips frame holding the hierarchy) and the body atomic,
// whose skin's skin-to-bone matrices are the inverse bind-pose world matrices. The atomic's level-of-detail
// record holds a far body of fewer boxes (same skeleton, same material tags) at level 2. Null on failure.
GxClump* ContentHumanoidCreate(const ContentHumanoidPlan& plan);

// One animation of the humanoid by name ("pause", "walk", "work", "sit", "giveup"); null for other names.
GxAnimation* ContentHumanoidAnimation(const std::string& name);
const std::vector<std::string>& ContentHumanoidAnimationNames(void);

// The character file: table of contents, images dictionary, clump, then one group "hum_<name>" per animation.
bool ContentHumanoidFileWrite(const char* fileName, const ContentHumanoidPlan& plan);
