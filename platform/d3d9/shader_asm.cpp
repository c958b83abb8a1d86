// The shader assembler: vs_1_1 and ps_1_1 text to Direct3D 9 token streams, and the reading of a stream's
// declarations.
//
// Sections: opcode table, lexing helpers, registers, operands, instructions, the entry.
#include "platform/d3d9/device_local.h"
#include "platform/d3d9/shader_local.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

// ---------------------------------------------------------------- opcode table

enum Model {
    kVertex = 1,
    kPixel = 2,
    kBoth = 3
};

struct OpInfo {
    const char* name;
    DWORD opcode;
    int sources;  // operands after the destination
    int models;
};

const OpInfo kOps[] = {
    {"nop", SHOP_NOP, -1, kBoth},         {"mov", SHOP_MOV, 1, kBoth},     {"add", SHOP_ADD, 2, kBoth},
    {"sub", SHOP_SUB, 2, kBoth},          {"mad", SHOP_MAD, 3, kBoth},     {"mul", SHOP_MUL, 2, kBoth},
    {"rcp", SHOP_RCP, 1, kVertex},        {"rsq", SHOP_RSQ, 1, kVertex},   {"dp3", SHOP_DP3, 2, kBoth},
    {"dp4", SHOP_DP4, 2, kVertex},        {"min", SHOP_MIN, 2, kVertex},   {"max", SHOP_MAX, 2, kVertex},
    {"slt", SHOP_SLT, 2, kVertex},        {"sge", SHOP_SGE, 2, kVertex},   {"exp", SHOP_EXP, 1, kVertex},
    {"log", SHOP_LOG, 1, kVertex},        {"lit", SHOP_LIT, 1, kVertex},   {"dst", SHOP_DST, 2, kVertex},
    {"lrp", SHOP_LRP, 3, kPixel},         {"frc", SHOP_FRC, 1, kVertex},   {"m4x4", SHOP_M4x4, 2, kVertex},
    {"m4x3", SHOP_M4x3, 2, kVertex},      {"m3x4", SHOP_M3x4, 2, kVertex}, {"m3x3", SHOP_M3x3, 2, kVertex},
    {"m3x2", SHOP_M3x2, 2, kVertex},      {"expp", SHOP_EXPP, 1, kVertex}, {"logp", SHOP_LOGP, 1, kVertex},
    {"cnd", SHOP_CND, 3, kPixel},         {"tex", SHOP_TEX, 0, kPixel},    {"texcoord", SHOP_TEXCOORD, 0, kPixel},
    {"texkill", SHOP_TEXKILL, 0, kPixel},
};

const OpInfo* FindOp(const std::string& name)
{
    for (const OpInfo& op : kOps) {
        if (name == op.name)
            return &op;
    }
    return nullptr;
}

const char* const kUsageNames[] = {"position", "blendweight", "blendindices", "normal", "psize", "texcoord", "tangent",
                                   "binormal", "tessfactor",  "positiont",    "color",  "fog",   "depth",    "sample"};

// A def carries four float components.
constexpr int kDefComponents = 4;
// Usage indices fit four bits of the dcl token.
constexpr unsigned kMaxUsageIndex = 15;

// ---------------------------------------------------------------- lexing helpers

std::string Trim(const std::string& s)
{
    size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b])))
        ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1])))
        --e;
    return s.substr(b, e - b);
}

std::string Lower(std::string s)
{
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// Splits on commas outside brackets.
std::vector<std::string> SplitOperands(const std::string& s)
{
    std::vector<std::string> out;
    std::string cur;
    int depth = 0;
    for (char c : s) {
        if (c == '[')
            ++depth;
        if (c == ']')
            --depth;
        if (c == ',' && depth == 0) {
            out.push_back(Trim(cur));
            cur.clear();
            continue;
        }
        cur += c;
    }
    out.push_back(Trim(cur));
    return out;
}

// Unsigned decimal number filling the whole string, below limit.
bool ParseIndex(const std::string& s, unsigned limit, unsigned* out)
{
    if (s.empty() || s.size() > 4)
        return false;
    unsigned v = 0;
    for (char c : s) {
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
        v = v * 10 + static_cast<unsigned>(c - '0');
    }
    if (v >= limit)
        return false;
    *out = v;
    return true;
}

// ---------------------------------------------------------------- registers

struct Reg {
    DWORD type = 0;
    unsigned index = 0;
    bool relative = false;
};

class Assembler {
public:
    Assembler(std::vector<DWORD>* tokens, std::string* error) : tokens_(tokens), error_(error) {}
    bool Run(const char* text, size_t length);

private:
    bool Fail(const std::string& what)
    {
        *error_ = "line " + std::to_string(line_) + ": " + what;
        return false;
    }
    bool Version(const std::string& s);
    bool Instruction(std::string s);
    bool ParseReg(const std::string& s, Reg* reg);
    bool ParseDest(const std::string& s, DWORD modifiers, DWORD* token);
    bool ParseSource(std::string s, DWORD* token);
    bool Dcl(const std::string& usage, const std::vector<std::string>& operands);
    bool Def(const std::vector<std::string>& operands);

    std::vector<DWORD>* tokens_;
    std::string* error_;
    unsigned line_ = 0;
    bool pixel_ = false;
    bool haveVersion_ = false;
};

// Register name and number, with c[expr] forms for constants.
bool Assembler::ParseReg(const std::string& text, Reg* reg)
{
    std::string s = Lower(text);
    struct Named {
        const char* prefix;
        DWORD type;
        unsigned vsLimit;
        unsigned psLimit;
        unsigned fixedIndex;  // for names that carry no number
    };
    static const Named kNamed[] = {
        {"opos", SHREG_RASTOUT, 1, 0, SHRAST_POSITION},
        {"ofog", SHREG_RASTOUT, 1, 0, SHRAST_FOG},
        {"opts", SHREG_RASTOUT, 1, 0, SHRAST_POINTSIZE},
    };
    for (const Named& n : kNamed) {
        if (s == n.prefix) {
            if (pixel_)
                return Fail("'" + text + "' is not a pixel shader register");
            reg->type = n.type;
            reg->index = n.fixedIndex;
            return true;
        }
    }
    struct Numbered {
        const char* prefix;
        DWORD type;
        unsigned vsLimit;  // 0: not in this model
        unsigned psLimit;
    };
    static const Numbered kNumbered[] = {
        {"od", SHREG_ATTROUT, kVs11ColorOuts, 0},
        {"ot", SHREG_TEXCRDOUT, kVs11TexOuts, 0},
        {"r", SHREG_TEMP, kVs11Temps, kPs11Temps},
        {"v", SHREG_INPUT, kVs11Inputs, kPs11Inputs},
        {"c", SHREG_CONST, kVs11Constants, kPs11Constants},
        {"a", SHREG_ADDR, 1, 0},
        {"t", SHREG_ADDR, 0, kPs11Textures},
    };
    for (const Numbered& n : kNumbered) {
        size_t len = std::strlen(n.prefix);
        if (s.compare(0, len, n.prefix) != 0)
            continue;
        unsigned limit = pixel_ ? n.psLimit : n.vsLimit;
        if (limit == 0)
            return Fail("'" + text + "' is not a " + (pixel_ ? "pixel" : "vertex") + " shader register");
        std::string rest = s.substr(len);
        reg->type = n.type;
        if (n.type == SHREG_CONST && !rest.empty() && rest.front() == '[') {
            if (rest.back() != ']')
                return Fail("unclosed '[' in '" + text + "'");
            std::string inner = rest.substr(1, rest.size() - 2);
            std::string number;
            for (char c : inner) {
                if (c != ' ' && c != '\t')
                    number += c;
            }
            // a0.x + n, n + a0.x, a0.x or n.
            size_t at = number.find("a0.x");
            if (at != std::string::npos) {
                if (pixel_)
                    return Fail("relative addressing in a pixel shader");
                reg->relative = true;
                number.erase(at, 4);
                if (!number.empty() && number.front() == '+')
                    number.erase(0, 1);
                else if (!number.empty() && number.back() == '+')
                    number.pop_back();
                if (number.empty())
                    number = "0";
            }
            if (!ParseIndex(number, limit, &reg->index))
                return Fail("bad constant address '" + text + "' (registers 0-" + std::to_string(limit - 1) + ")");
            return true;
        }
        if (!ParseIndex(rest, limit, &reg->index))
            return Fail("bad register '" + text + "' (" + n.prefix + "0-" + n.prefix + std::to_string(limit - 1) + ")");
        return true;
    }
    return Fail("unknown register '" + text + "'");
}

int ComponentOf(char c)
{
    switch (c) {
    case 'x':
    case 'r':
        return 0;
    case 'y':
    case 'g':
        return 1;
    case 'z':
    case 'b':
        return 2;
    case 'w':
    case 'a':
        return 3;
    default:
        return -1;
    }
}

// Splits "name.suffix" at the last '.' after any bracket.
void SplitSuffix(const std::string& s, std::string* name, std::string* suffix)
{
    size_t close = s.rfind(']');
    size_t dot = s.find('.', close == std::string::npos ? 0 : close);
    if (dot == std::string::npos) {
        *name = s;
        suffix->clear();
        return;
    }
    *name = s.substr(0, dot);
    *suffix = Lower(s.substr(dot + 1));
}

// ---------------------------------------------------------------- operands

bool Assembler::ParseDest(const std::string& s, DWORD modifiers, DWORD* token)
{
    std::string name, suffix;
    SplitSuffix(s, &name, &suffix);
    Reg reg;
    if (!ParseReg(name, &reg))
        return false;
    bool writable = reg.type == SHREG_TEMP || reg.type == SHREG_RASTOUT || reg.type == SHREG_ATTROUT ||
                    reg.type == SHREG_TEXCRDOUT || reg.type == SHREG_ADDR;
    if (!writable || reg.relative)
        return Fail("'" + s + "' cannot be written");
    DWORD mask = 0;
    if (suffix.empty()) {
        mask = kShaderFullMask;
    } else {
        int last = -1;
        for (char c : suffix) {
            int comp = ComponentOf(c);
            if (comp <= last)
                return Fail("bad write mask '." + suffix + "'");
            last = comp;
            mask |= 1u << comp;
        }
    }
    if (reg.type == SHREG_ADDR && !pixel_ && mask != 1u)
        return Fail("a0 is written through a0.x only");
    *token = kShaderParamBit | D3D9ShaderRegTypeBits(reg.type) | reg.index | (mask << kShaderMaskShift) | modifiers;
    return true;
}

bool Assembler::ParseSource(std::string s, DWORD* token)
{
    bool negate = false;
    bool complement = false;
    if (!s.empty() && s.front() == '-') {
        negate = true;
        s = Trim(s.substr(1));
    }
    if (s.size() > 2 && s[0] == '1' && s[1] == '-') {
        if (!pixel_ || negate)
            return Fail("'1-' is a pixel shader source modifier, not combined with '-'");
        complement = true;
        s = Trim(s.substr(2));
    }
    DWORD mod = negate ? SHMOD_NEG : SHMOD_NONE;
    std::string lower = Lower(s);
    struct Suffix {
        const char* text;
        DWORD plain;
        DWORD negated;
    };
    static const Suffix kSuffixes[] = {
        {"_bias", SHMOD_BIAS, SHMOD_BIASNEG}, {"_bx2", SHMOD_SIGN, SHMOD_SIGNNEG}, {"_x2", SHMOD_X2, SHMOD_X2NEG}};
    for (const Suffix& x : kSuffixes) {
        size_t len = std::strlen(x.text);
        size_t at = lower.find(x.text);
        if (at == std::string::npos)
            continue;
        if (!pixel_ || complement)
            return Fail("source modifier '" + std::string(x.text) + "' is not allowed here");
        mod = negate ? x.negated : x.plain;
        s.erase(at, len);
        break;
    }
    if (complement)
        mod = SHMOD_COMP;
    std::string name, suffix;
    SplitSuffix(s, &name, &suffix);
    Reg reg;
    if (!ParseReg(name, &reg))
        return false;
    bool readable = reg.type == SHREG_TEMP || reg.type == SHREG_INPUT || reg.type == SHREG_CONST ||
                    (reg.type == SHREG_ADDR && pixel_);
    if (!readable)
        return Fail("'" + s + "' cannot be read");
    DWORD swizzle = kShaderIdentitySwizzle;
    if (!suffix.empty()) {
        if (suffix.size() > 4)
            return Fail("bad swizzle '." + suffix + "'");
        swizzle = 0;
        int comp = 0;
        for (size_t i = 0; i < 4; ++i) {
            if (i < suffix.size()) {
                comp = ComponentOf(suffix[i]);
                if (comp < 0)
                    return Fail("bad swizzle '." + suffix + "'");
            }
            swizzle |= static_cast<DWORD>(comp) << (2 * i);  // short swizzles repeat their last component
        }
    }
    *token = kShaderParamBit | D3D9ShaderRegTypeBits(reg.type) | reg.index | (swizzle << kShaderSwizzleShift) |
             (mod << kShaderSrcModShift) | (reg.relative ? kShaderRelativeBit : 0);
    return true;
}

// ---------------------------------------------------------------- instructions

bool Assembler::Version(const std::string& s)
{
    std::string v = Lower(s);
    for (char& c : v) {
        if (c == '.')
            c = '_';
    }
    if (v == "vs_1_1") {
        tokens_->push_back(D3DVS_VERSION(1, 1));
    } else if (v == "ps_1_1") {
        pixel_ = true;
        tokens_->push_back(D3DPS_VERSION(1, 1));
    } else {
        return Fail("expected 'vs_1_1' or 'ps_1_1', found '" + s + "'");
    }
    haveVersion_ = true;
    return true;
}

bool Assembler::Dcl(const std::string& usageText, const std::vector<std::string>& operands)
{
    if (pixel_)
        return Fail("ps_1_1 has no dcl");
    if (operands.size() != 1)
        return Fail("dcl takes one register");
    std::string usage = usageText;
    std::string digits;
    while (!usage.empty() && std::isdigit(static_cast<unsigned char>(usage.back()))) {
        digits.insert(digits.begin(), usage.back());
        usage.pop_back();
    }
    unsigned index = 0;
    if (!digits.empty() && !ParseIndex(digits, kMaxUsageIndex + 1, &index))
        return Fail("bad usage index in 'dcl_" + usageText + "'");
    DWORD code = sizeof(kUsageNames) / sizeof(kUsageNames[0]);
    for (DWORD i = 0; i < code; ++i) {
        if (usage == kUsageNames[i]) {
            code = i;
            break;
        }
    }
    if (code == sizeof(kUsageNames) / sizeof(kUsageNames[0]))
        return Fail("unknown usage 'dcl_" + usageText + "'");
    std::string name, suffix;
    SplitSuffix(operands[0], &name, &suffix);
    Reg reg;
    if (!ParseReg(name, &reg))
        return false;
    if (reg.type != SHREG_INPUT || !suffix.empty())
        return Fail("dcl declares a whole input register v#");
    tokens_->push_back(SHOP_DCL);
    tokens_->push_back(kShaderDclMarker | code | (index << kShaderDclIndexShift));
    tokens_->push_back(kShaderParamBit | D3D9ShaderRegTypeBits(reg.type) | reg.index |
                       (kShaderFullMask << kShaderMaskShift));
    return true;
}

bool Assembler::Def(const std::vector<std::string>& operands)
{
    if (operands.size() != 1 + kDefComponents)
        return Fail("def takes a constant and four numbers");
    std::string name, suffix;
    SplitSuffix(operands[0], &name, &suffix);
    Reg reg;
    if (!ParseReg(name, &reg))
        return false;
    if (reg.type != SHREG_CONST || reg.relative || !suffix.empty())
        return Fail("def defines a constant register c#");
    tokens_->push_back(SHOP_DEF);
    tokens_->push_back(kShaderParamBit | D3D9ShaderRegTypeBits(reg.type) | reg.index |
                       (kShaderFullMask << kShaderMaskShift));
    for (int i = 1; i <= kDefComponents; ++i) {
        const std::string& number = operands[static_cast<size_t>(i)];
        char* end = nullptr;
        float f = std::strtof(number.c_str(), &end);
        if (number.empty() || end != number.c_str() + number.size() || !std::isfinite(f))
            return Fail("bad number '" + number + "' in def");
        DWORD bits;
        std::memcpy(&bits, &f, sizeof(bits));
        tokens_->push_back(bits);
    }
    return true;
}

bool Assembler::Instruction(std::string s)
{
    DWORD control = 0;
    if (s.front() == '+') {
        if (!pixel_)
            return Fail("co-issue '+' belongs to pixel shaders");
        control = kShaderCoissueBit;
        s = Trim(s.substr(1));
    }
    size_t space = s.find_first_of(" \t");
    std::string mnemonic = Lower(s.substr(0, space));
    std::vector<std::string> operands;
    if (space != std::string::npos)
        operands = SplitOperands(Trim(s.substr(space)));
    for (const std::string& op : operands) {
        if (op.empty())
            return Fail("empty operand in '" + s + "'");
    }
    if (mnemonic.compare(0, 4, "dcl_") == 0)
        return Dcl(mnemonic.substr(4), operands);
    if (mnemonic == "def")
        return Def(operands);

    // Instruction modifiers: _sat and the pixel shader's result shifts.
    DWORD dstMods = 0;
    size_t underscore = mnemonic.find('_');
    std::string base = mnemonic.substr(0, underscore);
    while (underscore != std::string::npos) {
        size_t next = mnemonic.find('_', underscore + 1);
        std::string mod = mnemonic.substr(underscore + 1, next == std::string::npos ? next : next - underscore - 1);
        underscore = next;
        if (mod == "sat" && pixel_) {
            dstMods |= kShaderSaturate << kShaderDstModShift;
        } else if (pixel_ && (mod == "x2" || mod == "x4" || mod == "d2")) {
            DWORD shift = mod == "x2" ? 1u : mod == "x4" ? 2u : 0xFu;
            dstMods |= shift << kShaderShiftShift;
        } else {
            return Fail("unknown modifier '_" + mod + "' on '" + base + "'");
        }
    }
    const OpInfo* op = FindOp(base);
    if (!op)
        return Fail("unknown instruction '" + base + "'");
    if (!(op->models & (pixel_ ? kPixel : kVertex)))
        return Fail("'" + base + "' is not a " + (pixel_ ? "ps_1_1" : "vs_1_1") + " instruction");
    size_t expected = op->sources < 0 ? 0 : static_cast<size_t>(op->sources) + 1;
    if (operands.size() != expected)
        return Fail("'" + base + "' takes " + std::to_string(expected) + " operands");
    if (control && (op->opcode == SHOP_TEX || op->opcode == SHOP_TEXCOORD || op->opcode == SHOP_TEXKILL))
        return Fail("texture instructions cannot be co-issued");
    tokens_->push_back(op->opcode | control);
    if (expected == 0)
        return true;
    DWORD dest = 0;
    if (!ParseDest(operands[0], dstMods, &dest))
        return false;
    bool textureOp = op->opcode == SHOP_TEX || op->opcode == SHOP_TEXCOORD || op->opcode == SHOP_TEXKILL;
    DWORD destType = D3D9ShaderRegTypeOf(dest);
    if (textureOp && destType != SHREG_ADDR)
        return Fail("'" + base + "' writes a texture register t#");
    if (!textureOp && pixel_ && destType == SHREG_ADDR)
        return Fail("t# registers are written by tex only");
    if (destType == SHREG_ADDR && !pixel_ && op->opcode != SHOP_MOV)
        return Fail("a0 is loaded with mov");
    tokens_->push_back(dest);
    for (size_t i = 1; i < operands.size(); ++i) {
        DWORD src = 0;
        if (!ParseSource(operands[i], &src))
            return false;
        tokens_->push_back(src);
    }
    return true;
}

bool Assembler::Run(const char* text, size_t length)
{
    size_t pos = 0;
    while (pos < length) {
        size_t end = pos;
        while (end < length && text[end] != '\n' && text[end] != '\0')
            ++end;
        ++line_;
        std::string s(text + pos, end - pos);
        bool stop = end < length && text[end] == '\0';
        pos = end + 1;
        size_t comment = std::min(s.find("//"), s.find(';'));
        if (comment != std::string::npos)
            s.erase(comment);
        s = Trim(s);
        if (!s.empty()) {
            if (s.front() == '#')
                return Fail("preprocessor directives are not supported");
            if (!haveVersion_) {
                if (!Version(s))
                    return false;
            } else if (!Instruction(s)) {
                return false;
            }
        }
        if (stop)
            break;
    }
    if (!haveVersion_)
        return Fail("no shader version ('vs_1_1' or 'ps_1_1')");
    tokens_->push_back(kShaderEndToken);
    return true;
}

}  // namespace

int D3D9ShaderParamCount(DWORD opcode)
{
    if (opcode == SHOP_DEF)
        return 1 + kDefComponents;
    if (opcode == SHOP_DCL)
        return 2;
    for (const OpInfo& op : kOps) {
        if (op.opcode == opcode)
            return op.sources < 0 ? 0 : op.sources + 1;
    }
    return -1;
}

int D3D9ShaderInputFor(const std::vector<DWORD>& tokens, BYTE usage, BYTE usageIndex)
{
    size_t at = 1;
    while (at < tokens.size()) {
        DWORD opcode = tokens[at++] & kShaderOpcodeMask;
        int count = D3D9ShaderParamCount(opcode);
        if (opcode == SHOP_END || count < 0 || tokens.size() - at < static_cast<size_t>(count))
            return -1;
        if (opcode == SHOP_DCL) {
            DWORD dcl = tokens[at];
            DWORD reg = tokens[at + 1];
            if ((dcl & kShaderDclUsageMask) == usage && ((dcl >> kShaderDclIndexShift) & 0xFu) == usageIndex &&
                D3D9ShaderRegTypeOf(reg) == SHREG_INPUT && (reg & kShaderRegNumMask) < kVs11Inputs)
                return static_cast<int>(reg & kShaderRegNumMask);
        }
        at += static_cast<size_t>(count);
    }
    return -1;
}

bool D3D9AssembleShaderText(const char* text, size_t length, std::vector<DWORD>* tokens, std::string* error)
{
    tokens->clear();
    error->clear();
    if (!text)
        length = 0;
    Assembler assembler(tokens, error);
    if (assembler.Run(text, length))
        return true;
    tokens->clear();
    return false;
}
