// Format sizes, vertex layouts, capability profiles, default state and image copies shared by core and back ends.
#include "platform/d3d9/backend.h"
#include "platform/d3d9/shader_local.h"

#include <algorithm>
#include <cstring>
#include <limits>

UINT D3D9FormatBytesPerPixel(D3DFORMAT format)
{
    switch (format) {
    case D3DFMT_R3G3B2:
    case D3DFMT_A8:
    case D3DFMT_P8:
    case D3DFMT_L8:
    case D3DFMT_A4L4:
        return 1;
    case D3DFMT_R5G6B5:
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5:
    case D3DFMT_A4R4G4B4:
    case D3DFMT_A8R3G3B2:
    case D3DFMT_X4R4G4B4:
    case D3DFMT_A8P8:
    case D3DFMT_A8L8:
    case D3DFMT_V8U8:
    case D3DFMT_L6V5U5:
    case D3DFMT_D16_LOCKABLE:
    case D3DFMT_D15S1:
    case D3DFMT_D16:
    case D3DFMT_L16:
    case D3DFMT_R16F:
    case D3DFMT_CxV8U8:
    case D3DFMT_UYVY:
    case D3DFMT_YUY2:
    case D3DFMT_R8G8_B8G8:
    case D3DFMT_G8R8_G8B8:
        return 2;
    case D3DFMT_R8G8B8:
        return 3;
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
    case D3DFMT_A2B10G10R10:
    case D3DFMT_A8B8G8R8:
    case D3DFMT_X8B8G8R8:
    case D3DFMT_G16R16:
    case D3DFMT_A2R10G10B10:
    case D3DFMT_X8L8V8U8:
    case D3DFMT_Q8W8V8U8:
    case D3DFMT_V16U16:
    case D3DFMT_A2W10V10U10:
    case D3DFMT_D32:
    case D3DFMT_D24S8:
    case D3DFMT_D24X8:
    case D3DFMT_D24X4S4:
    case D3DFMT_D32F_LOCKABLE:
    case D3DFMT_D24FS8:
    case D3DFMT_G16R16F:
    case D3DFMT_R32F:
        return 4;
    case D3DFMT_A16B16G16R16:
    case D3DFMT_Q16W16V16U16:
    case D3DFMT_A16B16G16R16F:
    case D3DFMT_G32R32F:
        return 8;
    case D3DFMT_A32B32G32R32F:
        return 16;
    default:
        return 0;
    }
}

bool D3D9FormatIsDXT(D3DFORMAT format)
{
    return format == D3DFMT_DXT1 || format == D3DFMT_DXT2 || format == D3DFMT_DXT3 || format == D3DFMT_DXT4 ||
           format == D3DFMT_DXT5;
}

bool D3D9FormatIsDepth(D3DFORMAT format)
{
    switch (format) {
    case D3DFMT_D16_LOCKABLE:
    case D3DFMT_D32:
    case D3DFMT_D15S1:
    case D3DFMT_D24S8:
    case D3DFMT_D24X8:
    case D3DFMT_D24X4S4:
    case D3DFMT_D16:
    case D3DFMT_D32F_LOCKABLE:
    case D3DFMT_D24FS8:
        return true;
    default:
        return false;
    }
}

bool D3D9FormatKnown(D3DFORMAT format) { return D3D9FormatIsDXT(format) || D3D9FormatBytesPerPixel(format) != 0; }

// DXT1 packs a block in 8 bytes (two colours and 2-bit indices); DXT2-5 add 8 bytes of alpha.
constexpr UINT kDxt1BlockBytes = 8;
constexpr UINT kDxtAlphaBlockBytes = 16;

UINT D3D9FormatBlockBytes(D3DFORMAT format)
{
    if (!D3D9FormatIsDXT(format))
        return 0;
    return format == D3DFMT_DXT1 ? kDxt1BlockBytes : kDxtAlphaBlockBytes;
}

// Blocks needed to cover a number of pixels (at least one).
static UINT BlocksOver(UINT pixels) { return std::max(1u, (pixels + kD3D9DxtBlockEdge - 1) / kD3D9DxtBlockEdge); }

UINT D3D9IndexBytes(D3DFORMAT format) { return format == D3DFMT_INDEX32 ? sizeof(DWORD) : sizeof(WORD); }

// One loop per index width, which the compiler can run several indices at a time.
template <typename Index>
static void IndexRangeOf(const BYTE* indices, UINT count, UINT* lowest, UINT* highest)
{
    Index low = std::numeric_limits<Index>::max();
    Index high = 0;
    for (UINT i = 0; i < count; ++i) {
        Index index;
        std::memcpy(&index, indices + static_cast<size_t>(i) * sizeof(index), sizeof(index));
        low = std::min(low, index);
        high = std::max(high, index);
    }
    *lowest = count > 0 ? low : 0xFFFFFFFFu;
    *highest = high;
}

void D3D9IndexRange(const BYTE* indices, D3DFORMAT format, UINT count, UINT* lowest, UINT* highest)
{
    if (format == D3DFMT_INDEX32)
        IndexRangeOf<DWORD>(indices, count, lowest, highest);
    else
        IndexRangeOf<WORD>(indices, count, lowest, highest);
}

UINT D3D9FormatPitch(D3DFORMAT format, UINT width)
{
    if (D3D9FormatIsDXT(format))
        return BlocksOver(width) * D3D9FormatBlockBytes(format);
    return width * D3D9FormatBytesPerPixel(format);
}

UINT D3D9FormatRows(D3DFORMAT format, UINT height)
{
    if (D3D9FormatIsDXT(format))
        return BlocksOver(height);
    return height;
}

UINT D3D9DeclTypeSize(BYTE type)
{
    static const BYTE kSizes[17] = {4, 8, 12, 16, 4, 4, 4, 8, 4, 4, 8, 4, 8, 4, 4, 4, 8};
    return type < 17 ? kSizes[type] : 0;
}

static UINT FVFTexCoordCount(DWORD fvf, UINT set)
{
    static const UINT kCounts[4] = {2, 3, 4, 1};
    return kCounts[(fvf >> (16 + set * 2)) & 3];
}

// Floats of weights (beta values) after the position, for XYZBn formats.
static UINT FVFBetaCount(DWORD fvf)
{
    DWORD position = fvf & D3DFVF_POSITION_MASK;
    if (position < D3DFVF_XYZB1 || position > D3DFVF_XYZB5)
        return 0;
    return (position - D3DFVF_XYZRHW) / 2;  // XYZB1 = 6 carries one beta, XYZB5 = 14 five
}

UINT D3D9FVFSize(DWORD fvf)
{
    std::vector<D3DVERTEXELEMENT9> elements;
    D3D9DeclarationFromFVF(fvf, &elements);
    UINT size = 0;
    for (const D3DVERTEXELEMENT9& e : elements)
        size = std::max<UINT>(size, e.Offset + D3D9DeclTypeSize(e.Type));
    return size;
}

static void AddElement(std::vector<D3DVERTEXELEMENT9>* elements, WORD* offset, BYTE type, BYTE usage, BYTE index)
{
    D3DVERTEXELEMENT9 e = {0, *offset, type, D3DDECLMETHOD_DEFAULT, usage, index};
    elements->push_back(e);
    *offset = static_cast<WORD>(*offset + D3D9DeclTypeSize(type));
}

void D3D9DeclarationFromFVF(DWORD fvf, std::vector<D3DVERTEXELEMENT9>* elements)
{
    elements->clear();
    WORD offset = 0;
    DWORD position = fvf & D3DFVF_POSITION_MASK;
    if (position == D3DFVF_XYZRHW) {
        AddElement(elements, &offset, D3DDECLTYPE_FLOAT4, D3DDECLUSAGE_POSITIONT, 0);
    } else if (position == D3DFVF_XYZW) {
        AddElement(elements, &offset, D3DDECLTYPE_FLOAT4, D3DDECLUSAGE_POSITION, 0);
    } else if (position != 0) {
        AddElement(elements, &offset, D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_POSITION, 0);
    }
    UINT betas = FVFBetaCount(fvf);
    if (betas > 0) {
        bool lastIsIndices = (fvf & (D3DFVF_LASTBETA_UBYTE4 | D3DFVF_LASTBETA_D3DCOLOR)) != 0;
        UINT weights = lastIsIndices ? betas - 1 : betas;
        if (weights > 0) {
            AddElement(elements, &offset, static_cast<BYTE>(D3DDECLTYPE_FLOAT1 + weights - 1), D3DDECLUSAGE_BLENDWEIGHT,
                       0);
        }
        if (lastIsIndices) {
            BYTE type = (fvf & D3DFVF_LASTBETA_UBYTE4) ? D3DDECLTYPE_UBYTE4 : D3DDECLTYPE_D3DCOLOR;
            AddElement(elements, &offset, type, D3DDECLUSAGE_BLENDINDICES, 0);
        }
    }
    if (fvf & D3DFVF_NORMAL)
        AddElement(elements, &offset, D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_NORMAL, 0);
    if (fvf & D3DFVF_PSIZE)
        AddElement(elements, &offset, D3DDECLTYPE_FLOAT1, D3DDECLUSAGE_PSIZE, 0);
    if (fvf & D3DFVF_DIFFUSE)
        AddElement(elements, &offset, D3DDECLTYPE_D3DCOLOR, D3DDECLUSAGE_COLOR, 0);
    if (fvf & D3DFVF_SPECULAR)
        AddElement(elements, &offset, D3DDECLTYPE_D3DCOLOR, D3DDECLUSAGE_COLOR, 1);
    UINT sets = std::min<UINT>((fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT, 8);
    for (UINT i = 0; i < sets; ++i) {
        BYTE type = static_cast<BYTE>(D3DDECLTYPE_FLOAT1 + FVFTexCoordCount(fvf, i) - 1);
        AddElement(elements, &offset, type, D3DDECLUSAGE_TEXCOORD, static_cast<BYTE>(i));
    }
}

const std::vector<D3DVERTEXELEMENT9>& D3D9DrawElements(const D3D9State& state, std::vector<D3DVERTEXELEMENT9>* scratch)
{
    if (state.declaration)
        return state.declaration->elements;
    scratch->clear();
    D3D9DeclarationFromFVF(state.fvf, scratch);
    return *scratch;
}

UINT D3D9PrimitiveVertexCount(D3DPRIMITIVETYPE type, UINT primitiveCount)
{
    switch (type) {
    case D3DPT_POINTLIST:
        return primitiveCount;
    case D3DPT_LINELIST:
        return primitiveCount * 2;
    case D3DPT_LINESTRIP:
        return primitiveCount + 1;
    case D3DPT_TRIANGLELIST:
        return primitiveCount * 3;
    case D3DPT_TRIANGLESTRIP:
    case D3DPT_TRIANGLEFAN:
        return primitiveCount + 2;
    default:
        return 0;
    }
}

void D3D9FillBaseCaps(D3DCAPS9* caps, D3D9CapsProfile profile)
{
    std::memset(caps, 0, sizeof(*caps));
    bool full = profile == D3D9_CAPS_FULL;
    caps->DeviceType = D3DDEVTYPE_HAL;
    caps->AdapterOrdinal = 0;
    caps->Caps2 = D3DCAPS2_CANMANAGERESOURCE | D3DCAPS2_DYNAMICTEXTURES | D3DCAPS2_FULLSCREENGAMMA;
    if (full)
        caps->Caps2 |= D3DCAPS2_CANAUTOGENMIPMAP;
    caps->Caps3 = D3DCAPS3_COPY_TO_VIDMEM | D3DCAPS3_COPY_TO_SYSTEMMEM;
    caps->PresentationIntervals = D3DPRESENT_INTERVAL_IMMEDIATE | D3DPRESENT_INTERVAL_ONE;
    caps->DevCaps = D3DDEVCAPS_EXECUTESYSTEMMEMORY | D3DDEVCAPS_TLVERTEXSYSTEMMEMORY | D3DDEVCAPS_TEXTUREVIDEOMEMORY |
                    D3DDEVCAPS_DRAWPRIMTLVERTEX | D3DDEVCAPS_CANRENDERAFTERFLIP | D3DDEVCAPS_DRAWPRIMITIVES2 |
                    D3DDEVCAPS_DRAWPRIMITIVES2EX | D3DDEVCAPS_HWRASTERIZATION;
    if (full)
        caps->DevCaps |= D3DDEVCAPS_HWTRANSFORMANDLIGHT;
    caps->PrimitiveMiscCaps = D3DPMISCCAPS_MASKZ | D3DPMISCCAPS_CULLNONE | D3DPMISCCAPS_CULLCW | D3DPMISCCAPS_CULLCCW;
    if (full) {
        caps->PrimitiveMiscCaps |= D3DPMISCCAPS_COLORWRITEENABLE | D3DPMISCCAPS_BLENDOP | D3DPMISCCAPS_TSSARGTEMP |
                                   D3DPMISCCAPS_SEPARATEALPHABLEND;
    }
    caps->RasterCaps = D3DPRASTERCAPS_DITHER | D3DPRASTERCAPS_ZTEST | D3DPRASTERCAPS_FOGVERTEX;
    if (full) {
        caps->RasterCaps |= D3DPRASTERCAPS_FOGTABLE | D3DPRASTERCAPS_MIPMAPLODBIAS | D3DPRASTERCAPS_FOGRANGE |
                            D3DPRASTERCAPS_ANISOTROPY | D3DPRASTERCAPS_SCISSORTEST | D3DPRASTERCAPS_DEPTHBIAS |
                            D3DPRASTERCAPS_SLOPESCALEDEPTHBIAS;
    }
    caps->ZCmpCaps = 0xFF;
    caps->AlphaCmpCaps = 0xFF;
    caps->SrcBlendCaps = 0x7FF;
    caps->DestBlendCaps = 0x7FF;
    caps->ShadeCaps = D3DPSHADECAPS_COLORGOURAUDRGB | D3DPSHADECAPS_SPECULARGOURAUDRGB |
                      D3DPSHADECAPS_ALPHAGOURAUDBLEND | D3DPSHADECAPS_FOGGOURAUD;
    caps->TextureCaps =
        D3DPTEXTURECAPS_PERSPECTIVE | D3DPTEXTURECAPS_ALPHA | D3DPTEXTURECAPS_MIPMAP | D3DPTEXTURECAPS_PROJECTED;
    if (full) {
        caps->TextureCaps |= D3DPTEXTURECAPS_ALPHAPALETTE | D3DPTEXTURECAPS_CUBEMAP | D3DPTEXTURECAPS_MIPCUBEMAP;
    } else {
        caps->TextureCaps |= D3DPTEXTURECAPS_POW2;
    }
    DWORD filters = D3DPTFILTERCAPS_MINFPOINT | D3DPTFILTERCAPS_MINFLINEAR | D3DPTFILTERCAPS_MAGFPOINT |
                    D3DPTFILTERCAPS_MAGFLINEAR | D3DPTFILTERCAPS_MIPFPOINT;
    if (full)
        filters |= D3DPTFILTERCAPS_MIPFLINEAR | D3DPTFILTERCAPS_MINFANISOTROPIC | D3DPTFILTERCAPS_MAGFANISOTROPIC;
    caps->TextureFilterCaps = filters;
    caps->CubeTextureFilterCaps = full ? filters : 0;
    caps->TextureAddressCaps = D3DPTADDRESSCAPS_WRAP | D3DPTADDRESSCAPS_CLAMP | D3DPTADDRESSCAPS_INDEPENDENTUV;
    if (full)
        caps->TextureAddressCaps |= D3DPTADDRESSCAPS_MIRROR | D3DPTADDRESSCAPS_BORDER | D3DPTADDRESSCAPS_MIRRORONCE;
    caps->MaxTextureWidth = full ? 4096 : 2048;
    caps->MaxTextureHeight = caps->MaxTextureWidth;
    caps->MaxTextureRepeat = 8192;
    caps->MaxTextureAspectRatio = caps->MaxTextureWidth;
    caps->MaxAnisotropy = full ? 16 : 1;
    caps->MaxVertexW = 1e10f;
    caps->GuardBandLeft = -8192.0f;
    caps->GuardBandTop = -8192.0f;
    caps->GuardBandRight = 8192.0f;
    caps->GuardBandBottom = 8192.0f;
    caps->StencilCaps = 0xFF;
    caps->FVFCaps = 8;
    if (full)
        caps->FVFCaps |= D3DFVFCAPS_PSIZE;
    caps->TextureOpCaps = D3DTEXOPCAPS_DISABLE | D3DTEXOPCAPS_SELECTARG1 | D3DTEXOPCAPS_SELECTARG2 |
                          D3DTEXOPCAPS_MODULATE | D3DTEXOPCAPS_ADD | D3DTEXOPCAPS_BLENDTEXTUREALPHA;
    if (full)
        caps->TextureOpCaps = 0x03FFFFFF;
    caps->MaxTextureBlendStages = full ? 8 : 2;
    caps->MaxSimultaneousTextures = full ? 8 : 2;
    caps->VertexProcessingCaps = D3DVTXPCAPS_TEXGEN | D3DVTXPCAPS_MATERIALSOURCE7 | D3DVTXPCAPS_DIRECTIONALLIGHTS |
                                 D3DVTXPCAPS_POSITIONALLIGHTS | D3DVTXPCAPS_LOCALVIEWER;
    caps->MaxActiveLights = 8;
    caps->MaxUserClipPlanes = full ? 6 : 0;
    caps->MaxVertexBlendMatrices = full ? 4 : 0;
    caps->MaxPointSize = full ? 64.0f : 1.0f;
    caps->MaxPrimitiveCount = 0xFFFFF;
    caps->MaxVertexIndex = full ? 0xFFFFFF : 0xFFFF;
    caps->MaxStreams = 16;  // several streams are basic; only their offsets are optional
    caps->MaxStreamStride = 255;
    // The full profile runs the 1.1 shader models; the minimal one keeps the fixed-function path only.
    caps->VertexShaderVersion = full ? D3DVS_VERSION(1, 1) : D3DVS_VERSION(0, 0);
    caps->MaxVertexShaderConst = full ? kVs11Constants : 0;
    caps->PixelShaderVersion = full ? D3DPS_VERSION(1, 1) : D3DPS_VERSION(0, 0);
    caps->PixelShader1xMaxValue = full ? kPs11MaxValue : 0.0f;
    caps->DevCaps2 = 0;
    if (full)
        caps->DevCaps2 = D3DDEVCAPS2_STREAMOFFSET | D3DDEVCAPS2_CAN_STRETCHRECT_FROM_TEXTURES;
    caps->MasterAdapterOrdinal = 0;
    caps->AdapterOrdinalInGroup = 0;
    caps->NumberOfAdaptersInGroup = 1;
    caps->DeclTypes = full ? 0x3FF : 0;
    caps->NumSimultaneousRTs = 1;
    caps->StretchRectFilterCaps = D3DPTFILTERCAPS_MINFPOINT | D3DPTFILTERCAPS_MAGFPOINT;
    if (full)
        caps->StretchRectFilterCaps |= D3DPTFILTERCAPS_MINFLINEAR | D3DPTFILTERCAPS_MAGFLINEAR;
}

static DWORD FloatBits(float f)
{
    DWORD d;
    std::memcpy(&d, &f, sizeof(d));
    return d;
}

static void Identity(D3DMATRIX* m)
{
    std::memset(m, 0, sizeof(*m));
    m->_11 = m->_22 = m->_33 = m->_44 = 1.0f;
}

static void DefaultRenderStates(DWORD* rs, bool autoDepth, float maxPointSize)
{
    std::memset(rs, 0, sizeof(DWORD) * D3DRS_COUNT);
    rs[D3DRS_ZENABLE] = autoDepth ? D3DZB_TRUE : D3DZB_FALSE;
    rs[D3DRS_FILLMODE] = D3DFILL_SOLID;
    rs[D3DRS_SHADEMODE] = D3DSHADE_GOURAUD;
    rs[D3DRS_ZWRITEENABLE] = TRUE;
    rs[D3DRS_LASTPIXEL] = TRUE;
    rs[D3DRS_SRCBLEND] = D3DBLEND_ONE;
    rs[D3DRS_DESTBLEND] = D3DBLEND_ZERO;
    rs[D3DRS_CULLMODE] = D3DCULL_CCW;
    rs[D3DRS_ZFUNC] = D3DCMP_LESSEQUAL;
    rs[D3DRS_ALPHAFUNC] = D3DCMP_ALWAYS;
    rs[D3DRS_FOGSTART] = FloatBits(0.0f);
    rs[D3DRS_FOGEND] = FloatBits(1.0f);
    rs[D3DRS_FOGDENSITY] = FloatBits(1.0f);
    rs[D3DRS_STENCILFAIL] = D3DSTENCILOP_KEEP;
    rs[D3DRS_STENCILZFAIL] = D3DSTENCILOP_KEEP;
    rs[D3DRS_STENCILPASS] = D3DSTENCILOP_KEEP;
    rs[D3DRS_STENCILFUNC] = D3DCMP_ALWAYS;
    rs[D3DRS_STENCILMASK] = 0xFFFFFFFF;
    rs[D3DRS_STENCILWRITEMASK] = 0xFFFFFFFF;
    rs[D3DRS_TEXTUREFACTOR] = 0xFFFFFFFF;
    rs[D3DRS_CLIPPING] = TRUE;
    rs[D3DRS_LIGHTING] = TRUE;
    rs[D3DRS_COLORVERTEX] = TRUE;
    rs[D3DRS_LOCALVIEWER] = TRUE;
    rs[D3DRS_DIFFUSEMATERIALSOURCE] = D3DMCS_COLOR1;
    rs[D3DRS_SPECULARMATERIALSOURCE] = D3DMCS_COLOR2;
    rs[D3DRS_AMBIENTMATERIALSOURCE] = D3DMCS_MATERIAL;
    rs[D3DRS_EMISSIVEMATERIALSOURCE] = D3DMCS_MATERIAL;
    rs[D3DRS_POINTSIZE] = FloatBits(1.0f);
    rs[D3DRS_POINTSIZE_MIN] = FloatBits(1.0f);
    rs[D3DRS_POINTSCALE_A] = FloatBits(1.0f);
    rs[D3DRS_POINTSCALE_B] = FloatBits(0.0f);
    rs[D3DRS_POINTSCALE_C] = FloatBits(0.0f);
    rs[D3DRS_MULTISAMPLEANTIALIAS] = TRUE;
    rs[D3DRS_MULTISAMPLEMASK] = 0xFFFFFFFF;
    rs[D3DRS_DEBUGMONITORTOKEN] = 0;
    rs[D3DRS_POINTSIZE_MAX] = FloatBits(maxPointSize);
    rs[D3DRS_COLORWRITEENABLE] = 0xF;
    rs[D3DRS_TWEENFACTOR] = FloatBits(0.0f);
    rs[D3DRS_BLENDOP] = D3DBLENDOP_ADD;
    rs[D3DRS_POSITIONDEGREE] = 3;
    rs[D3DRS_NORMALDEGREE] = 1;
    rs[D3DRS_MINTESSELLATIONLEVEL] = FloatBits(1.0f);
    rs[D3DRS_MAXTESSELLATIONLEVEL] = FloatBits(1.0f);
    rs[D3DRS_ADAPTIVETESS_Z] = FloatBits(1.0f);
    rs[D3DRS_CCW_STENCILFAIL] = D3DSTENCILOP_KEEP;
    rs[D3DRS_CCW_STENCILZFAIL] = D3DSTENCILOP_KEEP;
    rs[D3DRS_CCW_STENCILPASS] = D3DSTENCILOP_KEEP;
    rs[D3DRS_CCW_STENCILFUNC] = D3DCMP_ALWAYS;
    rs[D3DRS_COLORWRITEENABLE1] = 0xF;
    rs[D3DRS_COLORWRITEENABLE2] = 0xF;
    rs[D3DRS_COLORWRITEENABLE3] = 0xF;
    rs[D3DRS_BLENDFACTOR] = 0xFFFFFFFF;
    rs[D3DRS_SRCBLENDALPHA] = D3DBLEND_ONE;
    rs[D3DRS_DESTBLENDALPHA] = D3DBLEND_ZERO;
    rs[D3DRS_BLENDOPALPHA] = D3DBLENDOP_ADD;
}

static void DefaultStageStates(DWORD* tss, DWORD stage)
{
    std::memset(tss, 0, sizeof(DWORD) * D3DTSS_COUNT);
    tss[D3DTSS_COLOROP] = stage == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
    tss[D3DTSS_COLORARG1] = D3DTA_TEXTURE;
    tss[D3DTSS_COLORARG2] = D3DTA_CURRENT;
    tss[D3DTSS_ALPHAOP] = stage == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
    tss[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
    tss[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
    tss[D3DTSS_TEXCOORDINDEX] = stage;
    tss[D3DTSS_TEXTURETRANSFORMFLAGS] = D3DTTFF_DISABLE;
    tss[D3DTSS_COLORARG0] = D3DTA_CURRENT;
    tss[D3DTSS_ALPHAARG0] = D3DTA_CURRENT;
    tss[D3DTSS_RESULTARG] = D3DTA_CURRENT;
}

static void DefaultSamplerStates(DWORD* ss)
{
    std::memset(ss, 0, sizeof(DWORD) * D3DSAMP_COUNT);
    ss[D3DSAMP_ADDRESSU] = D3DTADDRESS_WRAP;
    ss[D3DSAMP_ADDRESSV] = D3DTADDRESS_WRAP;
    ss[D3DSAMP_ADDRESSW] = D3DTADDRESS_WRAP;
    ss[D3DSAMP_MAGFILTER] = D3DTEXF_POINT;
    ss[D3DSAMP_MINFILTER] = D3DTEXF_POINT;
    ss[D3DSAMP_MIPFILTER] = D3DTEXF_NONE;
    ss[D3DSAMP_MAXANISOTROPY] = 1;
}

void D3D9SetDefaultState(D3D9State* state, bool autoDepth, float maxPointSize)
{
    DefaultRenderStates(state->renderStates, autoDepth, maxPointSize);
    for (DWORD stage = 0; stage < D3DMAXTEXTURESTAGES; ++stage) {
        DefaultStageStates(state->textureStageStates[stage], stage);
        Identity(&state->textureTransforms[stage]);
    }
    for (DWORD s = 0; s < D3DMAXSAMPLERS; ++s) {
        DefaultSamplerStates(state->samplerStates[s]);
        state->textures[s] = nullptr;
    }
    Identity(&state->view);
    Identity(&state->projection);
    for (D3DMATRIX& m : state->world)
        Identity(&m);
    std::memset(&state->viewport, 0, sizeof(state->viewport));
    state->viewport.MaxZ = 1.0f;
    state->scissor = RECT{0, 0, 0, 0};
    std::memset(&state->material, 0, sizeof(state->material));
    std::memset(state->clipPlanes, 0, sizeof(state->clipPlanes));
    state->lights.clear();
    for (D3D9StreamBinding& s : state->streams)
        s = D3D9StreamBinding();
    state->indices = nullptr;
    state->fvf = 0;
    state->declaration = nullptr;
    state->vertexShader = nullptr;
    state->pixelShader = nullptr;
    std::memset(state->vsConstants, 0, sizeof(state->vsConstants));
    std::memset(state->psConstants, 0, sizeof(state->psConstants));
    state->palettes.clear();
    state->currentPalette = 0;
    for (D3D9SurfaceData*& t : state->renderTargets)
        t = nullptr;
    state->depthStencil = nullptr;
    state->softwareVertexProcessing = FALSE;
}

void D3D9CopyRectPoint(const D3D9SurfaceData& source, const RECT& sourceRect, D3D9SurfaceData* dest,
                       const RECT& destRect)
{
    UINT bpp = D3D9FormatBytesPerPixel(source.format);
    if (bpp == 0 || source.format != dest->format)
        return;
    LONG sw = sourceRect.right - sourceRect.left;
    LONG sh = sourceRect.bottom - sourceRect.top;
    LONG dw = destRect.right - destRect.left;
    LONG dh = destRect.bottom - destRect.top;
    if (sw <= 0 || sh <= 0 || dw <= 0 || dh <= 0)
        return;
    for (LONG y = 0; y < dh; ++y) {
        LONG sy = sourceRect.top + static_cast<LONG>((static_cast<int64_t>(y) * sh) / dh);
        const BYTE* srcRow = source.bits.data() + static_cast<size_t>(sy) * source.pitch;
        BYTE* dstRow = dest->bits.data() + static_cast<size_t>(destRect.top + y) * dest->pitch;
        if (sw == dw) {
            std::memcpy(dstRow + static_cast<size_t>(destRect.left) * bpp,
                        srcRow + static_cast<size_t>(sourceRect.left) * bpp, static_cast<size_t>(dw) * bpp);
            continue;
        }
        for (LONG x = 0; x < dw; ++x) {
            LONG sx = sourceRect.left + static_cast<LONG>((static_cast<int64_t>(x) * sw) / dw);
            std::memcpy(dstRow + static_cast<size_t>(destRect.left + x) * bpp, srcRow + static_cast<size_t>(sx) * bpp,
                        bpp);
        }
    }
}

// Converts a colour to a pixel of the format; false when it has no colour form.
static bool PackColor(D3DFORMAT format, D3DCOLOR c, BYTE* out, UINT* size)
{
    DWORD a = c >> 24, r = (c >> 16) & 0xFF, g = (c >> 8) & 0xFF, b = c & 0xFF;
    DWORD v = 0;
    switch (format) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
        v = c;
        *size = 4;
        break;
    case D3DFMT_A8B8G8R8:
    case D3DFMT_X8B8G8R8:
        v = (a << 24) | (b << 16) | (g << 8) | r;
        *size = 4;
        break;
    case D3DFMT_R8G8B8:
        v = c & 0xFFFFFF;
        *size = 3;
        break;
    case D3DFMT_R5G6B5:
        v = ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3);
        *size = 2;
        break;
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5:
        v = ((a >> 7) << 15) | ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3);
        *size = 2;
        break;
    case D3DFMT_A4R4G4B4:
    case D3DFMT_X4R4G4B4:
        v = ((a >> 4) << 12) | ((r >> 4) << 8) | ((g >> 4) << 4) | (b >> 4);
        *size = 2;
        break;
    case D3DFMT_A8:
        v = a;
        *size = 1;
        break;
    case D3DFMT_L8:
        v = (r * 77 + g * 150 + b * 29) >> 8;
        *size = 1;
        break;
    default:
        return false;
    }
    std::memcpy(out, &v, *size);
    return true;
}

bool D3D9FillRect(D3D9SurfaceData* surface, const RECT& rect, D3DCOLOR color)
{
    BYTE pixel[4];
    UINT size = 0;
    if (!PackColor(surface->format, color, pixel, &size))
        return false;
    LONG left = std::max<LONG>(rect.left, 0);
    LONG top = std::max<LONG>(rect.top, 0);
    LONG right = std::min<LONG>(rect.right, static_cast<LONG>(surface->width));
    LONG bottom = std::min<LONG>(rect.bottom, static_cast<LONG>(surface->height));
    for (LONG y = top; y < bottom; ++y) {
        BYTE* row = surface->bits.data() + static_cast<size_t>(y) * surface->pitch;
        for (LONG x = left; x < right; ++x)
            std::memcpy(row + static_cast<size_t>(x) * size, pixel, size);
    }
    return true;
}
