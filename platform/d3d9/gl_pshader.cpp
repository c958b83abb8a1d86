// OpenGL back end: ps_1_1 token streams translated to GLSL fragment programs that run after the fixed-function
// vertex stage, and the draw setup that binds them.
//
// Sections: translation (pure), program objects, draw setup.
#include "platform/d3d9/device_local.h"
#include "platform/d3d9/gl_local.h"
#include "platform/d3d9/gl_translate_local.h"

#include <map>

// ---------------------------------------------------------------- translation

namespace {

constexpr DWORD kPixelShaderVersion11 = 0xFFFF0101u;
constexpr DWORD kShiftMask = 0xFu;
constexpr DWORD kShiftX2 = 1, kShiftX4 = 2, kShiftD4 = 14, kShiftD2 = 15;
constexpr int kMinPixelParams = 1;

const char* const kPixelPrelude = "#version 120\n"
                                  "uniform vec4 c[8];\n";

const char* const kCannotWrite = "register a pixel shader cannot write";
// What a ps_1_1 instruction reads: temporaries, the two colours, the constants and the texture registers.
const GlRegisterRule kPixelSources[] = {
    {SHREG_TEMP, kPs11Temps, "r", "temporary register out of range"},
    {SHREG_INPUT, kPs11Inputs, "v", "colour input out of range"},
    {SHREG_CONST, kPs11Constants, "c", "constant register out of range"},
    {SHREG_ADDR, kPs11Textures, "t", "texture register out of range"},
};
// What it writes: temporaries and texture registers.
const GlRegisterRule kPixelDests[] = {
    {SHREG_TEMP, kPs11Temps, "r", kCannotWrite},
    {SHREG_ADDR, kPs11Textures, "t", kCannotWrite},
};

class PixelTranslator : public GlShaderTranslator {
public:
    PixelTranslator(const std::vector<DWORD>& tokens, unsigned cubeMask)
        : GlShaderTranslator(tokens), cubeMask_(cubeMask)
    {}
    bool Run(std::string* text, unsigned* samplers, std::string* error);

private:
    bool Source(DWORD token, std::string* out);
    bool Dest(DWORD token, std::string* name, std::string* mask);
    bool Texture(DWORD opcode, DWORD dest);
    bool Instruction(DWORD instruction, const DWORD* params, int count) override;
    void FlushWrites();

    const unsigned cubeMask_;
    unsigned samplers_ = 0;
    int temps_ = 0;
    std::string pending_;  // writes of the instruction (pair) computed last
};

bool PixelTranslator::Source(DWORD token, std::string* out)
{
    if (token & kShaderRelativeBit)
        return Fail("pixel shaders have no relative addressing");
    std::string reg;
    if (!RegisterName(D3D9ShaderRegTypeOf(token), token & kShaderRegNumMask, kPixelSources,
                      "register type a pixel shader cannot read", &reg))
        return false;
    std::string value = "(" + reg + GlShaderSwizzle(token) + ")";
    switch ((token >> kShaderSrcModShift) & 0xFu) {
    case SHMOD_NONE:
        break;
    case SHMOD_NEG:
        value = "(-" + value + ")";
        break;
    case SHMOD_BIAS:
        value = "(" + value + " - 0.5)";
        break;
    case SHMOD_BIASNEG:
        value = "(0.5 - " + value + ")";
        break;
    case SHMOD_SIGN:
        value = "(2.0 * " + value + " - 1.0)";
        break;
    case SHMOD_SIGNNEG:
        value = "(1.0 - 2.0 * " + value + ")";
        break;
    case SHMOD_COMP:
        value = "(1.0 - " + value + ")";
        break;
    case SHMOD_X2:
        value = "(2.0 * " + value + ")";
        break;
    case SHMOD_X2NEG:
        value = "(-2.0 * " + value + ")";
        break;
    default:
        return Fail("unknown source modifier");
    }
    *out = value;
    return true;
}

bool PixelTranslator::Dest(DWORD token, std::string* name, std::string* mask)
{
    if (!RegisterName(D3D9ShaderRegTypeOf(token), token & kShaderRegNumMask, kPixelDests, kCannotWrite, name))
        return false;
    *mask = GlShaderWriteMask(token);
    return true;
}

// tex samples its stage at the stage's coordinates; texcoord passes the coordinates on; texkill drops the pixel
// when a coordinate is negative.
bool PixelTranslator::Texture(DWORD opcode, DWORD dest)
{
    const DWORD index = dest & kShaderRegNumMask;
    if (D3D9ShaderRegTypeOf(dest) != SHREG_ADDR || index >= kPs11Textures)
        return Fail("texture instruction without a texture register");
    const std::string t = "t" + std::to_string(index);
    const std::string coords = "gl_TexCoord[" + std::to_string(index) + "]";
    if (opcode == SHOP_TEX) {
        samplers_ |= 1u << index;
        const bool cube = (cubeMask_ >> index) & 1u;
        body_ += "  " + t + " = " + (cube ? "textureCube(s" : "texture2D(s") + std::to_string(index) + ", " + coords +
                 (cube ? ".xyz" : ".xy") + ");\n";
    } else if (opcode == SHOP_TEXCOORD) {
        body_ += "  " + t + " = vec4(clamp(" + coords + ".xyz, 0.0, 1.0), 1.0);\n";
    } else {
        body_ += "  if (any(lessThan(" + coords + ".xyz, vec3(0.0)))) discard;\n";
    }
    return true;
}

void PixelTranslator::FlushWrites()
{
    body_ += pending_;
    pending_.clear();
}

bool PixelTranslator::Instruction(DWORD instruction, const DWORD* params, int count)
{
    const DWORD opcode = instruction & kShaderOpcodeMask;
    if (opcode == SHOP_DEF) {
        Define(params);
        return true;
    }
    // A co-issued instruction reads the registers as they were before its partner wrote them.
    if (!(instruction & kShaderCoissueBit))
        FlushWrites();
    if (opcode == SHOP_TEX || opcode == SHOP_TEXCOORD || opcode == SHOP_TEXKILL)
        return Texture(opcode, params[0]);
    std::string s[3];
    for (int i = 1; i < count && i <= 3; ++i) {
        if (!Source(params[i], &s[i - 1]))
            return false;
    }
    std::string expr;
    switch (opcode) {
    case SHOP_MOV:
        expr = s[0];
        break;
    case SHOP_ADD:
        expr = s[0] + " + " + s[1];
        break;
    case SHOP_SUB:
        expr = s[0] + " - " + s[1];
        break;
    case SHOP_MUL:
        expr = s[0] + " * " + s[1];
        break;
    case SHOP_MAD:
        expr = s[0] + " * " + s[1] + " + " + s[2];
        break;
    case SHOP_LRP:
        expr = "mix(" + s[2] + ", " + s[1] + ", " + s[0] + ")";
        break;
    case SHOP_DP3:
        expr = "vec4(dot(" + s[0] + ".xyz, " + s[1] + ".xyz))";
        break;
    case SHOP_DP4:
        expr = "vec4(dot(" + s[0] + ", " + s[1] + "))";
        break;
    case SHOP_CND:
        expr = "mix(" + s[2] + ", " + s[1] + ", vec4(greaterThan(" + s[0] + ", vec4(0.5))))";
        break;
    default:
        return Fail("instruction a pixel shader does not have");
    }
    std::string name, mask;
    if (!Dest(params[0], &name, &mask))
        return false;
    const DWORD shift = (params[0] >> kShaderShiftShift) & kShiftMask;
    switch (shift) {
    case 0:
        break;
    case kShiftX2:
        expr = "2.0 * (" + expr + ")";
        break;
    case kShiftX4:
        expr = "4.0 * (" + expr + ")";
        break;
    case kShiftD2:
        expr = "0.5 * (" + expr + ")";
        break;
    case kShiftD4:
        expr = "0.25 * (" + expr + ")";
        break;
    default:
        return Fail("unknown result shift");
    }
    // Values stay within the 1.x range; _sat clamps to 0..1.
    const bool saturate = ((params[0] >> kShaderDstModShift) & kShaderSaturate) != 0;
    const std::string low = saturate ? "0.0" : "-1.0";
    const std::string temp = "q" + std::to_string(temps_++);
    body_ += "  vec4 " + temp + " = clamp(" + expr + ", " + low + ", 1.0);\n";
    if (!mask.empty())
        pending_ += "  " + name + "." + mask + " = " + temp + "." + mask + ";\n";
    return true;
}

bool PixelTranslator::Run(std::string* text, unsigned* samplers, std::string* error)
{
    // Every instruction this translation runs has parameters: one without (nop) is refused with the unknown ones.
    if (!Walk(kPixelShaderVersion11, "not a ps_1_1 stream", kMinPixelParams, error))
        return false;
    FlushWrites();
    std::string out = std::string(kPixelPrelude) + kGlFragmentFog;
    for (DWORD i = 0; i < kPs11Textures; ++i) {
        if (samplers_ & (1u << i))
            out += std::string((cubeMask_ >> i) & 1u ? "uniform samplerCube s" : "uniform sampler2D s") +
                   std::to_string(i) + ";\n";
    }
    out += "void main() {\n  vec4 r0 = vec4(0.0), r1 = vec4(0.0);\n";
    out += "  vec4 t0 = vec4(0.0), t1 = vec4(0.0), t2 = vec4(0.0), t3 = vec4(0.0);\n";
    out += "  vec4 v0 = gl_Color, v1 = gl_SecondaryColor;\n";
    out += body_;
    out += "  gl_FragColor = vec4(fog_(r0.rgb), r0.a);\n}\n";
    *text = out;
    *samplers = samplers_;
    return true;
}

}  // namespace

// Fog after the fragment program, as Direct3D applies it after the pixel stage: fogParams = (mode, end,
// 1 / (end - start), density); mode 0 off, 1 linear, 2 exponential, 3 exponential squared.
const char* const kGlFragmentFog = "uniform vec4 fogParams;\n"
                                   "vec3 fog_(vec3 colour) {\n"
                                   "  float z = abs(gl_FogFragCoord);\n"
                                   "  float f = 1.0;\n"
                                   "  if (fogParams.x == 1.0) f = (fogParams.y - z) * fogParams.z;\n"
                                   "  else if (fogParams.x == 2.0) f = exp(-fogParams.w * z);\n"
                                   "  else if (fogParams.x == 3.0) f = exp(-(fogParams.w * z) * (fogParams.w * z));\n"
                                   "  else return colour;\n"
                                   "  return mix(gl_Fog.color.rgb, colour, clamp(f, 0.0, 1.0));\n"
                                   "}\n";

void GlSendFragmentFog(GLint location, const GlFogSent& sent)
{
    if (location < 0)
        return;
    float fog[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    if (sent.on) {
        fog[0] = sent.mode == GL_EXP ? 2.0f : sent.mode == GL_EXP2 ? 3.0f : 1.0f;
        fog[1] = sent.end;
        fog[2] = sent.end != sent.start ? 1.0f / (sent.end - sent.start) : 0.0f;
        fog[3] = sent.density;
    }
    qgl.Uniform4fv(location, 1, fog);
}

// A fragment program of one shader object; the samplers s<i> read texture unit i. 0 when it does not compile.
GLuint GlCompileFragmentProgram(const std::string& text)
{
    const GLuint program = GlCompileProgram(GL_FRAGMENT_SHADER, text, 0);
    if (!program)
        return 0;
    qgl.UseProgram(program);
    for (int i = 0; i < kGlMaxStages; ++i) {
        const std::string name = "s" + std::to_string(i);
        const GLint location = qgl.GetUniformLocation(program, name.c_str());
        if (location >= 0)
            qgl.Uniform1i(location, i);
    }
    qgl.UseProgram(0);
    return program;
}

std::string GlPixelShaderText(const std::vector<DWORD>& tokens, unsigned cubeMask, unsigned* samplers,
                              std::string* error)
{
    std::string text;
    unsigned used = 0;
    PixelTranslator translator(tokens, cubeMask);
    if (!translator.Run(&text, &used, error))
        return std::string();
    if (samplers)
        *samplers = used;
    return text;
}

// ---------------------------------------------------------------- program objects

namespace {

// One program per combination of cube and flat textures the shader samples.
struct GlPixelProgram {
    GLuint program = 0;
    GLint constantsLocation = -1;
    GLint fogLocation = -1;
};

struct GlPixelShader {
    unsigned samplers = 0;
    std::map<unsigned, GlPixelProgram> programs;
};

GlPixelProgram CompilePixelProgram(const std::string& text)
{
    GlPixelProgram made;
    made.program = GlCompileFragmentProgram(text);
    if (made.program) {
        made.constantsLocation = qgl.GetUniformLocation(made.program, "c");
        made.fogLocation = qgl.GetUniformLocation(made.program, "fogParams");
    }
    return made;
}

// The program for a cube mask, made on first use; null when it does not compile.
const GlPixelProgram* PixelProgramFor(D3D9ShaderData* shader, unsigned cubeMask)
{
    auto* ps = static_cast<GlPixelShader*>(shader->backend);
    cubeMask &= ps->samplers;
    auto found = ps->programs.find(cubeMask);
    if (found == ps->programs.end()) {
        std::string error;
        const std::string text = GlPixelShaderText(shader->tokens, cubeMask, nullptr, &error);
        found = ps->programs.emplace(cubeMask, text.empty() ? GlPixelProgram{} : CompilePixelProgram(text)).first;
    }
    return found->second.program ? &found->second : nullptr;
}

}  // namespace

// The first program is made now so a stream GL cannot run is refused at creation, as a device would.
HRESULT GlCreatePixelShader(D3D9ShaderData* shader, bool open)
{
    std::string error;
    unsigned samplers = 0;
    if (GlPixelShaderText(shader->tokens, 0, &samplers, &error).empty())
        return D3DERR_INVALIDCALL;
    if (!open)
        return D3DERR_NOTAVAILABLE;
    GlPixelShader* ps = new GlPixelShader;
    ps->samplers = samplers;
    shader->backend = ps;
    if (!PixelProgramFor(shader, 0)) {
        delete ps;
        shader->backend = nullptr;
        return D3DERR_NOTAVAILABLE;
    }
    return D3D_OK;
}

// Deletes the programs; boundProgram is forgotten (set to 0) when it was one of them.
void GlDestroyPixelShader(D3D9ShaderData* shader, bool open, GLuint* boundProgram)
{
    auto* ps = static_cast<GlPixelShader*>(shader->backend);
    shader->backend = nullptr;
    if (!ps)
        return;
    for (auto& entry : ps->programs) {
        if (!open || !entry.second.program)
            continue;
        if (*boundProgram == entry.second.program) {
            qgl.UseProgram(0);
            *boundProgram = 0;
        }
        qgl.DeleteProgram(entry.second.program);
    }
    delete ps;
}

// ---------------------------------------------------------------- draw setup

// After the fixed-function state: the shader's program replaces the stages, every texture it samples is bound to
// its unit whatever the stage operations say, and the fixed stages are sent again by the next draw without it.
bool GlBackend::ApplyPixelShader(const D3D9State& state)
{
    auto* ps = static_cast<GlPixelShader*>(state.pixelShader->backend);
    unsigned cubeMask = 0;
    for (DWORD i = 0; i < kPs11Textures && static_cast<int>(i) < maxUnits_; ++i) {
        if (!(ps->samplers & (1u << i)))
            continue;
        const D3D9TextureData* texture = state.textures[i];
        const GlTexture* tex = texture ? static_cast<const GlTexture*>(texture->backend) : nullptr;
        qgl.ActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(i));
        glBindTexture(GL_TEXTURE_CUBE_MAP, 0);
        if (tex) {
            glBindTexture(tex->target, tex->name);
            if (tex->target == GL_TEXTURE_CUBE_MAP)
                cubeMask |= 1u << i;
        } else {
            glBindTexture(GL_TEXTURE_2D, whiteTexture_);
        }
    }
    const GlPixelProgram* program = PixelProgramFor(state.pixelShader, cubeMask);
    if (!program)
        return false;
    if (!programKnown_ || boundProgram_ != program->program) {
        qgl.UseProgram(program->program);
        boundProgram_ = program->program;
        programKnown_ = true;
    }
    if (program->constantsLocation >= 0)
        qgl.Uniform4fv(program->constantsLocation, static_cast<GLsizei>(kPs11Constants), &state.psConstants[0][0]);
    GlSendFragmentFog(program->fogLocation, fog_);
    ForgetStages();
    return true;
}
