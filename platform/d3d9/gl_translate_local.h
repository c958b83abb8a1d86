// What the OpenGL back end's vertex and pixel shader translators share: the walk over a 1.1 token stream, the
// registers an operand names, the constants def instructions set, and the GLSL text of swizzles and masks.
#pragma once

#include "platform/d3d9/shader_local.h"

#include <cstddef>
#include <string>
#include <vector>

// GLSL pieces of an operand: a vec4 literal, a source token's swizzle (".xyzw"), and a destination token's write
// mask ("xz"; empty when nothing is written).
std::string GlShaderLiteral(const float v[4]);
std::string GlShaderSwizzle(DWORD token);
std::string GlShaderWriteMask(DWORD token);

// The registers of one type a translation may name: `count` of them, written "<prefix><index>", constants as
// "<prefix>[<index>]"; `outOfRange` is the failure for an index past them.
struct GlRegisterRule {
    DWORD type;
    DWORD count;
    const char* prefix;
    const char* outOfRange;
};

class GlShaderTranslator {
public:
    virtual ~GlShaderTranslator() = default;

protected:
    explicit GlShaderTranslator(const std::vector<DWORD>& tokens) : tokens_(tokens) {}

    // Hands each instruction after the version token to Instruction, up to the end token. False, with *error set,
    // for another version token (versionError), an unknown or cut-short instruction or one with fewer than
    // minParams parameters, an instruction that fails, or a stream without its end token.
    bool Walk(DWORD version, const char* versionError, int minParams, std::string* error);
    // One instruction: its whole token (opcode and flags) and its parameters; false, through Fail, stops the walk.
    virtual bool Instruction(DWORD instruction, const DWORD* params, int count) = 0;

    // The GLSL name of register `index` of the type, by the type's rule; a constant a def set reads as the def's
    // literal. False, through Fail, when no rule has the type (noRule) or the index is past the rule's count.
    template <size_t N>
    bool RegisterName(DWORD type, DWORD index, const GlRegisterRule (&rules)[N], const char* noRule, std::string* name)
    {
        return RegisterName(type, index, rules, N, noRule, name);
    }
    // Keeps a def instruction's register and value: from here on it replaces the uploaded constant.
    void Define(const DWORD* params);
    // The literal (may be null) of the last def of the constant so far; false when none set it.
    bool DefinedLiteral(DWORD index, std::string* literal) const;
    bool Fail(const char* what)
    {
        error_ = what;
        return false;
    }

    struct Def {
        DWORD index;
        float v[4];
    };
    const std::vector<DWORD>& tokens_;
    std::vector<Def> defs_;
    std::string body_;
    std::string error_;

private:
    bool RegisterName(DWORD type, DWORD index, const GlRegisterRule* rules, size_t count, const char* noRule,
                      std::string* name);
};
