// The vs_1_1 interpreter: runs a vertex shader token stream for one vertex at a time. Only the software device's
// vertex shading calls it, which the game does not link.
#include "platform/d3d9/device_local.h"
#include "platform/d3d9/shader_local.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// lit clamps its specular power just inside +-128.
constexpr float kLitPowerLimit = 127.9961f;

struct Vec {
    float v[4];
};

class VertexMachine {
public:
    VertexMachine(const float (*constants)[4], UINT constantCount, const float (*inputs)[4],
                  D3D9VertexShaderOutput* out)
        : constants_(constants), constantCount_(constantCount), inputs_(inputs), out_(out)
    {
        std::memset(temps_, 0, sizeof(temps_));
        std::memset(out_, 0, sizeof(*out_));
    }
    bool Run(const std::vector<DWORD>& tokens);

private:
    bool Read(DWORD token, int rowOffset, Vec* value) const;
    bool Write(DWORD token, const Vec& value);
    bool Execute(DWORD opcode, const DWORD* params, int count);
    bool Constant(DWORD index, Vec* value) const;

    const float (*constants_)[4];
    UINT constantCount_;
    const float (*inputs_)[4];
    D3D9VertexShaderOutput* out_;
    float temps_[kVs11Temps][4];
    int address_ = 0;
    std::vector<std::pair<DWORD, Vec>> defs_;
};

bool VertexMachine::Constant(DWORD index, Vec* value) const
{
    for (const auto& def : defs_) {
        if (def.first == index) {
            *value = def.second;
            return true;
        }
    }
    if (index >= constantCount_)
        return false;
    std::memcpy(value->v, constants_[index], sizeof(value->v));
    return true;
}

// Source operand, after swizzle and modifier. rowOffset selects the later
// rows of the m* matrix operations.
bool VertexMachine::Read(DWORD token, int rowOffset, Vec* value) const
{
    DWORD type = D3D9ShaderRegTypeOf(token);
    DWORD index = (token & kShaderRegNumMask) + static_cast<DWORD>(rowOffset);
    Vec raw{};
    switch (type) {
    case SHREG_TEMP:
        if (index >= kVs11Temps)
            return false;
        std::memcpy(raw.v, temps_[index], sizeof(raw.v));
        break;
    case SHREG_INPUT:
        if (index >= kVs11Inputs)
            return false;
        std::memcpy(raw.v, inputs_[index], sizeof(raw.v));
        break;
    case SHREG_CONST:
        if (token & kShaderRelativeBit) {
            // An address outside the constants reads zero instead of wandering off.
            long long at = static_cast<long long>(index) + address_;
            if (at >= 0 && !Constant(static_cast<DWORD>(at), &raw))
                raw = Vec{};
            break;
        }
        if (!Constant(index, &raw))
            return false;
        break;
    default:
        return false;
    }
    DWORD swizzle = (token >> kShaderSwizzleShift) & 0xFFu;
    for (int i = 0; i < 4; ++i)
        value->v[i] = raw.v[(swizzle >> (2 * i)) & 3u];
    DWORD mod = (token >> kShaderSrcModShift) & 0xFu;
    for (float& f : value->v) {
        switch (mod) {
        case SHMOD_NONE:
            break;
        case SHMOD_NEG:
            f = -f;
            break;
        case SHMOD_BIAS:
            f = f - 0.5f;
            break;
        case SHMOD_BIASNEG:
            f = 0.5f - f;
            break;
        case SHMOD_SIGN:
            f = 2.0f * f - 1.0f;
            break;
        case SHMOD_SIGNNEG:
            f = 1.0f - 2.0f * f;
            break;
        case SHMOD_COMP:
            f = 1.0f - f;
            break;
        case SHMOD_X2:
            f = 2.0f * f;
            break;
        case SHMOD_X2NEG:
            f = -2.0f * f;
            break;
        default:
            return false;
        }
    }
    return true;
}

bool VertexMachine::Write(DWORD token, const Vec& value)
{
    DWORD type = D3D9ShaderRegTypeOf(token);
    DWORD index = token & kShaderRegNumMask;
    DWORD mask = (token >> kShaderMaskShift) & kShaderFullMask;
    float* target = nullptr;
    switch (type) {
    case SHREG_TEMP:
        if (index >= kVs11Temps)
            return false;
        target = temps_[index];
        break;
    case SHREG_ADDR:
        if (index != 0)
            return false;
        // The 1.1 model loads the address register through floor().
        address_ = static_cast<int>(std::max(-1.0e6f, std::min(1.0e6f, std::floor(value.v[0]))));
        return true;
    case SHREG_RASTOUT:
        if (index == SHRAST_POSITION)
            target = out_->position;
        else if (index == SHRAST_FOG)
            target = &out_->fog;
        else if (index == SHRAST_POINTSIZE)
            target = &out_->pointSize;
        else
            return false;
        if (index != SHRAST_POSITION) {
            *target = value.v[0];  // scalar outputs take x
            return true;
        }
        break;
    case SHREG_ATTROUT:
        if (index >= kVs11ColorOuts)
            return false;
        target = out_->colors[index];
        break;
    case SHREG_TEXCRDOUT:
        if (index >= kVs11TexOuts)
            return false;
        target = out_->texcoords[index];
        break;
    default:
        return false;
    }
    for (int i = 0; i < 4; ++i) {
        if (mask & (1u << i))
            target[i] = value.v[i];
    }
    return true;
}

float Dot(const Vec& a, const Vec& b, int n)
{
    float sum = 0.0f;
    for (int i = 0; i < n; ++i)
        sum += a.v[i] * b.v[i];
    return sum;
}

Vec Splat(float f) { return Vec{{f, f, f, f}}; }

float Reciprocal(float f) { return f == 0.0f ? INFINITY : 1.0f / f; }

float Log2Abs(float f) { return f == 0.0f ? -INFINITY : std::log2(std::fabs(f)); }

bool VertexMachine::Execute(DWORD opcode, const DWORD* params, int count)
{
    if (opcode == SHOP_NOP || opcode == SHOP_DCL)
        return true;
    if (opcode == SHOP_DEF) {
        Vec value;
        std::memcpy(value.v, params + 1, sizeof(value.v));
        defs_.emplace_back(params[0] & kShaderRegNumMask, value);
        return true;
    }
    Vec s[3] = {};
    int rows = 0, width = 0;
    if (D3D9ShaderMatrixShape(opcode, &rows, &width)) {
        Vec row, r{};
        if (!Read(params[1], 0, &s[0]))
            return false;
        for (int i = 0; i < rows; ++i) {
            if (!Read(params[2], i, &row))
                return false;
            r.v[i] = Dot(s[0], row, width);
        }
        return Write(params[0], r);
    }
    for (int i = 1; i < count; ++i) {
        if (!Read(params[i], 0, &s[i - 1]))
            return false;
    }
    const Vec& a = s[0];
    const Vec& b = s[1];
    const Vec& c = s[2];
    Vec r{};
    float w = a.v[3];  // scalar instructions read their (replicated) last component
    switch (opcode) {
    case SHOP_MOV:
        r = a;
        break;
    case SHOP_ADD:
        for (int i = 0; i < 4; ++i)
            r.v[i] = a.v[i] + b.v[i];
        break;
    case SHOP_SUB:
        for (int i = 0; i < 4; ++i)
            r.v[i] = a.v[i] - b.v[i];
        break;
    case SHOP_MUL:
        for (int i = 0; i < 4; ++i)
            r.v[i] = a.v[i] * b.v[i];
        break;
    case SHOP_MAD:
        for (int i = 0; i < 4; ++i)
            r.v[i] = a.v[i] * b.v[i] + c.v[i];
        break;
    case SHOP_MIN:
        for (int i = 0; i < 4; ++i)
            r.v[i] = a.v[i] < b.v[i] ? a.v[i] : b.v[i];
        break;
    case SHOP_MAX:
        for (int i = 0; i < 4; ++i)
            r.v[i] = a.v[i] >= b.v[i] ? a.v[i] : b.v[i];
        break;
    case SHOP_SLT:
        for (int i = 0; i < 4; ++i)
            r.v[i] = a.v[i] < b.v[i] ? 1.0f : 0.0f;
        break;
    case SHOP_SGE:
        for (int i = 0; i < 4; ++i)
            r.v[i] = a.v[i] >= b.v[i] ? 1.0f : 0.0f;
        break;
    case SHOP_FRC:
        for (int i = 0; i < 4; ++i)
            r.v[i] = a.v[i] - std::floor(a.v[i]);
        break;
    case SHOP_DP3:
        r = Splat(Dot(a, b, 3));
        break;
    case SHOP_DP4:
        r = Splat(Dot(a, b, 4));
        break;
    case SHOP_RCP:
        r = Splat(w == 1.0f ? 1.0f : Reciprocal(w));
        break;
    case SHOP_RSQ:
        r = Splat(w == 1.0f ? 1.0f : Reciprocal(std::sqrt(std::fabs(w))));
        break;
    case SHOP_EXP:
        r = Splat(std::exp2(w));
        break;
    case SHOP_LOG:
        r = Splat(Log2Abs(w));
        break;
    case SHOP_EXPP: {
        float whole = std::floor(w);
        r = Vec{{std::exp2(whole), w - whole, std::exp2(w), 1.0f}};
        break;
    }
    case SHOP_LOGP: {
        if (w == 0.0f || !std::isfinite(w)) {
            r = Vec{{-INFINITY, 1.0f, -INFINITY, 1.0f}};
            break;
        }
        int exponent = 0;
        float mantissa = std::frexp(std::fabs(w), &exponent);  // [0.5, 1)
        r = Vec{{static_cast<float>(exponent - 1), mantissa * 2.0f, Log2Abs(w), 1.0f}};
        break;
    }
    case SHOP_LIT: {
        r = Vec{{1.0f, 0.0f, 0.0f, 1.0f}};
        if (a.v[0] > 0.0f) {
            r.v[1] = a.v[0];
            if (a.v[1] > 0.0f)
                r.v[2] = std::pow(a.v[1], std::max(-kLitPowerLimit, std::min(kLitPowerLimit, a.v[3])));
        }
        break;
    }
    case SHOP_DST:
        r = Vec{{1.0f, a.v[1] * b.v[1], a.v[2], b.v[3]}};
        break;
    default:
        return false;
    }
    return Write(params[0], r);
}

bool VertexMachine::Run(const std::vector<DWORD>& tokens)
{
    if (tokens.empty() || (tokens[0] & kShaderKindMask) != kVertexShaderKind)
        return false;
    size_t at = 1;
    while (at < tokens.size()) {
        DWORD instruction = tokens[at++];
        DWORD opcode = instruction & kShaderOpcodeMask;
        if (opcode == SHOP_END)
            return true;
        int count = D3D9ShaderParamCount(opcode);
        if (count < 0 || tokens.size() - at < static_cast<size_t>(count))
            return false;
        if (!Execute(opcode, tokens.data() + at, count))
            return false;
        at += static_cast<size_t>(count);
    }
    return false;  // no end token
}

}  // namespace

bool D3D9RunVertexShader(const std::vector<DWORD>& tokens, const float (*constants)[4], UINT constantCount,
                         const float (*inputs)[4], D3D9VertexShaderOutput* out)
{
    VertexMachine machine(constants, constantCount, inputs, out);
    if (machine.Run(tokens))
        return true;
    std::memset(out, 0, sizeof(*out));
    return false;
}
