// Effect content: the fire and flies particle pictures under images/particles/, and the level's UV animation (a
// dictionary written before the world and the material slot that plays it).
#pragma once

#include <cstdint>
#include <string>

#include "gfx/fx/fx.h"
#include "gfx/testsupport/png_writer.h"

struct GxMaterial;
struct GxStream;

constexpr uint32_t kContentParticleSize = 32;
// The level's animation: its name, how long one loop lasts and how far it moves the texture in that time.
extern const char* const kContentLevelAnimationName;
constexpr float kContentLevelAnimationSeconds = 8.0f;
constexpr float kContentLevelAnimationShift = 1.0f;

// An orange radial gradient, its alpha falling from full at the centre to none at the rim.
ContentPngImage ContentFireImage();
// A few dark flies on black (RGB), and their grey mask: white where a fly is, black elsewhere.
ContentPngImage ContentFliesImage();
ContentPngImage ContentFliesMask();

// Writes fire.png, flies.png and fliesm.png into root/images/particles/. Needs a started engine and open file
// functions; false names the file that failed in `detail`.
bool ContentWriteParticleTextures(const std::string& root, std::string* detail);

// Gives `material` the level's UV animation in slot 0 and hands out the dictionary that holds it, for the level file
// to carry before its world (the caller destroys it). Without the UV animation plugin in the writing engine the
// material stays still and *dictionary is null. False when the animation could not be made.
bool ContentLevelAnimateMaterial(GxMaterial* material, GxUVAnimDictionary** dictionary);
// Writes the dictionary's chunk; a null dictionary writes nothing.
bool ContentLevelAnimationWrite(GxStream* stream, const GxUVAnimDictionary* dictionary);
