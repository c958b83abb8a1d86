// OpenGL back end: vs_1_1 token streams translated to GLSL vertex shaders, and the draws that run them.
//
// Sections: translation (pure), program objects, draw setup.
#include "platform/d3d9/device_local.h"
#include "platform/d3d9/gl_local.h"
#include "platform/d3d9/gl_translate_local.h"

#include <algorithm>
#include <cstring>

// ---------------------------------------------------------------- translation

namespace {

// GLSL helpers with the interpreter's edge cases (rcp and rsq of 1 exact, zero-guarded addressing); the
// constant array's declaration goes before them.
const char* const kShaderPrelude = "uniform vec4 pixelCentre;\n"
                                   "float rcp_(float x) { return x == 1.0 ? 1.0 : 1.0 / x; }\n"
                                   "float rsq_(float x) { return x == 1.0 ? 1.0 : inversesqrt(abs(x)); }\n"
                                   "vec4 lit_(vec4 a) {\n"
                                   "  vec4 r = vec4(1.0, 0.0, 0.0, 1.0);\n"
                                   "  if (a.x > 0.0) {\n"
                                   "    r.y = a.x;\n"
                                   "    if (a.y > 0.0) r.z = pow(a.y, clamp(a.w, -127.9961, 127.9961));\n"
                                   "  }\n"
                                   "  return r;\n"
                                   "}\n"
                                   "vec4 logp_(float w) {\n"
                                   "  float l = log2(abs(w));\n"
                                   "  float e = floor(l);\n"
                                   "  return vec4(e, abs(w) / exp2(e), l, 1.0);\n"
                                   "}\n";

constexpr DWORD kVertexShaderMajor11 = 0xFFFE0101u;
constexpr int kMinVertexParams = 0;

const char* const kTempOutOfRange = "temporary register out of range";
// What a vs_1_1 instruction reads by a fixed index: temporaries, inputs and constants.
const GlRegisterRule kVertexSources[] = {
    {SHREG_TEMP, kVs11Temps, "r", kTempOutOfRange},
    {SHREG_INPUT, kVs11Inputs, "v", "input register out of range"},
    {SHREG_CONST, kGlShaderConstants, "c", "constant register out of range"},
};
// What it writes by name; the address register and the rasteriser outputs are apart.
const GlRegisterRule kVertexDests[] = {
    {SHREG_TEMP, kVs11Temps, "r", kTempOutOfRange},
    {SHREG_ATTROUT, kVs11ColorOuts, "oD", "colour output out of range"},
    {SHREG_TEXCRDOUT, kVs11TexOuts, "oT", "texture coordinate output out of range"},
};

class Translator : public GlShaderTranslator {
public:
    Translator(const std::vector<DWORD>& tokens, unsigned relativeConstants)
        : GlShaderTranslator(tokens), relativeConstants_(std::min(relativeConstants, kGlShaderConstants))
    {}
    bool Run(std::string* text, std::string* error);
    GlVertexShaderShape Shape() const;

private:
    bool Source(DWORD token, int rowOffset, std::string* out);
    bool Dest(DWORD token, std::string* name, std::string* mask, bool* scalar, bool* address);
    bool Instruction(DWORD instruction, const DWORD* params, int count) override;

    const unsigned relativeConstants_;
    unsigned inputsDeclared_ = 0;
    unsigned inputsRead_ = 0;
    unsigned directConstants_ = 0;  // one past the highest register read by a fixed index
    bool relative_ = false;
    unsigned texWritten_ = 0;  // texture coordinate outputs written
};

bool Translator::Source(DWORD token, int rowOffset, std::string* out)
{
    const DWORD type = D3D9ShaderRegTypeOf(token);
    const DWORD index = (token & kShaderRegNumMask) + static_cast<DWORD>(rowOffset);
    std::string reg;
    if (type == SHREG_CONST && (token & kShaderRelativeBit)) {
        reg = "C(a0 + " + std::to_string(index) + ")";
        relative_ = true;
    } else {
        if (!RegisterName(type, index, kVertexSources, "register type a vertex shader cannot read", &reg))
            return false;
        if (type == SHREG_INPUT)
            inputsRead_ |= 1u << index;
        // A constant read is uploaded unless a def made before this instruction replaced it.
        if (type == SHREG_CONST && !DefinedLiteral(index, nullptr))
            directConstants_ = std::max(directConstants_, index + 1);
    }
    const std::string swz = GlShaderSwizzle(token);
    const DWORD mod = (token >> kShaderSrcModShift) & 0xFu;
    if (mod != SHMOD_NONE && mod != SHMOD_NEG)
        return Fail("source modifier a vertex shader does not have");
    *out = (mod == SHMOD_NEG ? "(-" : "(") + reg + swz + ")";
    return true;
}

bool Translator::Dest(DWORD token, std::string* name, std::string* mask, bool* scalar, bool* address)
{
    const DWORD type = D3D9ShaderRegTypeOf(token);
    const DWORD index = token & kShaderRegNumMask;
    *scalar = false;
    *address = false;
    if (type == SHREG_ADDR) {
        if (index != 0)
            return Fail("address register out of range");
        *address = true;
        return true;
    }
    if (type == SHREG_RASTOUT) {
        if (index == SHRAST_POSITION)
            *name = "oPos";
        else if (index == SHRAST_FOG)
            *name = "oFog", *scalar = true;
        else if (index == SHRAST_POINTSIZE)
            *name = "oPts", *scalar = true;
        else
            return Fail("rasteriser output out of range");
    } else if (!RegisterName(type, index, kVertexDests, "register type a vertex shader cannot write", name)) {
        return false;
    }
    if (type == SHREG_TEXCRDOUT && ((token >> kShaderMaskShift) & kShaderFullMask))
        texWritten_ |= 1u << index;
    *mask = GlShaderWriteMask(token);
    return true;
}

bool Translator::Instruction(DWORD instruction, const DWORD* params, int count)
{
    const DWORD opcode = instruction & kShaderOpcodeMask;
    if (opcode == SHOP_NOP)
        return true;
    if (opcode == SHOP_DCL) {
        const DWORD reg = params[1];
        if (D3D9ShaderRegTypeOf(reg) == SHREG_INPUT && (reg & kShaderRegNumMask) < kVs11Inputs)
            inputsDeclared_ |= 1u << (reg & kShaderRegNumMask);
        return true;
    }
    if (opcode == SHOP_DEF) {
        Define(params);
        return true;
    }
    std::string expr;
    int rows = 0, width = 0;
    if (D3D9ShaderMatrixShape(opcode, &rows, &width)) {
        std::string a;
        if (count < 3 || !Source(params[1], 0, &a))
            return false;
        const std::string part = width == 4 ? "" : ".xyz";
        expr = "vec4(";
        for (int i = 0; i < 4; ++i) {
            std::string row;
            if (i >= rows) {
                expr += "0.0";
            } else {
                if (!Source(params[2], i, &row))
                    return false;
                expr += "dot(" + a + part + ", " + row + part + ")";
            }
            expr += i < 3 ? ", " : ")";
        }
    } else {
        std::string s[3];
        for (int i = 1; i < count && i <= 3; ++i) {
            if (!Source(params[i], 0, &s[i - 1]))
                return false;
        }
        const std::string& a = s[0];
        const std::string& b = s[1];
        const std::string w = a + ".w";
        switch (opcode) {
        case SHOP_MOV:
            expr = a;
            break;
        case SHOP_ADD:
            expr = a + " + " + b;
            break;
        case SHOP_SUB:
            expr = a + " - " + b;
            break;
        case SHOP_MUL:
            expr = a + " * " + b;
            break;
        case SHOP_MAD:
            expr = a + " * " + b + " + " + s[2];
            break;
        case SHOP_MIN:
            expr = "min(" + a + ", " + b + ")";
            break;
        case SHOP_MAX:
            expr = "max(" + a + ", " + b + ")";
            break;
        case SHOP_SLT:
            expr = "vec4(lessThan(" + a + ", " + b + "))";
            break;
        case SHOP_SGE:
            expr = "vec4(greaterThanEqual(" + a + ", " + b + "))";
            break;
        case SHOP_FRC:
            expr = "fract(" + a + ")";
            break;
        case SHOP_DP3:
            expr = "vec4(dot(" + a + ".xyz, " + b + ".xyz))";
            break;
        case SHOP_DP4:
            expr = "vec4(dot(" + a + ", " + b + "))";
            break;
        case SHOP_RCP:
            expr = "vec4(rcp_(" + w + "))";
            break;
        case SHOP_RSQ:
            expr = "vec4(rsq_(" + w + "))";
            break;
        case SHOP_EXP:
            expr = "vec4(exp2(" + w + "))";
            break;
        case SHOP_LOG:
            expr = "vec4(log2(abs(" + w + ")))";
            break;
        case SHOP_EXPP:
            expr = "vec4(exp2(floor(" + w + ")), fract(" + w + "), exp2(" + w + "), 1.0)";
            break;
        case SHOP_LOGP:
            expr = "logp_(" + w + ")";
            break;
        case SHOP_LIT:
            expr = "lit_(" + a + ")";
            break;
        case SHOP_DST:
            expr = "vec4(1.0, " + a + ".y * " + b + ".y, " + a + ".z, " + b + ".w)";
            break;
        default:
            return Fail("instruction a vertex shader does not have");
        }
    }
    std::string name, mask;
    bool scalar = false, address = false;
    if (!Dest(params[0], &name, &mask, &scalar, &address))
        return false;
    body_ += "  t = " + expr + ";\n";
    if (address)
        body_ += "  a0 = int(clamp(floor(t.x), -1.0e6, 1.0e6));\n";
    else if (scalar)
        body_ += "  " + name + " = t.x;\n";
    else if (!mask.empty())
        body_ += "  " + name + "." + mask + " = t." + mask + ";\n";
    return true;
}

bool Translator::Run(std::string* text, std::string* error)
{
    if (!Walk(kVertexShaderMajor11, "not a vs_1_1 stream", kMinVertexParams, error))
        return false;
    const unsigned constants = Shape().constants;
    std::string out = "#version 120\nuniform vec4 c[" + std::to_string(constants) + "];\n";
    out += kShaderPrelude;
    for (DWORD i = 0; i < kVs11Inputs; ++i) {
        if (inputsDeclared_ & (1u << i))
            out += "attribute vec4 v" + std::to_string(i) + ";\n";
    }
    // Relative reads see the defs too; an address outside the constants reads zero.
    out += "vec4 C(int i) {\n";
    for (const Def& d : defs_)
        out += "  if (i == " + std::to_string(d.index) + ") return " + GlShaderLiteral(d.v) + ";\n";
    out += "  if (i < 0 || i >= " + std::to_string(constants) + ") return vec4(0.0);\n  return c[i];\n}\n";
    out += "void main() {\n  vec4 t;\n  int a0 = 0;\n";
    for (DWORD i = 0; i < kVs11Temps; ++i)
        out += "  vec4 r" + std::to_string(i) + " = vec4(0.0);\n";
    for (DWORD i = 0; i < kVs11Inputs; ++i) {
        if ((inputsRead_ & (1u << i)) && !(inputsDeclared_ & (1u << i)))
            out += "  vec4 v" + std::to_string(i) + " = vec4(0.0);\n";
    }
    out += "  vec4 oPos = vec4(0.0), oD0 = vec4(0.0), oD1 = vec4(0.0);\n  float oFog = 0.0, oPts = 0.0;\n";
    // Direct3D's stages read only the components a texture needs and never divide by q unless told to; GL's
    // fixed-function texturing divides by q, so unwritten q stays 1.
    for (DWORD i = 0; i < kVs11TexOuts; ++i)
        out += "  vec4 oT" + std::to_string(i) + " = vec4(0.0, 0.0, 0.0, 1.0);\n";
    out += body_;
    // Direct3D's pixel centres; its 0..w depth range is GL's under the zero-to-one clip control.
    out += "  gl_Position = oPos + vec4(pixelCentre.xy * oPos.w, 0.0, 0.0);\n";
    // Only what the fixed-function fragment stage can read: every output costs the driver per vertex. Colours are
    // never two-sided here; a stage reading a coordinate the shader leaves alone gets GL's current one, which
    // nothing changes from its (0, 0, 0, 1).
    out += "  gl_FrontColor = oD0;\n  gl_FrontSecondaryColor = oD1;\n";
    for (DWORD i = 0; i < kVs11TexOuts; ++i) {
        if (texWritten_ & (1u << i))
            out += "  gl_TexCoord[" + std::to_string(i) + "] = oT" + std::to_string(i) + ";\n";
    }
    out += "  gl_FogFragCoord = oFog;\n}\n";
    *text = out;
    return true;
}

GlVertexShaderShape Translator::Shape() const
{
    GlVertexShaderShape shape;
    shape.relative = relative_;
    shape.constants = std::max({directConstants_, relative_ ? relativeConstants_ : 0u, 1u});
    return shape;
}

}  // namespace

std::string GlVertexShaderText(const std::vector<DWORD>& tokens, std::string* error, unsigned relativeConstants,
                               GlVertexShaderShape* shape)
{
    std::string text;
    Translator translator(tokens, relativeConstants);
    if (!translator.Run(&text, error))
        return std::string();
    if (shape)
        *shape = translator.Shape();
    return text;
}

// ---------------------------------------------------------------- program objects

namespace {

struct GlShader {
    GLuint program = 0;
    GlVertexShaderShape shape;  // of the program's text
    bool growable = false;      // reads constants relatively and may be made again with a larger array
    GLint constantsLocation = -1;
    GLint centreLocation = -1;
    std::vector<GLint> constantLocations;  // of c[i]; -1 where the linker dropped the element
    float centre[2] = {};
    bool centreSent = false;
    // The elements of the last draw's vertex layout and the register each feeds (-1 none): decoded once per layout.
    std::vector<D3DVERTEXELEMENT9> layout;
    std::vector<int> layoutRegs;
};

// The register each element of the layout feeds, worked out again only when the layout changes.
const std::vector<int>& GlLayoutRegisters(GlShader* s, const std::vector<DWORD>& tokens,
                                          const std::vector<D3DVERTEXELEMENT9>& elements)
{
    const size_t bytes = elements.size() * sizeof(D3DVERTEXELEMENT9);
    if (s->layout.size() == elements.size() && std::memcmp(s->layout.data(), elements.data(), bytes) == 0)
        return s->layoutRegs;
    s->layout = elements;
    s->layoutRegs.clear();
    for (const D3DVERTEXELEMENT9& e : elements)
        s->layoutRegs.push_back(D3D9ShaderInputFor(tokens, e.Usage, e.UsageIndex));
    return s->layoutRegs;
}

}  // namespace

// Compiles and links a GLSL program; inputs v0..v(inputs-1) are bound to the generic attributes of the same number
// before linking. 0 when the text does not compile or link: callers then fall back.
GLuint GlCompileProgram(GLenum kind, const std::string& text, unsigned inputs)
{
    const GLuint shader = qgl.CreateShader(kind);
    if (!shader)
        return 0;
    const GLchar* source = text.c_str();
    qgl.ShaderSource(shader, 1, &source, nullptr);
    qgl.CompileShader(shader);
    GLint ok = GL_FALSE;
    qgl.GetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (ok != GL_TRUE) {
        qgl.DeleteShader(shader);
        return 0;
    }
    const GLuint program = qgl.CreateProgram();
    if (program) {
        qgl.AttachShader(program, shader);
        for (GLuint i = 0; i < inputs; ++i) {
            const std::string name = "v" + std::to_string(i);
            qgl.BindAttribLocation(program, i, name.c_str());
        }
        qgl.LinkProgram(program);
        qgl.GetProgramiv(program, GL_LINK_STATUS, &ok);
        if (ok != GL_TRUE) {
            qgl.DeleteProgram(program);
            qgl.DeleteShader(shader);
            return 0;
        }
    }
    qgl.DeleteShader(shader);  // stays alive while attached
    return program;
}

namespace {

// Registers a program reading constants relatively declares for the registers in use: whole grains, so that a
// palette growing a little does not make a new program each time.
constexpr unsigned kGlConstantGrain = 32;

unsigned GlRelativeConstants(unsigned inUse)
{
    const unsigned grains = (std::max(inUse, 1u) + kGlConstantGrain - 1) / kGlConstantGrain;
    return std::min(grains * kGlConstantGrain, kGlShaderConstants);
}

// (Re)makes the shader's program with room for `inUse` registers under relative reads; the old program goes once
// the new one links, and stays when it does not.
HRESULT GlLinkShader(GlShader* s, const std::vector<DWORD>& tokens, unsigned inUse)
{
    std::string error;
    GlVertexShaderShape shape;
    const std::string text = GlVertexShaderText(tokens, &error, GlRelativeConstants(inUse), &shape);
    if (text.empty())
        return D3DERR_INVALIDCALL;
    const GLuint program = GlCompileProgram(GL_VERTEX_SHADER, text, kVs11Inputs);
    if (!program)
        return D3DERR_NOTAVAILABLE;
    if (s->program)
        qgl.DeleteProgram(s->program);
    s->program = program;
    s->shape = shape;
    s->growable = shape.relative;
    s->constantsLocation = qgl.GetUniformLocation(program, "c");
    s->constantLocations.clear();
    for (unsigned i = 0; i < shape.constants && s->constantsLocation >= 0; ++i) {
        const std::string name = "c[" + std::to_string(i) + "]";
        s->constantLocations.push_back(qgl.GetUniformLocation(program, name.c_str()));
    }
    s->centreLocation = qgl.GetUniformLocation(program, "pixelCentre");
    s->centreSent = false;
    return D3D_OK;
}

}  // namespace

unsigned GlConstantsInUse(const float (*constants)[4], unsigned count)
{
    static const float kZero[4] = {};
    while (count > 0 && std::memcmp(constants[count - 1], kZero, sizeof kZero) == 0)
        --count;
    return count;
}

HRESULT GlBackend::CreateShader(D3D9ShaderData* shader)
{
    if (shader->pixel) {
        if (!pixelShaders_)
            return D3DERR_NOTAVAILABLE;
        if (open_)
            GlContextBind(&ctx_);
        const HRESULT made = GlCreatePixelShader(shader, open_);
        programKnown_ = false;
        return made;
    }
    if (!vertexShaders_)
        return D3DERR_NOTAVAILABLE;
    std::string error;
    if (GlVertexShaderText(shader->tokens, &error).empty())
        return D3DERR_INVALIDCALL;
    if (!open_)
        return D3DERR_NOTAVAILABLE;
    GlContextBind(&ctx_);
    GlShader* s = new GlShader;
    const HRESULT made = GlLinkShader(s, shader->tokens, constantsTop_);
    if (made != D3D_OK) {
        delete s;
        return made;
    }
    shader->backend = s;
    return D3D_OK;
}

void GlBackend::DestroyShader(D3D9ShaderData* shader)
{
    if (shader->pixel) {
        if (open_)
            GlContextBind(&ctx_);
        GlDestroyPixelShader(shader, open_, &boundProgram_);
        return;
    }
    GlShader* s = static_cast<GlShader*>(shader->backend);
    shader->backend = nullptr;
    if (!s)
        return;
    if (open_) {
        GlContextBind(&ctx_);
        if (programKnown_ && boundProgram_ == s->program) {
            qgl.UseProgram(0);
            boundProgram_ = 0;
        }
        if (constantsProgram_ == s->program)
            constantsProgram_ = 0;  // GL may hand the name to the next program
        qgl.DeleteProgram(s->program);
    }
    delete s;
}

// ---------------------------------------------------------------- draw setup

void GlDecodeFetches(const std::vector<GlFetch>& fetches, long first, long count, float* out)
{
    const size_t floatsPerVertex = fetches.size() * 4;
    for (size_t fi = 0; fi < fetches.size(); ++fi) {
        const GlFetch& f = fetches[fi];
        const UINT size = D3D9DeclTypeSize(f.type);
        const bool plainFloats = f.type <= D3DDECLTYPE_FLOAT4;
        for (long v = 0; v < count; ++v) {
            const size_t at = static_cast<size_t>(first + v) * f.stride;
            float* to = out + static_cast<size_t>(v) * floatsPerVertex + fi * 4;
            if (first + v < 0 || at + size > f.limit) {
                std::fill(to, to + 4, 0.0f);
            } else if (plainFloats) {
                // Missing components read (0, 0, 0, 1), as the decoder gives them.
                static const float kDefault[4] = {0.0f, 0.0f, 0.0f, 1.0f};
                std::memcpy(to, kDefault, sizeof kDefault);
                std::memcpy(to, f.base + at, size);
            } else {
                GlDecodeElement(f.type, f.base + at, to);
            }
        }
    }
}

namespace {

// Counts deleted copies: GL may give a deleted copy's name to the next one, which the arrays must not take for the
// copy they point at.
unsigned gCopyGeneration = 0;

void GlDeleteCopy(GlConvertedCopy* copy)
{
    if (copy->name)
        qgl.DeleteBuffers(1, &copy->name);
    copy->name = 0;
    ++gCopyGeneration;
}

}  // namespace

GlVertexRange GlDrawVertices(const D3D9DrawCall& draw)
{
    if (draw.indexed)
        return {static_cast<long>(draw.baseVertexIndex) + static_cast<long>(draw.minIndex),
                static_cast<long>(draw.numVertices)};
    return {draw.userVertices ? 0 : static_cast<long>(draw.startVertex), static_cast<long>(draw.vertexCount)};
}

size_t GlCopyVertices(const D3D9StreamBinding& binding, const D3D9DrawCall& draw)
{
    const D3D9BufferData* data = binding.buffer;
    if (!data || !data->backend || (data->usage & D3DUSAGE_DYNAMIC) || binding.stride == 0 ||
        binding.offset >= data->bits.size())
        return 0;
    const size_t vertices = (data->bits.size() - binding.offset + binding.stride - 1) / binding.stride;
    const GlVertexRange range = GlDrawVertices(draw);
    if (range.first < 0 || static_cast<size_t>(range.first) + static_cast<size_t>(range.count) > vertices)
        return 0;
    return vertices;
}

const GlConvertedCopy* GlFindCopy(const D3D9StreamBinding& binding, const std::vector<DWORD>& key)
{
    const GlBuffer* gb = static_cast<const GlBuffer*>(binding.buffer->backend);
    for (const GlConvertedCopy& c : gb->copies) {
        if (c.key == key)
            return &c;
    }
    return nullptr;
}

const GlConvertedCopy* GlBackend::KeepCopy(const D3D9StreamBinding& binding, std::vector<DWORD> key, size_t vertices,
                                           size_t floatsPerVertex)
{
    GlBuffer* gb = static_cast<GlBuffer*>(binding.buffer->backend);
    if (gb->copies.size() >= kGlMaxConvertedCopies) {
        GlDeleteCopy(&gb->copies.front());
        gb->copies.erase(gb->copies.begin());
    }
    const size_t bytes = vertices * floatsPerVertex * sizeof(float);
    GlConvertedCopy copy;
    copy.key = std::move(key);
    copy.vertices = vertices;
    qgl.GenBuffers(1, &copy.name);
    qgl.BindBuffer(GL_ARRAY_BUFFER, copy.name);
    qgl.BufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(bytes), convertScratch_.data(), GL_STATIC_DRAW);
    qgl.BindBuffer(GL_ARRAY_BUFFER, 0);
    gGlCounters.uploadedBytes += bytes;
    if (glGetError() == GL_OUT_OF_MEMORY) {
        GlDeleteCopy(&copy);
        return nullptr;
    }
    gb->copies.push_back(std::move(copy));
    return &gb->copies.back();
}

// The shader inputs of a draw from one static buffer, decoded over the whole buffer by the first draw.
const GlConvertedCopy* GlBackend::StaticCopy(const D3D9StreamBinding& binding, const std::vector<GlFetch>& fetches,
                                             const D3D9DrawCall& draw)
{
    const size_t vertices = GlCopyVertices(binding, draw);
    if (vertices == 0)
        return nullptr;
    std::vector<DWORD>& key = copyKey_;  // reused: a draw that finds its copy allocates nothing
    key.assign({kGlShaderCopy, binding.offset, binding.stride});
    for (const GlFetch& f : fetches) {
        key.push_back(f.offset);
        key.push_back(static_cast<DWORD>(f.type) | (static_cast<DWORD>(f.reg) << 8));
    }
    if (const GlConvertedCopy* found = GlFindCopy(binding, key))
        return found;
    const size_t floatsPerVertex = fetches.size() * 4;
    convertScratch_.resize(std::max(convertScratch_.size(), vertices * floatsPerVertex));
    GlDecodeFetches(fetches, 0, static_cast<long>(vertices), convertScratch_.data());
    return KeepCopy(binding, key, vertices, floatsPerVertex);
}

void GlDropConvertedCopies(GlBuffer* buffer)
{
    for (GlConvertedCopy& c : buffer->copies)
        GlDeleteCopy(&c);
    buffer->copies.clear();
}

// Points each input's register at interleaved float4s from base (client memory; null: the bound buffer's start);
// registers the shader may read without an array read zero, as on the software back end.
void GlBackend::PointShaderInputs(const std::vector<GlFetch>& fetches, unsigned regs, const float* base)
{
    const GLsizei stride = static_cast<GLsizei>(fetches.size() * 4 * sizeof(float));
    for (size_t fi = 0; fi < fetches.size(); ++fi) {
        const GLuint reg = static_cast<GLuint>(fetches[fi].reg);
        const GlSource source = {reinterpret_cast<const BYTE*>(base), 0, stride};
        qgl.VertexAttribPointer(reg, 4, GL_FLOAT, GL_FALSE, stride, GlSourcePointer(source, fi * 4 * sizeof(float)));
        qgl.EnableVertexAttribArray(reg);
        enabledAttribs_ |= 1u << reg;
    }
    // A current value is undefined after a draw that fed the attribute from an array.
    zeroedAttribs_ &= ~regs;
    for (GLuint i = 0; i < kVs11Inputs; ++i) {
        if (!(regs & (1u << i)) && !(zeroedAttribs_ & (1u << i)))
            qgl.VertexAttrib4f(i, 0.0f, 0.0f, 0.0f, 0.0f);
    }
    zeroedAttribs_ = ~regs & ((1u << kVs11Inputs) - 1u);
}

// Every element the shader declares is sent as four floats to the generic attribute of its register: from a
// decoded copy of a static buffer kept for later draws, else decoded over the vertices this draw uses (baseVertex
// then re-bases the indices onto that copy).
GlArrays GlBackend::SetupShaderArrays(const D3D9State& state, const D3D9DrawCall& draw)
{
    GlArrays arrays;
    GlShader* shader = static_cast<GlShader*>(state.vertexShader->backend);
    std::vector<D3DVERTEXELEMENT9> fvfElements;
    const std::vector<D3DVERTEXELEMENT9>& elements = D3D9DrawElements(state, &fvfElements);
    const std::vector<int>& registers = GlLayoutRegisters(shader, state.vertexShader->tokens, elements);
    const bool user = draw.userVertices != nullptr;
    const auto [first, count] = GlDrawVertices(draw);
    if (count <= 0)
        return arrays;

    std::vector<GlFetch>& fetches = fetches_;
    fetches.clear();
    unsigned regs = 0;
    int onlyStream = -1;
    bool oneStream = true;
    for (size_t ei = 0; ei < elements.size(); ++ei) {
        const D3DVERTEXELEMENT9& e = elements[ei];
        const int reg = registers[ei];
        if (reg < 0 || e.Stream >= D3D9_MAX_STREAMS || (regs & (1u << reg)))
            continue;
        if (user) {
            if (e.Stream != 0)
                continue;
            fetches.push_back({static_cast<const BYTE*>(draw.userVertices) + e.Offset, draw.userStride, SIZE_MAX,
                               e.Offset, e.Type, reg});
        } else {
            const D3D9StreamBinding& b = state.streams[e.Stream];
            if (!b.buffer || b.offset > b.buffer->bits.size())
                continue;
            const size_t limit = b.buffer->bits.size() - b.offset;
            fetches.push_back({b.buffer->bits.data() + b.offset + e.Offset, b.stride,
                               limit - std::min<size_t>(limit, e.Offset), e.Offset, e.Type, reg});
            oneStream = oneStream && (onlyStream < 0 || onlyStream == e.Stream);
            onlyStream = e.Stream;
        }
        regs |= 1u << reg;
    }
    if (fetches.empty())
        return arrays;

    const GlConvertedCopy* copy = !user && oneStream ? StaticCopy(state.streams[onlyStream], fetches, draw) : nullptr;
    if (copy) {
        // Draws in a row from one copy (meshes sharing a buffer) keep the arrays the first one set.
        if (arraysCopy_ != copy->name || arraysGeneration_ != gCopyGeneration) {
            DisableArrays();
            qgl.BindBuffer(GL_ARRAY_BUFFER, copy->name);
            PointShaderInputs(fetches, regs, nullptr);
            qgl.BindBuffer(GL_ARRAY_BUFFER, 0);
            arraysCopy_ = copy->name;
            arraysGeneration_ = gCopyGeneration;
        }
        convertedDraw_ = false;
        arrays.baseVertex = static_cast<GLint>(draw.indexed ? draw.baseVertexIndex : 0);
        arrays.ok = true;
        return arrays;
    }
    DisableArrays();
    // Every slot is written, so the scratch is only grown, not cleared.
    const size_t floats = static_cast<size_t>(count) * fetches.size() * 4;
    convertScratch_.resize(std::max(convertScratch_.size(), floats));
    GlDecodeFetches(fetches, first, count, convertScratch_.data());
    gGlCounters.uploadedBytes += floats * sizeof(float);
    qgl.BindBuffer(GL_ARRAY_BUFFER, 0);
    PointShaderInputs(fetches, regs, convertScratch_.data());
    convertedDraw_ = true;
    arrays.baseVertex = static_cast<GLint>(draw.indexed ? -static_cast<long>(draw.minIndex) : 0);
    arrays.ok = true;
    return arrays;
}

// Raises the registers in use by the constants set since the last send; counts them again from the state when
// what GL holds is unknown (after a reset, or once the program that had them went).
void GlBackend::TrackConstantsInUse(const D3D9State& state)
{
    if (constantsProgram_ == 0)
        constantsTop_ = GlConstantsInUse(state.vsConstants, kGlShaderConstants);
    if (constantsLow_ < constantsHigh_)
        constantsTop_ = std::max(constantsTop_, constantsHigh_);
}

// A program reading constants relatively must hold every register that may not be zero: made again, larger, when
// constants were set past its array.
void GlBackend::FitShaderConstants(const D3D9State& state)
{
    GlShader* s = static_cast<GlShader*>(state.vertexShader->backend);
    if (!s->growable || s->shape.constants >= constantsTop_)
        return;
    const GLuint old = s->program;
    if (GlLinkShader(s, state.vertexShader->tokens, constantsTop_) != D3D_OK) {
        s->growable = false;  // not tried at every draw: the old program reads what it holds, and zero past it
        return;
    }
    // GL may hand the old name to the new program: neither the binding nor the constants sent carry over.
    if (boundProgram_ == old)
        programKnown_ = false;
    if (constantsProgram_ == old)
        constantsProgram_ = 0;
}

// The vertex shader constants changed since they were last sent to this program (all of them for another one).
void GlBackend::SendShaderConstants(const D3D9State& state)
{
    const GlShader* s = static_cast<const GlShader*>(state.vertexShader->backend);
    if (s->constantsLocation < 0)
        return;
    unsigned low = constantsLow_, high = std::min(constantsHigh_, s->shape.constants);
    if (constantsProgram_ != s->program) {
        low = 0;
        high = s->shape.constants;
    }
    // Elements the linker dropped are never read; the run is sent from the first kept one.
    while (low < high && s->constantLocations[low] < 0)
        ++low;
    if (low < high) {
        qgl.Uniform4fv(s->constantLocations[low], static_cast<GLsizei>(high - low), &state.vsConstants[low][0]);
        gGlCounters.uploadedBytes += (high - low) * 4 * sizeof(float);
    }
    constantsProgram_ = s->program;
    constantsLow_ = kGlShaderConstants;
    constantsHigh_ = 0;
}

// The state a shader draw needs: render states, viewport, stages, the program and its constants. Transforms,
// lighting and texture generation belong to the shader: switched off by the first shader draw of a run and sent
// again by the next fixed-function draw.
void GlBackend::ApplyShaderState(const D3D9State& state)
{
    if (lastPretransformed_) {
        lastPretransformed_ = false;
        dirty_ |= kGlDirtyViewport | kGlDirtyTransform | kGlDirtyRender;
    }
    if (!shaderMode_) {
        shaderMode_ = true;
        dirty_ |= kGlDirtyRender;
        glDisable(GL_LIGHTING);
        glDisable(GL_COLOR_MATERIAL);
        // Units already generating nothing are left alone: any texture-unit change makes the driver validate
        // every sampler again.
        for (int stage = 0; stage < maxUnits_; ++stage) {
            const unsigned bit = 1u << stage;
            if ((texGenKnown_ & bit) && sentTexGen_[stage] == D3DTSS_TCI_PASSTHRU)
                continue;
            qgl.ActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(stage));
            glDisable(GL_TEXTURE_GEN_S);
            glDisable(GL_TEXTURE_GEN_T);
            glDisable(GL_TEXTURE_GEN_R);
            sentTexGen_[stage] = D3DTSS_TCI_PASSTHRU;
            texGenKnown_ |= bit;
        }
    }
    if (dirty_ & kGlDirtyRender) {
        ApplyRenderStates(state);
        // oFog is the fog factor itself: a linear ramp from 1 down to 0 passes it through.
        ApplyFog(state, false);
        if (fog_.on && state.renderStates[D3DRS_FOGTABLEMODE] == D3DFOG_NONE) {
            fog_.mode = GL_LINEAR;
            fog_.start = 1.0f;
            fog_.end = 0.0f;
            glFogi(GL_FOG_MODE, fog_.mode);
            glFogf(GL_FOG_START, fog_.start);
            glFogf(GL_FOG_END, fog_.end);
        }
    }
    if (dirty_ & kGlDirtyScissor) {
        GlEnableIf(GL_SCISSOR_TEST, state.renderStates[D3DRS_SCISSORTESTENABLE] != 0);
        const RECT& r = state.scissor;
        glScissor(r.left, r.top, std::max<LONG>(r.right - r.left, 0), std::max<LONG>(r.bottom - r.top, 0));
    }
    if (dirty_ & kGlDirtyViewport)
        ApplyViewport(state, false);
    if (samplerDirty_)
        ApplySamplers(state);
    if (stageDirty_)
        ApplyStages(state);
    // What was sent here is sent again by a fixed-function draw anyway (it finds everything dirty).
    dirty_ &= ~static_cast<DWORD>(kGlDirtyRender | kGlDirtyScissor | kGlDirtyViewport);

    TrackConstantsInUse(state);
    FitShaderConstants(state);
    GlShader* s = static_cast<GlShader*>(state.vertexShader->backend);
    if (!programKnown_ || boundProgram_ != s->program) {
        qgl.UseProgram(s->program);
        boundProgram_ = s->program;
        programKnown_ = true;
    }
    SendShaderConstants(state);
    const D3DMATRIX identity = {{{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}}};
    float m[16];
    GlPixelCentreProjection(identity, static_cast<float>(state.viewport.Width),
                            static_cast<float>(state.viewport.Height), m);
    if (s->centreLocation >= 0 && (!s->centreSent || s->centre[0] != m[12] || s->centre[1] != m[13])) {
        const float centre[4] = {m[12], m[13], 0.0f, 0.0f};
        qgl.Uniform4fv(s->centreLocation, 1, centre);
        s->centre[0] = m[12];
        s->centre[1] = m[13];
        s->centreSent = true;
    }
}
