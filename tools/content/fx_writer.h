// Effect content: the fire and flies particle pictures under images/particles/.
#pragma once

#include <cstdint>
#include <string>

#include "gfx/fx/fx.h"
#include "gfx/testsupport/png_writer.h"

constexpr uint32_t kContentParticleSize = 32;

// An orange radial gradient, its alpha falling from full at the centre to none at the rim.
ContentPngImage ContentFireImage();
// A few dark flies on black (RGB), and their grey mask: white where a fly is, black elsewhere.
ContentPngImage ContentFliesImage();
ContentPngImage ContentFliesMask();

// Writes fire.png, flies.png and fliesm.png into root/images/particles/. Needs a started engine and open file
// functions; false names the file that failed in `detail`.
bool ContentWriteParticleTextures(const std::string& root, std::string* detail);
