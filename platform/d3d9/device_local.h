// Internals the device's files share: the Direct3D numbers that carry rules, and the surface-record helper.
#pragma once

#include "platform/d3d9/d3d9_local.h"

// A gamma ramp has one entry per 8-bit level; i * 257 spreads 0..255 over 0..65535.
constexpr UINT kGammaEntries = 256;
constexpr WORD kGammaLevelScale = 257;
// Triple buffering is the most a swap chain takes.
constexpr UINT kMaxBackBufferCount = 3;
// D3DTS_WORLDMATRIX(n) is 256 + n: world matrices follow the 256 other transform slots.
constexpr DWORD kWorldMatrixBase = 256;
// Texture ops run from D3DTOP_DISABLE (1) to D3DTOP_LERP (26); op n is bit n - 1 of TextureOpCaps.
constexpr DWORD kFirstTextureOp = D3DTOP_DISABLE;
constexpr DWORD kLastTextureOp = D3DTOP_LERP;
// A cube texture has one image per face of the cube.
constexpr UINT kCubeFaces = 6;
// A palette is 256 entries, one per 8-bit index.
constexpr UINT kPaletteEntries = 256;
// A shader constant register is four floats (x y z w).
constexpr UINT kFloatsPerVector = 4;
// D3DDECL_END() marks the end of a declaration with stream 0xFF.
constexpr WORD kDeclEndStream = 0xFF;
// Element offsets are counted in bytes but must fall on 4-byte boundaries.
constexpr WORD kDeclOffsetAlignMask = 3;
// Shader token streams open with a version token whose top half names the kind
// (D3DVS_VERSION / D3DPS_VERSION) and close with the end token.
constexpr DWORD kShaderKindMask = 0xFFFF0000u;
constexpr DWORD kVertexShaderKind = 0xFFFE0000u;
constexpr DWORD kPixelShaderKind = 0xFFFF0000u;
constexpr DWORD kShaderEndToken = 0x0000FFFFu;
// A stream with no end token within this many tokens is refused rather than read on.
constexpr size_t kMaxShaderTokens = size_t{1} << 20;
// 32-bit indices need a device that can address past the 16-bit range.
constexpr DWORD kMaxIndex16 = 0xFFFF;
// DXT copies start on a block boundary.
constexpr LONG kDxtBlockAlignMask = kD3D9DxtBlockEdge - 1;

// A surface record with the storage its size and format need, zeroed. Every
// surface the device makes (standalone, back buffer, depth buffer, texture
// level) starts here; D3D9SizeSurfaceData alone gives an existing record a new size.
D3D9SurfaceData* D3D9NewSurfaceData(UINT width, UINT height, D3DFORMAT format, DWORD usage, D3DPOOL pool, DWORD flags);
void D3D9SizeSurfaceData(D3D9SurfaceData* data, UINT width, UINT height, D3DFORMAT format);
