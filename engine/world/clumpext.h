// The clump extension: two engine words on every graphics clump, naming the engine object and the composite
// model the clump belongs to, so that code which meets a clump (picking, drawing, animation) finds them.
#pragma once

#include <cstdint>

struct GxClump;
class CFerroxObject;
class CFerroxComposite;

// Plugin id of the extension in the clumps' registry and in their extension chunks.
constexpr uint32_t kFerroxClumpExtensionID = 511;

// Registers the extension and its stream callbacks on clumps; called before the engine opens. 1 when both
// registrations succeeded at the same offset, else 0.
int AttachClumpExtension();

// The getters give 0 and the setters store nothing and give 0 while the extension is not registered (or
// for a null clump); a setter that stored gives 1.
CFerroxObject* GetClumpOwner(GxClump* clump);
int SetClumpOwner(GxClump* clump, CFerroxObject* owner);
CFerroxComposite* GetClumpComposite(GxClump* clump);
int SetClumpComposite(GxClump* clump, CFerroxComposite* composite);
