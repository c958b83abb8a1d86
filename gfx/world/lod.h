// Level-of-detail atomics: up to ten geometries per atomic, chosen by depth from the current camera.
#pragma once

#include "gfx/world/clump.h"

constexpr GxUInt32 gxPLUGINLODATOMIC = 0x112;
constexpr GxInt32 gxLODATOMICMAXLEVELS = 10;

typedef GxInt32 (*GxLODAtomicLODCallBack)(GxAtomic* atomic);

struct GxLODAtomicRecord {
    GxInt32 hooked;  // the atomic's render callback is the level-of-detail one
    GxAtomicCallBackRender previousRender;
    GxLODAtomicLODCallBack select;
    GxReal reserved;       // carried in the stream, not used
    GxReal levelScale;     // levels per unit of depth for the default selection
    GxInt32 currentLevel;  // -1: none
    GxGeometry* geometry[gxLODATOMICMAXLEVELS];
};

// Engine plugin 0x112 and the atomic extension with its stream; called before GxEngineOpen.
GxBool GxLODAtomicPluginAttach(void);
GxAtomic* GxLODAtomicSetGeometry(GxAtomic* atomic, GxInt32 level, GxGeometry* geometry);
GxAtomic* GxLODAtomicSetLODCallback(GxAtomic* atomic, GxLODAtomicLODCallBack callBack);
GxAtomic* GxLODAtomicHookRender(GxAtomic* atomic);
GxInt32 GxLODAtomicDefaultSelect(GxAtomic* atomic);
// The atomic's record, or null.
GxLODAtomicRecord* GxLODAtomicGetRecord(GxAtomic* atomic);
