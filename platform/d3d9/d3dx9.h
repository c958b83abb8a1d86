// D3DX9-shaped helpers of the Linux stand-in layer: matrices, vector transforms and the shader assembler entry.
#pragma once

#include "platform/d3d9/d3d9.h"

// Points and directions are row vectors: v' = v * M.

struct D3DXVECTOR3 : D3DVECTOR {
    D3DXVECTOR3() : D3DVECTOR{0.0f, 0.0f, 0.0f} {}
    D3DXVECTOR3(float x, float y, float z) : D3DVECTOR{x, y, z} {}
};

struct D3DXVECTOR4 {
    float x, y, z, w;
    D3DXVECTOR4() : x(0.0f), y(0.0f), z(0.0f), w(0.0f) {}
    D3DXVECTOR4(float x, float y, float z, float w) : x(x), y(y), z(z), w(w) {}
};

struct D3DXMATRIX : D3DMATRIX {
    D3DXMATRIX() : D3DMATRIX() {}
    D3DXMATRIX(const D3DMATRIX& m) : D3DMATRIX(m) {}
    float& operator()(unsigned row, unsigned col) { return m[row][col]; }
    float operator()(unsigned row, unsigned col) const { return m[row][col]; }
};

typedef D3DXMATRIX* LPD3DXMATRIX;

// pOut = pM1 * pM2; pOut may be one of the inputs.
D3DXMATRIX* D3DXMatrixMultiply(D3DXMATRIX* pOut, const D3DXMATRIX* pM1, const D3DXMATRIX* pM2);
// pOut = (pM1 * pM2) transposed, the layout shader constants want.
D3DXMATRIX* D3DXMatrixMultiplyTranspose(D3DXMATRIX* pOut, const D3DXMATRIX* pM1, const D3DXMATRIX* pM2);
D3DXMATRIX* D3DXMatrixTranspose(D3DXMATRIX* pOut, const D3DXMATRIX* pM);
// (x, y, z, 0) * M.
D3DXVECTOR3* D3DXVec3TransformNormal(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV, const D3DXMATRIX* pM);
// (x, y, z, 1) * M, divided by the resulting w (left undivided when w is 0).
D3DXVECTOR3* D3DXVec3TransformCoord(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV, const D3DXMATRIX* pM);
// (x, y, z, 1) * M.

// ---- buffers and the shader assembler

#define D3DXSHADER_DEBUG (1 << 0)
#define D3DXSHADER_SKIPVALIDATION (1 << 1)
#define D3DXSHADER_SKIPOPTIMIZATION (1 << 2)

#define D3DXERR_INVALIDDATA MAKE_D3DHRESULT(2905)

struct ID3DXBuffer {
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;
    virtual void* GetBufferPointer() = 0;
    virtual DWORD GetBufferSize() = 0;

protected:
    virtual ~ID3DXBuffer() {}
};

typedef ID3DXBuffer* LPD3DXBUFFER;

typedef struct _D3DXMACRO {
    const char* Name;
    const char* Definition;
} D3DXMACRO, *LPD3DXMACRO;

struct ID3DXInclude;
typedef ID3DXInclude* LPD3DXINCLUDE;

HRESULT D3DXCreateBuffer(DWORD NumBytes, ID3DXBuffer** ppBuffer);

// Assembles vs_1_1 or ps_1_1 text (length SrcDataLen, or up to a NUL) into a
// token stream for CreateVertexShader / CreatePixelShader. Malformed text
// fails with D3DXERR_INVALIDDATA, *ppShader null and, when asked for, a
// message naming the line in *ppErrorMsgs. There is no preprocessor: defines
// are refused, includes ignored; the flags change nothing.
HRESULT D3DXAssembleShader(const char* pSrcData, UINT SrcDataLen, const D3DXMACRO* pDefines, LPD3DXINCLUDE pInclude,
                           DWORD Flags, ID3DXBuffer** ppShader, ID3DXBuffer** ppErrorMsgs);
