// OpenGL back end: Direct3D's local lights through a generated vertex program. GL's fixed lighting has no
// range cut-off and one cone with a cosine power, so a lit draw with a point or spot light runs a program
// that lights as Direct3D defines it; the fragment side stays fixed-function.
//
// Sections: program key; program text; compile and cache; per-draw selection.
#include "platform/d3d9/gl_local.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>

namespace {

// Texture-coordinate generation codes (the high word of D3DTSS_TEXCOORDINDEX).
enum GlTexGenCode : unsigned {
    kGenPassThrough = 0,
    kGenNormal = 1,
    kGenPosition = 2,
    kGenReflection = 3,
    kGenSphere = 4,
};

// Light kinds in the key; 0 = no light in that GL slot.
enum GlLightKind : unsigned {
    kKindNone = 0,
    kKindDirectional = 1,
    kKindPoint = 2,
    kKindSpot = 3,
};

// Material colour sources: Direct3D's D3DMCS values.
enum GlColourSource : unsigned {
    kSourceMaterial = 0,
    kSourceColor1 = 1,
    kSourceColor2 = 2,
};

constexpr unsigned kKindBits = 2;
constexpr unsigned kSourceBits = 2;
constexpr unsigned kGenBits = 3;
constexpr int kMaxLitUnits = 8;  // gl_MultiTexCoord0..7

// Everything the program text depends on, packed into one word.
struct GlLitKey {
    unsigned lights[kGlMaxLights];
    unsigned diffuse, ambient, specularSource, emissive;
    bool specular, localViewer, normalize;
    unsigned gen[kMaxLitUnits];
    int units;

    uint64_t Pack() const
    {
        uint64_t key = 0;
        unsigned shift = 0;
        auto put = [&](uint64_t value, unsigned bits) {
            key |= value << shift;
            shift += bits;
        };
        for (unsigned kind : lights)
            put(kind, kKindBits);
        put(diffuse, kSourceBits);
        put(ambient, kSourceBits);
        put(specularSource, kSourceBits);
        put(emissive, kSourceBits);
        put(specular, 1);
        put(localViewer, 1);
        put(normalize, 1);
        for (int s = 0; s < kMaxLitUnits; ++s)
            put(s < units ? gen[s] : 0, kGenBits);
        put(static_cast<unsigned>(units), 4);
        return key;
    }
};

// A material colour from its source: the vertex colour the source names when the vertex has it.
unsigned SourceOf(DWORD renderState, bool colourVertex, bool hasColor, bool hasSpecular)
{
    if (!colourVertex)
        return kSourceMaterial;
    if (renderState == D3DMCS_COLOR1 && hasColor)
        return kSourceColor1;
    if (renderState == D3DMCS_COLOR2 && hasSpecular)
        return kSourceColor2;
    return kSourceMaterial;
}

const char* SourceText(unsigned source, const char* material)
{
    if (source == kSourceColor1)
        return "gl_Color";
    if (source == kSourceColor2)
        return "gl_SecondaryColor";
    return material;
}

void Append(std::string* text, const char* format, int a = 0, int b = 0)
{
    char line[256];
    std::snprintf(line, sizeof(line), format, a, b);
    *text += line;
}

// One light's term: Direct3D's attenuation with the range cut-off, its spot factor between the inner
// (theta) and outer (phi) cones with the falloff power, then ambient, diffuse and specular sums.
void LightText(std::string* text, int i, unsigned kind, const GlLitKey& key)
{
    Append(text, "  {\n    vec3 L; float att = 1.0;\n");
    if (kind == kKindDirectional) {
        Append(text, "    L = normalize(gl_LightSource[%d].position.xyz);\n", i);
    } else {
        Append(text, "    vec3 D = gl_LightSource[%d].position.xyz - P;\n    float d = length(D);\n", i);
        Append(text, "    L = d > 0.0 ? D / d : vec3(0.0, 0.0, 1.0);\n");
        Append(text, "    float k = gl_LightSource[%d].constantAttenuation + gl_LightSource[%d].linearAttenuation * d",
               i, i);
        Append(text, " + gl_LightSource[%d].quadraticAttenuation * d * d;\n", i);
        Append(text, "    att = (d <= lightExtra[%d].x && k > 0.0) ? 1.0 / k : 0.0;\n", i);
    }
    if (kind == kKindSpot) {
        Append(text, "    float rho = dot(-L, normalize(gl_LightSource[%d].spotDirection));\n", i);
        Append(text, "    vec4 e = lightExtra[%d];\n", i);
        Append(text,
               "    float spot = rho > e.z ? 1.0 : (rho <= e.w ? 0.0 : (e.y > 0.0 ? pow((rho - e.w) / (e.z - e.w), "
               "e.y) : 1.0));\n");
        Append(text, "    att *= spot;\n");
    }
    Append(text, "    float nl = max(dot(N, L), 0.0);\n");
    Append(text, "    ambientSum += gl_LightSource[%d].ambient.rgb * att;\n", i);
    Append(text, "    diffuseSum += gl_LightSource[%d].diffuse.rgb * (nl * att);\n", i);
    if (key.specular) {
        Append(text, "    if (nl > 0.0) {\n");
        Append(text, key.localViewer ? "      vec3 V = normalize(-P);\n" : "      vec3 V = vec3(0.0, 0.0, 1.0);\n");
        Append(text, "      float nh = max(dot(N, normalize(L + V)), 0.0);\n");
        Append(text, "      float power = gl_FrontMaterial.shininess;\n");
        Append(text,
               "      specularSum += gl_LightSource[%d].specular.rgb * ((power > 0.0 ? pow(nh, power) : 1.0) * "
               "att);\n",
               i);
        Append(text, "    }\n");
    }
    Append(text, "  }\n");
}

void TexCoordText(std::string* text, int s, unsigned gen)
{
    Append(text, "  {\n    vec4 t = gl_MultiTexCoord%d;\n", s);
    switch (gen) {
    case kGenNormal:
        Append(text, "    t = vec4(N, t.w);\n");
        break;
    case kGenPosition:
        Append(text, "    t = vec4(P, t.w);\n");
        break;
    case kGenReflection:
        Append(text, "    t = vec4(reflect(normalize(P), N), t.w);\n");
        break;
    case kGenSphere:
        Append(text, "    vec3 r = reflect(normalize(P), N);\n");
        Append(text, "    float m = 2.0 * sqrt(r.x * r.x + r.y * r.y + (r.z + 1.0) * (r.z + 1.0));\n");
        Append(text, "    t = vec4(m > 0.0 ? r.xy / m + 0.5 : vec2(0.5), t.zw);\n");
        break;
    default:
        break;
    }
    Append(text, "    gl_TexCoord[%d] = gl_TextureMatrix[%d] * t;\n  }\n", s, s);
}

std::string ProgramText(const GlLitKey& key)
{
    std::string text = "#version 120\n// range, falloff, cos(theta / 2), cos(phi / 2) per light\n";
    Append(&text, "uniform vec4 lightExtra[%d];\n", kGlMaxLights);
    text += "void main()\n{\n";
    text += "  vec4 eye = gl_ModelViewMatrix * gl_Vertex;\n";
    text += "  gl_Position = ftransform();\n";
    text += "  gl_ClipVertex = eye;\n";
    text += "  gl_FogFragCoord = abs(eye.z);\n";
    text += "  vec3 P = eye.xyz / eye.w;\n";
    text += key.normalize ? "  vec3 N = normalize(gl_NormalMatrix * gl_Normal);\n"
                          : "  vec3 N = gl_NormalMatrix * gl_Normal;\n";
    text += "  vec3 ambientSum = vec3(0.0);\n  vec3 diffuseSum = vec3(0.0);\n  vec3 specularSum = vec3(0.0);\n";
    for (int i = 0; i < kGlMaxLights; ++i) {
        if (key.lights[i] != kKindNone)
            LightText(&text, i, key.lights[i], key);
    }
    text += std::string("  vec4 md = ") + SourceText(key.diffuse, "gl_FrontMaterial.diffuse") + ";\n";
    text += std::string("  vec4 ma = ") + SourceText(key.ambient, "gl_FrontMaterial.ambient") + ";\n";
    text += std::string("  vec4 ms = ") + SourceText(key.specularSource, "gl_FrontMaterial.specular") + ";\n";
    text += std::string("  vec4 me = ") + SourceText(key.emissive, "gl_FrontMaterial.emission") + ";\n";
    text += "  vec3 colour = me.rgb + ma.rgb * (gl_LightModel.ambient.rgb + ambientSum) + md.rgb * diffuseSum;\n";
    text += "  gl_FrontColor = clamp(vec4(colour, md.a), 0.0, 1.0);\n";
    text += "  gl_BackColor = gl_FrontColor;\n";
    text += "  gl_FrontSecondaryColor = vec4(clamp(ms.rgb * specularSum, 0.0, 1.0), 0.0);\n";
    text += "  gl_BackSecondaryColor = gl_FrontSecondaryColor;\n";
    for (int s = 0; s < key.units; ++s)
        TexCoordText(&text, s, key.gen[s]);
    text += "}\n";
    return text;
}

unsigned KindOf(D3DLIGHTTYPE type)
{
    switch (type) {
    case D3DLIGHT_DIRECTIONAL:
        return kKindDirectional;
    case D3DLIGHT_SPOT:
        return kKindSpot;
    default:
        return kKindPoint;
    }
}

}  // namespace

void GlBackend::RecordLight(int slot, const D3DLIGHT9& light)
{
    GlLightInfo& info = lightInfo_[slot];
    info.kind = KindOf(light.Type);
    info.extra[0] = light.Range;
    info.extra[1] = light.Falloff;
    info.extra[2] = std::cos(light.Theta * 0.5f);
    info.extra[3] = std::cos(light.Phi * 0.5f);
}

void GlBackend::DeleteLitPrograms()
{
    for (const auto& entry : litPrograms_) {
        if (entry.second.program)
            qgl.DeleteProgram(entry.second.program);
    }
    litPrograms_.clear();
    boundProgram_ = 0;
    programKnown_ = false;
}

// Runs lit draws with a local light through the generated program; every other draw through fixed GL.
void GlBackend::ApplyLitProgram(const D3D9State& state, const GlArrays& arrays)
{
    const DWORD* rs = state.renderStates;
    const bool lighting = rs[D3DRS_LIGHTING] && !arrays.pretransformed;
    bool local = false;
    for (int i = 0; i < usedLights_; ++i)
        local = local || lightInfo_[i].kind != kKindDirectional;
    const GlLitProgram* chosen = nullptr;
    if (lighting && local) {
        GlLitKey key = {};
        for (int i = 0; i < usedLights_; ++i)
            key.lights[i] = lightInfo_[i].kind;
        const bool colourVertex = rs[D3DRS_COLORVERTEX] != 0;
        key.diffuse = SourceOf(rs[D3DRS_DIFFUSEMATERIALSOURCE], colourVertex, arrays.hasColor, arrays.hasSpecular);
        key.ambient = SourceOf(rs[D3DRS_AMBIENTMATERIALSOURCE], colourVertex, arrays.hasColor, arrays.hasSpecular);
        key.specularSource =
            SourceOf(rs[D3DRS_SPECULARMATERIALSOURCE], colourVertex, arrays.hasColor, arrays.hasSpecular);
        key.emissive = SourceOf(rs[D3DRS_EMISSIVEMATERIALSOURCE], colourVertex, arrays.hasColor, arrays.hasSpecular);
        key.specular = rs[D3DRS_SPECULARENABLE] != 0;
        key.localViewer = rs[D3DRS_LOCALVIEWER] != 0;
        key.normalize = rs[D3DRS_NORMALIZENORMALS] != 0;
        key.units = std::min(maxUnits_, kMaxLitUnits);
        for (int s = 0; s < key.units; ++s)
            key.gen[s] = (state.textureStageStates[s][D3DTSS_TEXCOORDINDEX] >> 16) & 0x7u;
        const uint64_t packed = key.Pack();
        auto found = litPrograms_.find(packed);
        if (found == litPrograms_.end()) {
            GlLitProgram made;
            made.program = GlCompileProgram(GL_VERTEX_SHADER, ProgramText(key), 0);
            made.extraLocation = made.program ? qgl.GetUniformLocation(made.program, "lightExtra") : -1;
            found = litPrograms_.emplace(packed, made).first;
        }
        if (found->second.program)
            chosen = &found->second;
    }
    const GLuint program = chosen ? chosen->program : 0;
    if (!programKnown_ || program != boundProgram_) {
        qgl.UseProgram(program);
        boundProgram_ = program;
        programKnown_ = true;
    }
    if (!chosen)
        return;
    float extra[kGlMaxLights * 4] = {};
    for (int i = 0; i < usedLights_; ++i)
        std::memcpy(&extra[i * 4], lightInfo_[i].extra, sizeof(lightInfo_[i].extra));
    if (chosen->extraLocation >= 0)
        qgl.Uniform4fv(chosen->extraLocation, kGlMaxLights, extra);
    // With a program GL adds the specular colour only through the colour sum.
    GlEnableIf(GL_COLOR_SUM, rs[D3DRS_SPECULARENABLE] != 0);
}
