// D3DX9-shaped matrix and vector helpers (row-vector convention) and buffers.
#include "platform/d3d9/d3dx9.h"

#include "platform/d3d9/shader_local.h"

#include <cstring>
#include <string>
#include <vector>

// Product into a temporary first, so the output may alias an input.
static D3DMATRIX Multiply(const D3DMATRIX& a, const D3DMATRIX& b)
{
    D3DMATRIX r;
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            r.m[i][j] = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j] + a.m[i][3] * b.m[3][j];
        }
    }
    return r;
}

static D3DMATRIX Transpose(const D3DMATRIX& a)
{
    D3DMATRIX r;
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j)
            r.m[i][j] = a.m[j][i];
    }
    return r;
}

D3DXMATRIX* D3DXMatrixMultiply(D3DXMATRIX* pOut, const D3DXMATRIX* pM1, const D3DXMATRIX* pM2)
{
    if (!pOut || !pM1 || !pM2)
        return nullptr;
    D3DMATRIX r = Multiply(*pM1, *pM2);
    *static_cast<D3DMATRIX*>(pOut) = r;
    return pOut;
}

D3DXMATRIX* D3DXMatrixMultiplyTranspose(D3DXMATRIX* pOut, const D3DXMATRIX* pM1, const D3DXMATRIX* pM2)
{
    if (!pOut || !pM1 || !pM2)
        return nullptr;
    D3DMATRIX r = Transpose(Multiply(*pM1, *pM2));
    *static_cast<D3DMATRIX*>(pOut) = r;
    return pOut;
}

D3DXMATRIX* D3DXMatrixTranspose(D3DXMATRIX* pOut, const D3DXMATRIX* pM)
{
    if (!pOut || !pM)
        return nullptr;
    D3DMATRIX r = Transpose(*pM);
    *static_cast<D3DMATRIX*>(pOut) = r;
    return pOut;
}

D3DXVECTOR3* D3DXVec3TransformNormal(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV, const D3DXMATRIX* pM)
{
    if (!pOut || !pV || !pM)
        return nullptr;
    const D3DMATRIX& m = *pM;
    float x = pV->x, y = pV->y, z = pV->z;
    pOut->x = x * m._11 + y * m._21 + z * m._31;
    pOut->y = x * m._12 + y * m._22 + z * m._32;
    pOut->z = x * m._13 + y * m._23 + z * m._33;
    return pOut;
}

D3DXVECTOR3* D3DXVec3TransformCoord(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV, const D3DXMATRIX* pM)
{
    if (!pOut || !pV || !pM)
        return nullptr;
    const D3DMATRIX& m = *pM;
    const float x = pV->x, y = pV->y, z = pV->z;
    D3DXVECTOR4 r(x * m._11 + y * m._21 + z * m._31 + m._41, x * m._12 + y * m._22 + z * m._32 + m._42,
                  x * m._13 + y * m._23 + z * m._33 + m._43, x * m._14 + y * m._24 + z * m._34 + m._44);
    // A point on the eye plane has no projection; it is left undivided rather than made infinite.
    float inv = r.w != 0.0f ? 1.0f / r.w : 1.0f;
    pOut->x = r.x * inv;
    pOut->y = r.y * inv;
    pOut->z = r.z * inv;
    return pOut;
}

namespace {

class Buffer final : public ID3DXBuffer {
public:
    explicit Buffer(DWORD size) : bytes_(size, 0) {}
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override
    {
        if (refs_ == 0)
            return 0;
        ULONG left = --refs_;
        if (left == 0)
            delete this;
        return left;
    }
    void* GetBufferPointer() override { return bytes_.empty() ? nullptr : bytes_.data(); }
    DWORD GetBufferSize() override { return static_cast<DWORD>(bytes_.size()); }

private:
    std::vector<unsigned char> bytes_;
    ULONG refs_ = 1;
};

}  // namespace

HRESULT D3DXCreateBuffer(DWORD NumBytes, ID3DXBuffer** ppBuffer)
{
    if (!ppBuffer)
        return D3DERR_INVALIDCALL;
    *ppBuffer = new Buffer(NumBytes);
    return D3D_OK;
}

// Copies text into a new buffer with its terminator; no buffer when out is null.
static void PutText(const std::string& text, ID3DXBuffer** out)
{
    if (!out)
        return;
    *out = nullptr;
    if (FAILED(D3DXCreateBuffer(static_cast<DWORD>(text.size() + 1), out)))
        return;
    std::memcpy((*out)->GetBufferPointer(), text.c_str(), text.size() + 1);
}

HRESULT D3DXAssembleShader(const char* pSrcData, UINT SrcDataLen, const D3DXMACRO* pDefines, LPD3DXINCLUDE, DWORD,
                           ID3DXBuffer** ppShader, ID3DXBuffer** ppErrorMsgs)
{
    if (ppShader)
        *ppShader = nullptr;
    if (ppErrorMsgs)
        *ppErrorMsgs = nullptr;
    if (!pSrcData || !ppShader)
        return D3DERR_INVALIDCALL;
    // There is no preprocessor: a define could change the text's meaning.
    if (pDefines && pDefines->Name) {
        PutText("macro definitions are not supported", ppErrorMsgs);
        return D3DXERR_INVALIDDATA;
    }
    std::vector<DWORD> tokens;
    std::string error;
    if (!D3D9AssembleShaderText(pSrcData, SrcDataLen, &tokens, &error)) {
        PutText(error, ppErrorMsgs);
        return D3DXERR_INVALIDDATA;
    }
    DWORD bytes = static_cast<DWORD>(tokens.size() * sizeof(DWORD));
    if (FAILED(D3DXCreateBuffer(bytes, ppShader)))
        return E_OUTOFMEMORY;
    std::memcpy((*ppShader)->GetBufferPointer(), tokens.data(), bytes);
    return D3D_OK;
}
