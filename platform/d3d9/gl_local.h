// Internals of the OpenGL back end: its objects and the state it has sent to GL.
#pragma once

#include "platform/d3d9/backend.h"
#include "platform/d3d9/gl_backend.h"
#include "platform/d3d9/gl_context.h"
#include "platform/d3d9/gl_format.h"
#include "platform/d3d9/glimports.h"

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

enum {
    kGlMaxStages = 8,
    kGlMaxLights = 8,
    // Presented frames the driver may still be drawing while the next is issued. Unbounded, the processor runs
    // ahead of Mesa's software rasteriser until it holds its most scenes, and from then on every scene it starts
    // waits for the one before to finish: drawing and rasterising stop overlapping for good.
    kGlFramesInFlight = 2
};

// A texture (2D or cube) and its GL name.
struct GlTexture {
    GLuint name = 0;
    GLenum target = GL_TEXTURE_2D;
    const GlFormat* format = nullptr;
    GLint glLevels = 1;  // levels GL holds (a full chain for auto-generated mipmaps)
};

// A standalone surface with GL storage: a render target, back buffer or depth buffer.
struct GlSurface {
    GLuint texture = 0;       // colour surfaces
    GLuint renderbuffer = 0;  // depth-stencil surfaces
    const GlFormat* format = nullptr;
};

// A static vertex buffer's elements (a shader's inputs, or the fixed-function arrays GL cannot read as they are)
// decoded once to interleaved float4s in a GL buffer of its own; dropped when the buffer's contents change.
struct GlConvertedCopy {
    std::vector<DWORD> key;  // what was decoded (kGlShaderCopy or kGlFixedCopy, stream offset, stride, elements)
    GLuint name = 0;
    size_t vertices = 0;
};

struct GlBuffer {
    GLuint name = 0;
    GLenum target = GL_ARRAY_BUFFER;
    std::vector<GlConvertedCopy> copies;
};

// One vertex shader input a draw reads: where it lies in its vertex and which register takes it.
struct GlFetch {
    const BYTE* base;  // first vertex's element
    size_t stride;
    size_t limit;  // bytes readable from the first vertex's start
    DWORD offset;  // of the element in its vertex
    BYTE type;
    int reg;
};

// What one surface is to an FBO attachment.
struct GlAttachment {
    GLuint texture = 0;
    GLuint renderbuffer = 0;
    GLenum textarget = GL_TEXTURE_2D;
    GLint level = 0;
    bool depth = false;
    bool stencil = false;
    bool valid = false;
};

// A light as the generated lighting program needs it, per GL light slot.
struct GlLightInfo {
    unsigned kind = 0;    // 1 directional, 2 point, 3 spot
    float extra[4] = {};  // range, falloff, cos(theta / 2), cos(phi / 2)
};

// A compiled lighting program; program 0 when its text did not compile.
struct GlLitProgram {
    GLuint program = 0;
    GLint extraLocation = -1;
};

// What SetupArrays found in a draw's vertex data; ok is false when the draw
// has no position to send.
struct GlArrays {
    bool ok = false;
    GLint baseVertex = 0;  // added to every index (re-bases onto a converted copy)
    bool pretransformed = false;
    bool hasNormal = false;
    bool hasColor = false;
    bool hasSpecular = false;
    int texCounts[kGlMaxStages] = {};  // coordinates each stage reads from its array
};

// One fixed-function array as a draw points it: which array (a kArray* bit, or the texture array of a stage),
// its format, and the buffer and offset (or client address) it reads.
struct GlArrayPointer {
    unsigned array;
    GLint size;
    GLenum type;
    GLsizei stride;
    GLuint buffer;
    const void* pointer;
};

inline bool operator==(const GlArrayPointer& a, const GlArrayPointer& b)
{
    return a.array == b.array && a.size == b.size && a.type == b.type && a.stride == b.stride && a.buffer == b.buffer &&
           a.pointer == b.pointer;
}
inline bool operator!=(const GlArrayPointer& a, const GlArrayPointer& b) { return !(a == b); }

// The GL target of one face of a texture (the 2D target for plain textures).
inline GLenum GlFaceTarget(const GlTexture* tex, UINT face)
{
    if (tex->target == GL_TEXTURE_CUBE_MAP)
        return GL_TEXTURE_CUBE_MAP_POSITIVE_X + face;
    return GL_TEXTURE_2D;
}

// Dirty groups set by StateChanged and cleared when sent.
enum {
    kGlDirtyRender = 1u << 0,
    kGlDirtyTransform = 1u << 1,
    kGlDirtyLights = 1u << 2,
    kGlDirtyMaterial = 1u << 3,
    kGlDirtyViewport = 1u << 4,
    kGlDirtyStages = 1u << 5,
    kGlDirtySamplers = 1u << 6,
    kGlDirtyTargets = 1u << 7,
    kGlDirtyScissor = 1u << 8,
    kGlDirtyClip = 1u << 9,
    kGlDirtyAll = 0xFFFFFFFFu
};

// The fixed fog GL was last given, kept here so that nothing reads it back from GL: a query waits for every
// command queued before it.
struct GlFogSent {
    bool on = false;
    GLint mode = GL_LINEAR;
    float start = 0.0f;
    float end = 1.0f;
    float density = 1.0f;
};

class GlBackend : public D3D9Backend {
public:
    // What ApplyStages sends to one texture unit.
    struct GlStageKey {
        DWORD active, texture, target, factor, sprites;
        DWORD colorOp, colorArgs[3], alphaOp, alphaArgs[3], constant;
    };

    GlBackend();
    ~GlBackend() override;
    bool Probe();

    const char* Name() const override { return "opengl"; }
    void GetIdentifier(D3DADAPTER_IDENTIFIER9* id) override;
    void GetCaps(D3DCAPS9* caps) override;
    void GetDesktopMode(D3DDISPLAYMODE* mode) override;
    void AddDisplayModes(std::vector<D3DDISPLAYMODE>* modes) override;
    HRESULT CheckDeviceFormat(D3DFORMAT adapterFormat, DWORD usage, D3DRESOURCETYPE type, D3DFORMAT format) override;

    HRESULT Open(HWND window, const D3DPRESENT_PARAMETERS& params) override;
    void Close() override;
    HRESULT Reset(const D3DPRESENT_PARAMETERS& params) override;
    HRESULT TestCooperativeLevel() override { return D3D_OK; }
    UINT GetAvailableTextureMem() override { return 512u * 1024u * 1024u; }
    void EvictManagedResources() override {}

    HRESULT CreateTexture(D3D9TextureData* texture) override;
    void DestroyTexture(D3D9TextureData* texture) override;
    void UploadTexture(D3D9TextureData* texture, UINT face, UINT level, const RECT* rect) override;
    void GenerateMipSubLevels(D3D9TextureData* texture) override;
    HRESULT CreateSurface(D3D9SurfaceData* surface) override;
    void DestroySurface(D3D9SurfaceData* surface) override;
    void UploadSurface(D3D9SurfaceData* surface, const RECT* rect) override;
    HRESULT CreateBuffer(D3D9BufferData* buffer) override;
    void DestroyBuffer(D3D9BufferData* buffer) override;
    void UploadBuffer(D3D9BufferData* buffer, UINT offset, UINT size, DWORD lockFlags) override;
    HRESULT CreateDeclaration(D3D9DeclarationData*) override { return D3D_OK; }
    void DestroyDeclaration(D3D9DeclarationData*) override {}
    HRESULT CreateShader(D3D9ShaderData* shader) override;
    void DestroyShader(D3D9ShaderData* shader) override;
    HRESULT CreateSwapChain(HWND, const D3DPRESENT_PARAMETERS&) override { return D3DERR_NOTAVAILABLE; }

    void StateChanged(const D3D9State& state, D3D9StateKind kind, DWORD a, DWORD b, DWORD value) override;
    HRESULT BeginScene() override { return D3D_OK; }
    HRESULT EndScene() override { return D3D_OK; }
    HRESULT Clear(const D3D9State& state, DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                  DWORD stencil) override;
    HRESULT Draw(const D3D9State& state, const D3D9DrawCall& draw) override;
    HRESULT Present(D3D9SurfaceData* backBuffer, const RECT* source, const RECT* dest, HWND window) override;
    HRESULT ReadRenderTarget(D3D9SurfaceData* source, D3D9SurfaceData* dest) override;
    HRESULT StretchRect(D3D9SurfaceData* source, const RECT& sourceRect, D3D9SurfaceData* dest, const RECT& destRect,
                        D3DTEXTUREFILTERTYPE filter) override;
    HRESULT ColorFill(D3D9SurfaceData* surface, const RECT& rect, D3DCOLOR color) override;
    void SetGammaRamp(const D3DGAMMARAMP&) override {}

private:
    // gl_backend.cpp
    void SetupDefaults();
    void ForgetSentState();
    void ThrottleBeforeNextFrame();
    GlAttachment AttachmentOf(D3D9SurfaceData* surface) const;
    bool AttachTo(GLenum fboTarget, GLuint fbo, const GlAttachment& color, const GlAttachment& depth);
    bool AttachColorOnly(GLenum fboTarget, GLuint fbo, D3D9SurfaceData* surface);
    D3D9SurfaceData* DepthToAttach(const D3D9State& state) const;
    bool BindTargets(const D3D9State& state);
    void TargetSize(const D3D9State& state, int* width, int* height) const;
    GLuint TemporaryTexture(D3D9SurfaceData* surface);

    // gl_resources.cpp
    void UploadLevel(GlTexture* tex, D3D9SurfaceData* surface, GLenum target, const RECT* rect);

    // gl_state.cpp
    bool RenderStatesChanged(const DWORD* rs, std::initializer_list<D3DRENDERSTATETYPE> which) const;
    // GL's render state was changed outside ApplyRenderStates (clears, copies): send all of it again.
    void ForgetRenderStates();
    void ApplyRenderStates(const D3D9State& state);
    void ApplyStencil(const DWORD* rs, bool hasDepth);
    void ApplyBlend(const D3D9State& state);
    void ApplyFog(const D3D9State& state, bool pretransformed);
    void ApplyLighting(const D3D9State& state, bool pretransformed, bool hasNormal, bool hasColor, bool hasSpecular);
    void ApplyLights(const D3D9State& state);
    void ApplyClipPlanes(const D3D9State& state);
    void ApplyTransforms(const D3D9State& state, bool pretransformed);
    void LoadProjection(const float m[16]);
    void ApplyTextureTransform(const D3D9State& state, int stage, int inputCount);
    void ApplyViewport(const D3D9State& state, bool pretransformed);

    // gl_lighting.cpp
    void RecordLight(int slot, const D3DLIGHT9& light);
    void ApplyLitProgram(const D3D9State& state, const GlArrays& arrays);
    void DeleteLitPrograms();

    // gl_stages.cpp
    void ApplyStages(const D3D9State& state);
    // Runs the stages as a fragment program when the combiners cannot (temporary register, per-stage constants).
    void ApplyStageProgram(const D3D9State& state);
    void DeleteStagePrograms();
    void ApplySamplers(const D3D9State& state);

    // gl_shader.cpp
    GlArrays SetupShaderArrays(const D3D9State& state, const D3D9DrawCall& draw);
    const GlConvertedCopy* StaticCopy(const D3D9StreamBinding& binding, const std::vector<GlFetch>& fetches,
                                      const D3D9DrawCall& draw);
    // Uploads the first vertices * floatsPerVertex floats of the scratch as the binding's buffer's copy for key.
    const GlConvertedCopy* KeepCopy(const D3D9StreamBinding& binding, std::vector<DWORD> key, size_t vertices,
                                    size_t floatsPerVertex);
    void PointShaderInputs(const std::vector<GlFetch>& fetches, unsigned regs, const float* base);
    void ApplyShaderState(const D3D9State& state);
    void TrackConstantsInUse(const D3D9State& state);
    void FitShaderConstants(const D3D9State& state);
    void SendShaderConstants(const D3D9State& state);

    // gl_pshader.cpp: false when the shader's program cannot be made for the bound textures.
    bool ApplyPixelShader(const D3D9State& state);

    // gl_draw.cpp
    void ApplyState(const D3D9State& state, const GlArrays& arrays);
    GlArrays SetupArrays(const D3D9State& state, const D3D9DrawCall& draw);
    void SendPointers(bool fromBuffers);
    HRESULT Submit(const D3D9State& state, const D3D9DrawCall& draw, GLint baseVertex);
    void DisableArrays();

    GlContext ctx_;
    std::string renderer_;
    GLint maxTextureSize_ = 2048;
    float maxPointSize_ = 64.0f;
    int maxUnits_ = kGlMaxStages;
    bool combine3_ = false;       // MODULATE_ADD for MULTIPLYADD and friends
    bool vertexShaders_ = false;  // GLSL can hold the vs_1_1 constants
    bool pixelShaders_ = false;   // GLSL fragment programs run ps_1_1
    float maxAnisotropy_ = 1.0f;

    bool open_ = false;
    int swapInterval_ = -1;
    GLuint drawFbo_ = 0;
    GLuint readFbo_ = 0;
    GLsync frameFences_[kGlFramesInFlight] = {};  // one per presented frame still queued, oldest at nextFence_
    int nextFence_ = 0;
    bool throttleDue_ = false;  // a frame was presented and the next one has not begun
    GLuint whiteTexture_ = 0;
    GLuint samplers_[kGlMaxStages] = {};
    GLuint scratchTexture_ = 0;

    DWORD dirty_ = kGlDirtyAll;
    // The render states as ApplyRenderStates last sent them, valid while renderStatesKnown_.
    DWORD sentStates_[D3DRS_COUNT] = {};
    bool sentHasDepth_ = false;
    bool renderStatesKnown_ = false;
    unsigned samplerDirty_ = 0xFFu;
    unsigned stageDirty_ = 0xFFu;
    // What ApplyStages last sent to each texture unit, valid for the units in stageKnown_.
    GlStageKey stageKeys_[kGlMaxStages] = {};
    unsigned stageKnown_ = 0;
    // GL's texture units were changed outside ApplyStages (uploads, deleted textures, pixel shaders): send all.
    void ForgetStages()
    {
        stageDirty_ = 0xFFu;
        stageKnown_ = 0;
    }
    D3D9SurfaceData* boundColor_ = nullptr;
    D3D9SurfaceData* boundDepth_ = nullptr;  // attached: the state's, or one kept for draws without (DepthToAttach)
    bool fboBound_ = false;
    bool lastPretransformed_ = false;
    GlFogSent fog_;
    DWORD materialKey_ = 0xFFFFFFFFu;
    int lastTexCounts_[kGlMaxStages] = {};
    float sentProjection_[16] = {};  // the projection GL holds, while projectionKnown_
    bool projectionKnown_ = false;
    // Texture matrices and coordinate generation modes as last sent, valid for the stages in the masks.
    float sentTexMatrices_[kGlMaxStages][4][4] = {};
    unsigned texMatrixKnown_ = 0;
    DWORD sentTexGen_[kGlMaxStages] = {};
    unsigned texGenKnown_ = 0;

    // Lights as last sent (ApplyLights) and the lighting programs made for them.
    GlLightInfo lightInfo_[kGlMaxLights];
    int usedLights_ = 0;
    std::map<uint64_t, GlLitProgram> litPrograms_;
    // Fragment programs of the stage arrangements that need one, by their packed setups.
    struct GlStageProgram {
        GLuint program = 0;
        GLint factorLocation = -1;
        GLint constantsLocation = -1;
        GLint fogLocation = -1;
    };
    std::map<std::vector<DWORD>, GlStageProgram> stagePrograms_;
    GLuint boundProgram_ = 0;
    bool programKnown_ = false;  // false: the bound program must be sent again

    // Arrays enabled by the last draw, so the next one disables only those.
    unsigned enabledArrays_ = 0;
    unsigned enabledTexArrays_ = 0;
    unsigned enabledAttribs_ = 0;  // generic attributes of the last shader draw
    unsigned zeroedAttribs_ = 0;   // attributes without an array whose current value is known to be zero
    GLuint arraysCopy_ = 0;        // the decoded copy the shader inputs point at (0: none, or unknown)
    unsigned arraysGeneration_ = 0;
    // The fixed-function arrays as last pointed; GL still holds them while arraysKept_ (all read from buffers,
    // none of which has been deleted since).
    std::vector<GlArrayPointer> pointers_;
    std::vector<GlArrayPointer> sentPointers_;
    bool arraysKept_ = false;
    // Shader draws in a row skip the fixed-function state they switch off; the next fixed-function draw resends it.
    bool shaderMode_ = false;
    // Constants changed since they were last sent, and the program that got them.
    unsigned constantsLow_ = 0;
    unsigned constantsHigh_ = 0;
    GLuint constantsProgram_ = 0;
    unsigned constantsTop_ = 0;  // registers from here on hold zero (as far as the draws so far have seen)
    std::vector<GlFetch> fetches_;
    std::vector<DWORD> copyKey_;
    std::vector<float> convertScratch_;
    bool convertedDraw_ = false;
};

// Where one element's data starts: client memory, or an offset into the bound GL buffer.
struct GlSource {
    const BYTE* client;  // null for a buffer
    size_t offset;       // into the buffer
    GLsizei stride;
};

// The pointer argument GL takes for an element: a buffer offset becomes a pointer only after the sum is taken
// as an integer, since adding to a null pointer is undefined.
inline const void* GlSourcePointer(const GlSource& source, size_t elementOffset)
{
    if (source.client)
        return source.client + elementOffset;
    return reinterpret_cast<const void*>(static_cast<uintptr_t>(source.offset + elementOffset));
}

// What reached the back end, for tests that compare it with the software
// back end's log. Recording only while gGlTrace is set.
struct GlTraceCall {
    int what;  // 0 clear: count, flags, colour; 1 draw: type, primitives, indexed, start vertex, base, min index
    DWORD v[6];
};
extern std::vector<GlTraceCall>* gGlTrace;
extern D3D9GLCounters gGlCounters;

// The vertices a draw reads: the first (0 for user vertices) and how many.
struct GlVertexRange {
    long first;
    long count;
};
GlVertexRange GlDrawVertices(const D3D9DrawCall& draw);
// Deletes the decoded copies of a buffer whose contents changed or which goes.
void GlDropConvertedCopies(GlBuffer* buffer);
// Vertices a decoded copy of the bound buffer holds (all of it, from the stream offset); 0 when the draw cannot
// use one: a dynamic buffer (rewritten between draws), a zero stride, or vertices outside the buffer.
size_t GlCopyVertices(const D3D9StreamBinding& binding, const D3D9DrawCall& draw);
// The binding's buffer's copy made for key, if any.
const GlConvertedCopy* GlFindCopy(const D3D9StreamBinding& binding, const std::vector<DWORD>& key);
// First words of the copies' keys: a shader's inputs, or the fixed-function arrays.
constexpr DWORD kGlShaderCopy = 1;
constexpr DWORD kGlFixedCopy = 2;

inline void GlEnableIf(GLenum cap, bool on)
{
    if (on)
        glEnable(cap);
    else
        glDisable(cap);
}

// A D3DCOLOR (A,R,G,B in a DWORD) as GL's red, green, blue, alpha.
inline void GlColorValue(D3DCOLOR c, float out[4])
{
    out[0] = static_cast<float>((c >> 16) & 0xFF) / 255.0f;
    out[1] = static_cast<float>((c >> 8) & 0xFF) / 255.0f;
    out[2] = static_cast<float>(c & 0xFF) / 255.0f;
    out[3] = static_cast<float>((c >> 24) & 0xFF) / 255.0f;
}

// Render-state floats travel as their bits.
inline float GlFloatBits(DWORD v)
{
    float f;
    std::memcpy(&f, &v, sizeof(f));
    return f;
}

// Pure helpers shared with the tests.

// Vertex shader constants the generated GLSL declares.
constexpr unsigned kGlShaderConstants = 256;
// Uniform components the generated text needs beyond the constants (the pixel-centre shift).
constexpr unsigned kGlShaderSpareComponents = 4;
// The constant array a vertex shader translation declares. Every driver upload of a changed constant copies all of
// it, so it holds only what the shader may read: each register read by a fixed index and, with relative reads,
// the registers in use (past them all are zero, as a relative read past the array reads).
struct GlVertexShaderShape {
    unsigned constants = 0;  // registers in the array
    bool relative = false;   // reads constants through the address register
};
// GLSL text running a vs_1_1 token stream whose relative reads see `relativeConstants` registers; empty (and
// *error set) for a stream it cannot translate.
std::string GlVertexShaderText(const std::vector<DWORD>& tokens, std::string* error,
                               unsigned relativeConstants = kGlShaderConstants, GlVertexShaderShape* shape = nullptr);
// One past the highest of the first `count` registers that is not zero (bit for bit).
unsigned GlConstantsInUse(const float (*constants)[4], unsigned count);
// A GLSL program of one shader object of the kind (GL_VERTEX_SHADER or GL_FRAGMENT_SHADER) whose first `inputs`
// inputs v0.. are bound to the generic attributes of the same number; 0 when it does not compile or link.
GLuint GlCompileProgram(GLenum kind, const std::string& text, unsigned inputs);

// GLSL fragment text running a ps_1_1 token stream after the fixed-function vertex stage; stage i's texture is a
// cube map when bit i of cubeMask is set. *samplers (may be null) gets the mask of stages it samples. Empty (and
// *error set) for a stream it cannot translate.
std::string GlPixelShaderText(const std::vector<DWORD>& tokens, unsigned cubeMask, unsigned* samplers,
                              std::string* error);
// One texture stage as a generated fragment program runs it: operations, arguments (0, 1, 2), where the result
// goes, and the texture bound (0 none, 1 flat, 2 cube).
struct GlStageSetup {
    DWORD colorOp = D3DTOP_DISABLE;
    DWORD colorArgs[3] = {};
    DWORD alphaOp = D3DTOP_DISABLE;
    DWORD alphaArgs[3] = {};
    bool toTemp = false;
    int texture = 0;
};
// GLSL fragment text running `count` active stages (uniforms tfactor, stageConstant[8], fogParams); the specular
// colour is added after the last stage when `specular` is set.
std::string GlStageProgramText(const GlStageSetup* stages, int count, bool specular);
// Whether a stage's colour or alpha operation reads an argument source (D3DTA_TEMP, D3DTA_CONSTANT ...).
bool GlStageReadsArg(const DWORD* tss, DWORD source);

// Fog applied by a fragment program (GLSL defining fog_(colour) and its uniform), and the uniform's value from
// the fixed fog state.
extern const char* const kGlFragmentFog;
void GlSendFragmentFog(GLint location, const GlFogSent& fog);
// Compiles and links a fragment program whose samplers s<i> read unit i; 0 when it fails.
GLuint GlCompileFragmentProgram(const std::string& text);
// The back end's side of a pixel shader: refused when GL cannot run it.
HRESULT GlCreatePixelShader(D3D9ShaderData* shader, bool open);
void GlDestroyPixelShader(D3D9ShaderData* shader, bool open, GLuint* boundProgram);

// Row-vector product a * b of two row-major 4x4 matrices.
void GlMatrixMultiply(const float a[16], const float b[16], float out[16]);
// The projection with D3D's pixel-centre convention for a viewport of w x h.
void GlPixelCentreProjection(const D3DMATRIX& projection, float width, float height, float out[16]);
// Maps pretransformed pixel coordinates of a w x h target to clip space.
void GlPretransformedProjection(float width, float height, float out[16]);
// GL spot exponent that best approaches D3D's inner/outer cone falloff.
float GlSpotExponent(float theta, float phi, float falloff);
// Decodes one vertex element to four floats (missing components 0, 0, 0, 1).
void GlDecodeElement(BYTE type, const BYTE* src, float out[4]);
// Decodes `count` vertices from `first` of each fetch into interleaved float4s (out holds count * fetches * 4);
// what lies outside a fetch's data reads zero.
void GlDecodeFetches(const std::vector<GlFetch>& fetches, long first, long count, float* out);
// Copies of converted vertex data the back end keeps per static buffer.
constexpr size_t kGlMaxConvertedCopies = 4;
