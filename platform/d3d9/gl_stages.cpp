// OpenGL back end: texture stages as GL texture combiners, or as a generated fragment program when they use the
// temporary register or per-stage constants; and sampler states.
//
// Sections: texture stages (combiners), stage programs, samplers.
#include "platform/d3d9/gl_local.h"

#include <map>

// ---------------------------------------------------------------- texture stages

namespace {

struct GlArg {
    GLenum source;
    GLenum operand;
};

GlArg GlStageArg(DWORD arg, bool alpha)
{
    GlArg a;
    switch (arg & D3DTA_SELECTMASK) {
    case D3DTA_DIFFUSE:
        a.source = GL_PRIMARY_COLOR;
        break;
    case D3DTA_TEXTURE:
        a.source = GL_TEXTURE;
        break;
    case D3DTA_TFACTOR:
    case D3DTA_CONSTANT:
        a.source = GL_CONSTANT;
        break;
    case D3DTA_SPECULAR:
        a.source = GL_PRIMARY_COLOR;
        break;
    default:
        a.source = GL_PREVIOUS;
        break;  // CURRENT, TEMP
    }
    const bool complement = (arg & D3DTA_COMPLEMENT) != 0;
    if (alpha || (arg & D3DTA_ALPHAREPLICATE)) {
        a.operand = complement ? GL_ONE_MINUS_SRC_ALPHA : GL_SRC_ALPHA;
    } else {
        a.operand = complement ? GL_ONE_MINUS_SRC_COLOR : GL_SRC_COLOR;
    }
    return a;
}

// One combiner function for the colour or the alpha part of a stage.
struct GlCombiner {
    GLenum mode = GL_REPLACE;
    GlArg args[3];
    int count = 1;
    float scale = 1.0f;
};

GlArg GlAlphaOf(GlArg a)
{
    a.operand = (a.operand == GL_ONE_MINUS_SRC_COLOR || a.operand == GL_ONE_MINUS_SRC_ALPHA) ? GL_ONE_MINUS_SRC_ALPHA
                                                                                             : GL_SRC_ALPHA;
    return a;
}

GlArg GlComplementOf(GlArg a)
{
    switch (a.operand) {
    case GL_SRC_COLOR:
        a.operand = GL_ONE_MINUS_SRC_COLOR;
        break;
    case GL_ONE_MINUS_SRC_COLOR:
        a.operand = GL_SRC_COLOR;
        break;
    case GL_SRC_ALPHA:
        a.operand = GL_ONE_MINUS_SRC_ALPHA;
        break;
    default:
        a.operand = GL_SRC_ALPHA;
        break;
    }
    return a;
}

GlCombiner GlStageCombiner(DWORD op, DWORD arg0, DWORD arg1, DWORD arg2, bool alpha, bool combine3)
{
    GlCombiner c;
    const GlArg a0 = GlStageArg(arg0, alpha), a1 = GlStageArg(arg1, alpha), a2 = GlStageArg(arg2, alpha);
    c.args[0] = a1;
    c.args[1] = a2;
    c.count = 2;
    auto blendBy = [&](GLenum source) {
        c.mode = GL_INTERPOLATE;
        c.args[2] = {source, GL_SRC_ALPHA};
        c.count = 3;
    };
    switch (op) {
    case D3DTOP_SELECTARG1:
        c.count = 1;
        break;
    case D3DTOP_SELECTARG2:
        c.args[0] = a2;
        c.count = 1;
        break;
    case D3DTOP_MODULATE:
        c.mode = GL_MODULATE;
        break;
    case D3DTOP_MODULATE2X:
        c.mode = GL_MODULATE;
        c.scale = 2.0f;
        break;
    case D3DTOP_MODULATE4X:
        c.mode = GL_MODULATE;
        c.scale = 4.0f;
        break;
    case D3DTOP_ADD:
        c.mode = GL_ADD;
        break;
    case D3DTOP_ADDSIGNED:
        c.mode = GL_ADD_SIGNED;
        break;
    case D3DTOP_ADDSIGNED2X:
        c.mode = GL_ADD_SIGNED;
        c.scale = 2.0f;
        break;
    case D3DTOP_SUBTRACT:
        c.mode = GL_SUBTRACT;
        break;
    case D3DTOP_BLENDDIFFUSEALPHA:
        blendBy(GL_PRIMARY_COLOR);
        break;
    case D3DTOP_BLENDTEXTUREALPHA:
        blendBy(GL_TEXTURE);
        break;
    case D3DTOP_BLENDFACTORALPHA:
        blendBy(GL_CONSTANT);
        break;
    case D3DTOP_BLENDCURRENTALPHA:
        blendBy(GL_PREVIOUS);
        break;
    case D3DTOP_DOTPRODUCT3:
        c.mode = GL_DOT3_RGBA;
        break;
    case D3DTOP_LERP:  // arg0 * arg1 + (1 - arg0) * arg2
        c.mode = GL_INTERPOLATE;
        c.args[2] = a0;
        c.count = 3;
        break;
    default:
        c.mode = GL_MODULATE;
        break;
    }
    if (!combine3)
        return c;
    // MODULATE_ADD computes args[0] * args[2] + args[1].
    switch (op) {
    case D3DTOP_MULTIPLYADD:
        c.mode = GL_MODULATE_ADD_ATI;
        c.args[0] = a1;
        c.args[2] = a2;
        c.args[1] = a0;
        c.count = 3;
        break;
    case D3DTOP_ADDSMOOTH:
        c.mode = GL_MODULATE_ADD_ATI;
        c.args[0] = a2;
        c.args[2] = GlComplementOf(a1);
        c.args[1] = a1;
        c.count = 3;
        break;
    case D3DTOP_BLENDTEXTUREALPHAPM:
        c.mode = GL_MODULATE_ADD_ATI;
        c.args[0] = a2;
        c.args[2] = {GL_TEXTURE, GL_ONE_MINUS_SRC_ALPHA};
        c.args[1] = a1;
        c.count = 3;
        break;
    case D3DTOP_MODULATEALPHA_ADDCOLOR:
        if (alpha)
            break;
        c.mode = GL_MODULATE_ADD_ATI;
        c.args[0] = GlAlphaOf(a1);
        c.args[2] = a2;
        c.args[1] = a1;
        c.count = 3;
        break;
    case D3DTOP_MODULATECOLOR_ADDALPHA:
        if (alpha)
            break;
        c.mode = GL_MODULATE_ADD_ATI;
        c.args[0] = a1;
        c.args[2] = a2;
        c.args[1] = GlAlphaOf(a1);
        c.count = 3;
        break;
    case D3DTOP_MODULATEINVALPHA_ADDCOLOR:
        if (alpha)
            break;
        c.mode = GL_MODULATE_ADD_ATI;
        c.args[0] = GlComplementOf(GlAlphaOf(a1));
        c.args[2] = a2;
        c.args[1] = a1;
        c.count = 3;
        break;
    case D3DTOP_MODULATEINVCOLOR_ADDALPHA:
        if (alpha)
            break;
        c.mode = GL_MODULATE_ADD_ATI;
        c.args[0] = GlComplementOf(a1);
        c.args[2] = a2;
        c.args[1] = GlAlphaOf(a1);
        c.count = 3;
        break;
    default:
        break;
    }
    return c;
}

void GlSendCombiner(const GlCombiner& c, bool alpha)
{
    static const GLenum rgbSources[3] = {GL_SRC0_RGB, GL_SRC1_RGB, GL_SRC2_RGB};
    static const GLenum rgbOperands[3] = {GL_OPERAND0_RGB, GL_OPERAND1_RGB, GL_OPERAND2_RGB};
    static const GLenum alphaSources[3] = {GL_SRC0_ALPHA, GL_SRC1_ALPHA, GL_SRC2_ALPHA};
    static const GLenum alphaOperands[3] = {GL_OPERAND0_ALPHA, GL_OPERAND1_ALPHA, GL_OPERAND2_ALPHA};
    GLenum mode = c.mode;
    if (alpha && mode == GL_DOT3_RGBA)
        mode = GL_REPLACE;
    glTexEnvi(GL_TEXTURE_ENV, alpha ? GL_COMBINE_ALPHA : GL_COMBINE_RGB, static_cast<GLint>(mode));
    for (int i = 0; i < 3; ++i) {
        const GlArg a = i < c.count ? c.args[i] : c.args[0];
        glTexEnvi(GL_TEXTURE_ENV, alpha ? alphaSources[i] : rgbSources[i], static_cast<GLint>(a.source));
        glTexEnvi(GL_TEXTURE_ENV, alpha ? alphaOperands[i] : rgbOperands[i], static_cast<GLint>(a.operand));
    }
    glTexEnvf(GL_TEXTURE_ENV, alpha ? GL_ALPHA_SCALE : GL_RGB_SCALE, c.scale);
}

// Whether a stage operation reads the stage's texture.
bool GlStageReadsTexture(DWORD op, DWORD arg0, DWORD arg1, DWORD arg2)
{
    if (op == D3DTOP_BLENDTEXTUREALPHA || op == D3DTOP_BLENDTEXTUREALPHAPM)
        return true;
    const bool texture1 = (arg1 & D3DTA_SELECTMASK) == D3DTA_TEXTURE;
    const bool texture2 = (arg2 & D3DTA_SELECTMASK) == D3DTA_TEXTURE;
    const bool texture0 = (arg0 & D3DTA_SELECTMASK) == D3DTA_TEXTURE;
    if (op == D3DTOP_SELECTARG1)
        return texture1;
    if (op == D3DTOP_SELECTARG2)
        return texture2;
    if (op == D3DTOP_MULTIPLYADD || op == D3DTOP_LERP)
        return texture0 || texture1 || texture2;
    return texture1 || texture2;
}

}  // namespace

bool GlStageReadsArg(const DWORD* tss, DWORD source)
{
    const DWORD colour[3] = {tss[D3DTSS_COLORARG0], tss[D3DTSS_COLORARG1], tss[D3DTSS_COLORARG2]};
    const DWORD alpha[3] = {tss[D3DTSS_ALPHAARG0], tss[D3DTSS_ALPHAARG1], tss[D3DTSS_ALPHAARG2]};
    for (int i = 0; i < 3; ++i) {
        if (tss[D3DTSS_COLOROP] != D3DTOP_DISABLE && (colour[i] & D3DTA_SELECTMASK) == source)
            return true;
        if (tss[D3DTSS_ALPHAOP] != D3DTOP_DISABLE && (alpha[i] & D3DTA_SELECTMASK) == source)
            return true;
    }
    return false;
}

// Everything ApplyStages sends to one texture unit.
static GlBackend::GlStageKey StageKey(bool active, const GlTexture* tex, DWORD factor, bool sprites, const DWORD* tss)
{
    GlBackend::GlStageKey key;
    key.active = active ? 1u : 0u;
    key.texture = tex ? tex->name : 0u;
    key.target = tex ? tex->target : 0u;
    key.factor = factor;
    key.sprites = sprites ? 1u : 0u;
    key.colorOp = tss[D3DTSS_COLOROP];
    key.colorArgs[0] = tss[D3DTSS_COLORARG0];
    key.colorArgs[1] = tss[D3DTSS_COLORARG1];
    key.colorArgs[2] = tss[D3DTSS_COLORARG2];
    key.alphaOp = tss[D3DTSS_ALPHAOP];
    key.alphaArgs[0] = tss[D3DTSS_ALPHAARG0];
    key.alphaArgs[1] = tss[D3DTSS_ALPHAARG1];
    key.alphaArgs[2] = tss[D3DTSS_ALPHAARG2];
    key.constant = tss[D3DTSS_CONSTANT];
    return key;
}

// The target a stage's unit has enabled (0: none), and the texture bound there (white for a stage without one).
static GLenum StageTarget(const GlBackend::GlStageKey& key)
{
    if (!key.active)
        return 0u;
    return key.texture ? static_cast<GLenum>(key.target) : static_cast<GLenum>(GL_TEXTURE_2D);
}

static GLuint StageTexture(const GlBackend::GlStageKey& key, GLuint white) { return key.texture ? key.texture : white; }

// Whether two stages send the same texture environment: everything but the texture, save whether there is one.
static bool SameCombiner(const GlBackend::GlStageKey& a, const GlBackend::GlStageKey& b)
{
    GlBackend::GlStageKey x = a, y = b;
    x.texture = y.texture = 0u;
    x.target = y.target = 0u;
    const bool textured = (a.texture != 0u) == (b.texture != 0u);
    return textured && std::memcmp(&x, &y, sizeof x) == 0;
}

void GlBackend::ApplyStages(const D3D9State& state)
{
    float factor[4];
    GlColorValue(state.renderStates[D3DRS_TEXTUREFACTOR], factor);
    const bool sprites = state.renderStates[D3DRS_POINTSPRITEENABLE] != 0;
    bool active = true;
    for (int stage = 0; stage < maxUnits_; ++stage) {
        const DWORD* tss = state.textureStageStates[stage];
        // The first disabled colour stage ends the cascade.
        if (tss[D3DTSS_COLOROP] == D3DTOP_DISABLE)
            active = false;
        const D3D9TextureData* texture = active ? state.textures[stage] : nullptr;
        const GlTexture* tex = texture ? static_cast<const GlTexture*>(texture->backend) : nullptr;
        // A unit that already holds what the stage asks for is left alone.
        const GlStageKey key = StageKey(active, tex, state.renderStates[D3DRS_TEXTUREFACTOR], sprites, tss);
        const unsigned bit = 1u << stage;
        const bool known = (stageKnown_ & bit) != 0;
        if (known && std::memcmp(&key, &stageKeys_[stage], sizeof key) == 0)
            continue;
        const GlStageKey sent = stageKeys_[stage];
        stageKeys_[stage] = key;
        stageKnown_ |= bit;
        qgl.ActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(stage));
        // Only what differs is sent: each enable or combiner change costs the driver a new fragment program
        // look-up, and meshes in a row often differ by their texture alone.
        const GLenum target = StageTarget(key);
        const GLenum sentTarget = known ? StageTarget(sent) : 0u;
        if (!known) {
            glDisable(GL_TEXTURE_2D);
            glDisable(GL_TEXTURE_CUBE_MAP);
        } else if (sentTarget != target && sentTarget != 0u) {
            glDisable(sentTarget);
        }
        if (!active)
            continue;
        const GLuint name = tex ? tex->name : whiteTexture_;
        if (!known || !sent.active || StageTexture(sent, whiteTexture_) != name || sentTarget != target)
            glBindTexture(target, name);
        if (!known || sentTarget != target)
            glEnable(target);
        if (known && sent.active && SameCombiner(sent, key))
            continue;
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE);
        // GL has one constant per unit: the stage's own when it reads that and not the texture factor.
        float constant[4];
        const bool own = GlStageReadsArg(tss, D3DTA_CONSTANT) && !GlStageReadsArg(tss, D3DTA_TFACTOR);
        GlColorValue(tss[D3DTSS_CONSTANT], constant);
        glTexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, own ? constant : factor);
        glTexEnvi(GL_POINT_SPRITE, GL_COORD_REPLACE, sprites ? GL_TRUE : GL_FALSE);
        // Without a texture, an operation that reads it passes the current
        // value on: untextured geometry keeps its vertex colour and alpha.
        GlCombiner color;
        color.args[0] = {GL_PREVIOUS, GL_SRC_COLOR};
        if (tex || !GlStageReadsTexture(tss[D3DTSS_COLOROP], tss[D3DTSS_COLORARG0], tss[D3DTSS_COLORARG1],
                                        tss[D3DTSS_COLORARG2])) {
            color = GlStageCombiner(tss[D3DTSS_COLOROP], tss[D3DTSS_COLORARG0], tss[D3DTSS_COLORARG1],
                                    tss[D3DTSS_COLORARG2], false, combine3_);
        }
        GlCombiner alpha;
        if (tss[D3DTSS_ALPHAOP] == D3DTOP_DISABLE ||
            (!tex && GlStageReadsTexture(tss[D3DTSS_ALPHAOP], tss[D3DTSS_ALPHAARG0], tss[D3DTSS_ALPHAARG1],
                                         tss[D3DTSS_ALPHAARG2]))) {
            alpha.args[0] = {GL_PREVIOUS, GL_SRC_ALPHA};
        } else {
            alpha = GlStageCombiner(tss[D3DTSS_ALPHAOP], tss[D3DTSS_ALPHAARG0], tss[D3DTSS_ALPHAARG1],
                                    tss[D3DTSS_ALPHAARG2], true, combine3_);
        }
        GlSendCombiner(color, false);
        GlSendCombiner(alpha, true);
    }
    stageDirty_ = 0;
}

// ---------------------------------------------------------------- stage programs

namespace {

// One argument of stage i as GLSL (vec4): its source, alpha replicated, complemented.
std::string StageArg(DWORD arg, int stage)
{
    std::string v;
    switch (arg & D3DTA_SELECTMASK) {
    case D3DTA_DIFFUSE:
        v = "diffuse";
        break;
    case D3DTA_TEXTURE:
        v = "tex";
        break;
    case D3DTA_TFACTOR:
        v = "tfactor";
        break;
    case D3DTA_SPECULAR:
        v = "specular";
        break;
    case D3DTA_TEMP:
        v = "temp";
        break;
    case D3DTA_CONSTANT:
        v = "stageConstant[" + std::to_string(stage) + "]";
        break;
    default:
        v = "current";
        break;
    }
    if (arg & D3DTA_ALPHAREPLICATE)
        v = "vec4(" + v + ".a)";
    if (arg & D3DTA_COMPLEMENT)
        v = "(1.0 - " + v + ")";
    return v;
}

// The operation on arguments a0, a1, a2 (vec4 expressions), taken as `part` (".rgb" or ".a").
std::string StageOp(DWORD op, const std::string a[3], const std::string& part)
{
    const std::string x0 = a[0] + part, x1 = a[1] + part, x2 = a[2] + part;
    const std::string alpha1 = a[1] + ".a";
    auto blend = [&](const std::string& by) { return "mix(" + x2 + ", " + x1 + ", " + by + ".a)"; };
    switch (op) {
    case D3DTOP_SELECTARG1:
        return x1;
    case D3DTOP_SELECTARG2:
        return x2;
    case D3DTOP_MODULATE2X:
        return "2.0 * " + x1 + " * " + x2;
    case D3DTOP_MODULATE4X:
        return "4.0 * " + x1 + " * " + x2;
    case D3DTOP_ADD:
        return x1 + " + " + x2;
    case D3DTOP_ADDSIGNED:
        return x1 + " + " + x2 + " - 0.5";
    case D3DTOP_ADDSIGNED2X:
        return "2.0 * (" + x1 + " + " + x2 + " - 0.5)";
    case D3DTOP_SUBTRACT:
        return x1 + " - " + x2;
    case D3DTOP_ADDSMOOTH:
        return x1 + " + " + x2 + " - " + x1 + " * " + x2;
    case D3DTOP_BLENDDIFFUSEALPHA:
        return blend("diffuse");
    case D3DTOP_BLENDTEXTUREALPHA:
        return blend("tex");
    case D3DTOP_BLENDFACTORALPHA:
        return blend("tfactor");
    case D3DTOP_BLENDCURRENTALPHA:
        return blend("current");
    case D3DTOP_BLENDTEXTUREALPHAPM:
        return x1 + " + " + x2 + " * (1.0 - tex.a)";
    case D3DTOP_DOTPRODUCT3:
        return "vec4(4.0 * dot(" + a[1] + ".rgb - 0.5, " + a[2] + ".rgb - 0.5))" + part;
    case D3DTOP_MULTIPLYADD:
        return x0 + " + " + x1 + " * " + x2;
    case D3DTOP_LERP:
        return "mix(" + x2 + ", " + x1 + ", " + x0 + ")";
    default:
        break;
    }
    if (part == ".rgb") {
        switch (op) {
        case D3DTOP_MODULATEALPHA_ADDCOLOR:
            return x1 + " + " + alpha1 + " * " + x2;
        case D3DTOP_MODULATECOLOR_ADDALPHA:
            return x1 + " * " + x2 + " + " + alpha1;
        case D3DTOP_MODULATEINVALPHA_ADDCOLOR:
            return "(1.0 - " + alpha1 + ") * " + x2 + " + " + x1;
        case D3DTOP_MODULATEINVCOLOR_ADDALPHA:
            return "(1.0 - " + x1 + ") * " + x2 + " + " + alpha1;
        default:
            break;
        }
    }
    return x1 + " * " + x2;
}

bool StageOpReadsTexture(DWORD op, const DWORD args[3]) { return GlStageReadsTexture(op, args[0], args[1], args[2]); }

}  // namespace

std::string GlStageProgramText(const GlStageSetup* stages, int count, bool specular)
{
    std::string out = "#version 120\nuniform vec4 tfactor;\nuniform vec4 stageConstant[8];\n";
    out += kGlFragmentFog;
    for (int i = 0; i < count; ++i) {
        if (stages[i].texture)
            out += std::string(stages[i].texture == 2 ? "uniform samplerCube s" : "uniform sampler2D s") +
                   std::to_string(i) + ";\n";
    }
    out += "void main() {\n  vec4 diffuse = gl_Color, specular = gl_SecondaryColor;\n";
    out += "  vec4 current = diffuse, temp = vec4(0.0), tex = vec4(1.0);\n";
    for (int i = 0; i < count; ++i) {
        const GlStageSetup& st = stages[i];
        const std::string n = std::to_string(i);
        if (st.texture == 2)
            out += "  tex = textureCube(s" + n + ", gl_TexCoord[" + n + "].xyz);\n";
        else if (st.texture == 1)
            out += "  tex = texture2D(s" + n + ", gl_TexCoord[" + n + "].xy);\n";
        std::string c[3], a[3];
        for (int k = 0; k < 3; ++k) {
            c[k] = StageArg(st.colorArgs[k], i);
            a[k] = StageArg(st.alphaArgs[k], i);
        }
        // Without a texture an operation that reads it passes the current value on, as the combiners do.
        const std::string colour = !st.texture && StageOpReadsTexture(st.colorOp, st.colorArgs)
                                       ? "current.rgb"
                                       : StageOp(st.colorOp, c, ".rgb");
        std::string alpha = "current.a";
        if (st.colorOp == D3DTOP_DOTPRODUCT3)
            alpha = StageOp(st.colorOp, c, ".a");
        else if (st.alphaOp != D3DTOP_DISABLE && (st.texture || !StageOpReadsTexture(st.alphaOp, st.alphaArgs)))
            alpha = StageOp(st.alphaOp, a, ".a");
        out += "  " + std::string(st.toTemp ? "temp" : "current") + " = clamp(vec4(" + colour + ", " + alpha +
               "), 0.0, 1.0);\n";
    }
    if (specular)
        out += "  current.rgb = clamp(current.rgb + specular.rgb, 0.0, 1.0);\n";
    out += "  gl_FragColor = vec4(fog_(current.rgb), current.a);\n}\n";
    return out;
}

void GlBackend::ApplyStageProgram(const D3D9State& state)
{
    // A lighting program already runs the vertex stage; the combiners then stand in, the temporary read as current.
    if (!pixelShaders_ || (programKnown_ && boundProgram_ != 0))
        return;
    GlStageSetup stages[kGlMaxStages];
    int count = 0;
    bool needed = false;
    for (; count < maxUnits_; ++count) {
        const DWORD* tss = state.textureStageStates[count];
        if (tss[D3DTSS_COLOROP] == D3DTOP_DISABLE)
            break;
        GlStageSetup& st = stages[count];
        st.colorOp = tss[D3DTSS_COLOROP];
        st.alphaOp = tss[D3DTSS_ALPHAOP];
        st.colorArgs[0] = tss[D3DTSS_COLORARG0];
        st.colorArgs[1] = tss[D3DTSS_COLORARG1];
        st.colorArgs[2] = tss[D3DTSS_COLORARG2];
        st.alphaArgs[0] = tss[D3DTSS_ALPHAARG0];
        st.alphaArgs[1] = tss[D3DTSS_ALPHAARG1];
        st.alphaArgs[2] = tss[D3DTSS_ALPHAARG2];
        st.toTemp = (tss[D3DTSS_RESULTARG] & D3DTA_SELECTMASK) == D3DTA_TEMP;
        const D3D9TextureData* texture = state.textures[count];
        const GlTexture* tex = texture ? static_cast<const GlTexture*>(texture->backend) : nullptr;
        st.texture = !tex ? 0 : tex->target == GL_TEXTURE_CUBE_MAP ? 2 : 1;
        needed = needed || st.toTemp || GlStageReadsArg(tss, D3DTA_TEMP) || GlStageReadsArg(tss, D3DTA_CONSTANT);
    }
    if (!needed)
        return;
    const bool specular = state.renderStates[D3DRS_SPECULARENABLE] != 0;
    std::vector<DWORD> key;
    key.push_back(specular ? 1u : 0u);
    for (int i = 0; i < count; ++i) {
        const GlStageSetup& st = stages[i];
        key.insert(key.end(),
                   {st.colorOp, st.colorArgs[0], st.colorArgs[1], st.colorArgs[2], st.alphaOp, st.alphaArgs[0],
                    st.alphaArgs[1], st.alphaArgs[2], st.toTemp ? 1u : 0u, static_cast<DWORD>(st.texture)});
    }
    auto found = stagePrograms_.find(key);
    if (found == stagePrograms_.end()) {
        GlStageProgram made;
        made.program = GlCompileFragmentProgram(GlStageProgramText(stages, count, specular));
        if (made.program) {
            made.factorLocation = qgl.GetUniformLocation(made.program, "tfactor");
            made.constantsLocation = qgl.GetUniformLocation(made.program, "stageConstant");
            made.fogLocation = qgl.GetUniformLocation(made.program, "fogParams");
        }
        found = stagePrograms_.emplace(key, made).first;
    }
    const GlStageProgram& program = found->second;
    if (!program.program)
        return;
    qgl.UseProgram(program.program);
    boundProgram_ = program.program;
    programKnown_ = true;
    float factor[4];
    GlColorValue(state.renderStates[D3DRS_TEXTUREFACTOR], factor);
    if (program.factorLocation >= 0)
        qgl.Uniform4fv(program.factorLocation, 1, factor);
    float constants[kGlMaxStages][4];
    for (int i = 0; i < kGlMaxStages; ++i)
        GlColorValue(state.textureStageStates[i][D3DTSS_CONSTANT], constants[i]);
    if (program.constantsLocation >= 0)
        qgl.Uniform4fv(program.constantsLocation, kGlMaxStages, &constants[0][0]);
    GlSendFragmentFog(program.fogLocation, fog_);
}

void GlBackend::DeleteStagePrograms()
{
    for (auto& entry : stagePrograms_) {
        if (entry.second.program)
            qgl.DeleteProgram(entry.second.program);
    }
    stagePrograms_.clear();
    boundProgram_ = 0;
    programKnown_ = false;
}

// ---------------------------------------------------------------- samplers

static GLint GlAddress(DWORD mode)
{
    switch (mode) {
    case D3DTADDRESS_MIRROR:
        return GL_MIRRORED_REPEAT;
    case D3DTADDRESS_CLAMP:
        return GL_CLAMP_TO_EDGE;
    case D3DTADDRESS_BORDER:
        return GL_CLAMP_TO_BORDER;
    case D3DTADDRESS_MIRRORONCE:
        return GL_MIRROR_CLAMP_TO_EDGE;
    default:
        return GL_REPEAT;
    }
}

void GlBackend::ApplySamplers(const D3D9State& state)
{
    for (int s = 0; s < maxUnits_; ++s) {
        if (!(samplerDirty_ & (1u << s)))
            continue;
        const DWORD* ss = state.samplerStates[s];
        const GLuint id = samplers_[s];
        qgl.SamplerParameteri(id, GL_TEXTURE_WRAP_S, GlAddress(ss[D3DSAMP_ADDRESSU]));
        qgl.SamplerParameteri(id, GL_TEXTURE_WRAP_T, GlAddress(ss[D3DSAMP_ADDRESSV]));
        qgl.SamplerParameteri(id, GL_TEXTURE_WRAP_R, GlAddress(ss[D3DSAMP_ADDRESSW]));
        float border[4];
        GlColorValue(ss[D3DSAMP_BORDERCOLOR], border);
        qgl.SamplerParameterfv(id, GL_TEXTURE_BORDER_COLOR, border);
        const DWORD mag = ss[D3DSAMP_MAGFILTER], min = ss[D3DSAMP_MINFILTER], mip = ss[D3DSAMP_MIPFILTER];
        qgl.SamplerParameteri(id, GL_TEXTURE_MAG_FILTER,
                              mag == D3DTEXF_POINT || mag == D3DTEXF_NONE ? GL_NEAREST : GL_LINEAR);
        const bool linear = !(min == D3DTEXF_POINT || min == D3DTEXF_NONE);
        GLint minFilter = linear ? GL_LINEAR : GL_NEAREST;
        if (mip == D3DTEXF_POINT)
            minFilter = linear ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST;
        else if (mip != D3DTEXF_NONE)
            minFilter = linear ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR;
        qgl.SamplerParameteri(id, GL_TEXTURE_MIN_FILTER, minFilter);
        float aniso = 1.0f;
        if (min == D3DTEXF_ANISOTROPIC || mag == D3DTEXF_ANISOTROPIC) {
            aniso = std::min(static_cast<float>(std::max<DWORD>(ss[D3DSAMP_MAXANISOTROPY], 1)), maxAnisotropy_);
        }
        if (maxAnisotropy_ > 1.0f)
            qgl.SamplerParameterf(id, GL_TEXTURE_MAX_ANISOTROPY_EXT, aniso);
        qgl.SamplerParameterf(id, GL_TEXTURE_LOD_BIAS, GlFloatBits(ss[D3DSAMP_MIPMAPLODBIAS]));
        qgl.SamplerParameterf(id, GL_TEXTURE_MIN_LOD, static_cast<float>(ss[D3DSAMP_MAXMIPLEVEL]));
    }
    samplerDirty_ = 0;
}
