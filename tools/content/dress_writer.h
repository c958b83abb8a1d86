// Head variants for the character files: three hats, each on a frame of its own under the head bone and tagged
// head1 to head3, of which a character shows one; and two carrier bags under the hands, tagged bagy and bagr,
// hidden until a shopper shows them.
#pragma once

#include <string>
#include <vector>

#include "gfx/core/gx.h"

// Tags of the head variants, in the order they are added.
extern const char* const CONTENTHEADVARIANTS[3];
// Tags of the carrier bags, right hand then left, added hidden with the head variants.
extern const char* const CONTENTBAGS[2];

// The character file's bytes with the head variants added to its clump; the table of contents follows the
// clump's new size, and the materials keep the textures of the file's images dictionary. Empty when the bytes are
// not a character file that can be dressed: no table of contents, no clump where it points, an images dictionary
// that cannot be read, no head bone, or head variants already there.
std::vector<GxUInt8> ContentDressCharacterBytes(const std::vector<GxUInt8>& file);

// Dresses every ".gxs" file of the folder in place; files that are not characters stay as they are. False
// (with the file named in detail) when a file cannot be read or written.
bool ContentDressCharacters(const std::string& directory, std::string* detail);
