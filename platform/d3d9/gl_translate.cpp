// OpenGL back end: the token walk and operand decoding its vertex and pixel shader translators share.
#include "platform/d3d9/gl_translate_local.h"

#include <cstdio>
#include <cstring>

bool GlShaderTranslator::Walk(DWORD version, const char* versionError, int minParams, std::string* error)
{
    if (tokens_.empty() || tokens_[0] != version) {
        *error = versionError;
        return false;
    }
    size_t at = 1;
    while (at < tokens_.size()) {
        const DWORD instruction = tokens_[at++];
        const DWORD opcode = instruction & kShaderOpcodeMask;
        if (opcode == SHOP_END)
            return true;
        const int count = D3D9ShaderParamCount(opcode);
        if (count < minParams || tokens_.size() - at < static_cast<size_t>(count)) {
            *error = "unknown instruction or truncated stream";
            return false;
        }
        if (!Instruction(instruction, tokens_.data() + at, count)) {
            *error = error_;
            return false;
        }
        at += static_cast<size_t>(count);
    }
    *error = "no end token";
    return false;
}

bool GlShaderTranslator::RegisterName(DWORD type, DWORD index, const GlRegisterRule* rules, size_t count,
                                      const char* noRule, std::string* name)
{
    for (size_t i = 0; i < count; ++i) {
        const GlRegisterRule& rule = rules[i];
        if (rule.type != type)
            continue;
        if (index >= rule.count)
            return Fail(rule.outOfRange);
        if (type != SHREG_CONST)
            *name = rule.prefix + std::to_string(index);
        else if (!DefinedLiteral(index, name))
            *name = rule.prefix + ("[" + std::to_string(index) + "]");
        return true;
    }
    return Fail(noRule);
}

void GlShaderTranslator::Define(const DWORD* params)
{
    Def d;
    d.index = params[0] & kShaderRegNumMask;
    std::memcpy(d.v, params + 1, sizeof(d.v));
    defs_.push_back(d);
}

bool GlShaderTranslator::DefinedLiteral(DWORD index, std::string* literal) const
{
    for (auto d = defs_.rbegin(); d != defs_.rend(); ++d) {
        if (d->index != index)
            continue;
        if (literal)
            *literal = GlShaderLiteral(d->v);
        return true;
    }
    return false;
}

std::string GlShaderLiteral(const float v[4])
{
    char buffer[160];
    std::snprintf(buffer, sizeof(buffer), "vec4(%.9g, %.9g, %.9g, %.9g)", static_cast<double>(v[0]),
                  static_cast<double>(v[1]), static_cast<double>(v[2]), static_cast<double>(v[3]));
    return buffer;
}

std::string GlShaderSwizzle(DWORD token)
{
    static const char kComponents[] = "xyzw";
    const DWORD swizzle = (token >> kShaderSwizzleShift) & 0xFFu;
    std::string swz = ".";
    for (int i = 0; i < 4; ++i)
        swz += kComponents[(swizzle >> (2 * i)) & 3u];
    return swz;
}

std::string GlShaderWriteMask(DWORD token)
{
    static const char kComponents[] = "xyzw";
    const DWORD bits = (token >> kShaderMaskShift) & kShaderFullMask;
    std::string mask;
    for (int i = 0; i < 4; ++i) {
        if (bits & (1u << i))
            mask += kComponents[i];
    }
    return mask;
}
