// Instancing of skinned geometry: the vertex layouts of the two skin paths and the fills of their streams.
//
// Shader layout: one pooled stream (two when the geometry's usage flags name changing parts) holding the vertex
// and its compact blend weights and palette indices (already 3 x palette slot). Processor layout: positions and
// normals (FLOAT3) first in stream 0; on a device that transforms in hardware a skin blended each frame keeps
// stream 0 in a buffer of its own, locked with discard, and the parts that never change in a pooled stream 1.
// Devices without hardware transform keep one pooled stream, rewritten in place. One thread.
#pragma once

#include "gfx/anim/anim.h"
#include "gfx/core/gx.h"
#include "gfx/d3d9/instance.h"

struct GxAtomic;
struct GxMeshHeader;
struct GxResourceEntry;

// Every lock-flag part (positions, normals, prelit colours, eight coordinate sets).
constexpr GxUInt16 gxD3D9SKINALLPARTS = 0xFFF;

// Instances the atomic's skinned geometry into a resource entry owned by `owner` (the geometry, or the atomic when
// the geometry morphs) and kept at `entry`: index buffer and mesh records, the skin's paletteBones and
// usesVertexShader, the streams of its path and their first fill. Null when the arena or a buffer is short.
GxD3D9InstanceHeader* GxD3D9SkinInstance(GxAtomic* atomic, void* owner, GxResourceEntry** entry,
                                         GxMeshHeader* meshHeader);
// Releases the instance's streams and declaration and builds them again for the skin's current path; `dynamic`
// (a hierarchy blends the skin each frame) lets the processor layout keep a stream of its own. 0 on failure.
GxBool GxD3D9SkinVertexDeclarationCreate(GxAtomic* atomic, GxD3D9InstanceHeader* header, GxBool dynamic);
// Writes the parts named by `lockFlags` (gxD3D9SKINALLPARTS: everything, with the weights and indices of the
// shader layout); nothing into another pipeline's instance. A stream whose lock fails is not written and the fill
// returns 0.
GxBool GxD3D9SkinVertexBufferFill(GxAtomic* atomic, GxD3D9InstanceHeader* header, const GxAnimHierarchy* hierarchy,
                                  GxUInt32 lockFlags);
// 1 when the processor path blends into a pooled stream rather than a buffer of its own.
GxBool GxD3D9SkinUseStaticBuffer(const GxAtomic* atomic);
// The processor path: blends the pose into stream 0, rewriting the other parts a discarding lock loses. Nothing is
// written when the lock fails (the previous pose stays).
void GxD3D9SkinBlendIntoInstance(GxAtomic* atomic, GxD3D9InstanceHeader* header, const GxSkin* skin,
                                 const GxAnimHierarchy* hierarchy);
