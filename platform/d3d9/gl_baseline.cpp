// The plain-OpenGL baseline scene: the same mesh, light and matrices as the layer's, with no layer between.
#include "platform/d3d9/gl_baseline.h"

#include "platform/d3d9/gl_context.h"
#include "platform/d3d9/glimports.h"

#include <vector>

struct GlBaseline {
    GlContext ctx;
    int width = 0;
    int height = 0;
    GLsizei indexCount = 0;
    std::vector<GLint> baseVertices;
    float background[4] = {0, 0, 0, 1};
    float lightPosition[4] = {0, 0, 0, 0};
    GLuint buffers[2] = {0, 0};
    GLuint texture = 0;
    GLuint fbo = 0;
    GLuint colour = 0;
    GLuint depth = 0;
};

static void ColourFloats(D3DCOLOR c, float out[4])
{
    out[0] = ((c >> 16) & 0xFF) / 255.0f;
    out[1] = ((c >> 8) & 0xFF) / 255.0f;
    out[2] = (c & 0xFF) / 255.0f;
    out[3] = ((c >> 24) & 0xFF) / 255.0f;
}

static void UploadScene(GlBaseline* b, const GlBaselineScene& scene)
{
    const GLsizei stride = 32;
    qgl.GenBuffers(2, b->buffers);
    qgl.BindBuffer(GL_ARRAY_BUFFER, b->buffers[0]);
    qgl.BufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(scene.vertexCount * stride), scene.vertices,
                   GL_STATIC_DRAW);
    qgl.BindBuffer(GL_ELEMENT_ARRAY_BUFFER, b->buffers[1]);
    qgl.BufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(scene.indexCount * 2), scene.indices,
                   GL_STATIC_DRAW);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glVertexPointer(3, GL_FLOAT, stride, reinterpret_cast<const void*>(0));
    glNormalPointer(GL_FLOAT, stride, reinterpret_cast<const void*>(12));
    glTexCoordPointer(2, GL_FLOAT, stride, reinterpret_cast<const void*>(24));
    glGenTextures(1, &b->texture);
    glBindTexture(GL_TEXTURE_2D, b->texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, scene.textureSize, scene.textureSize, 0, GL_BGRA, GL_UNSIGNED_BYTE,
                 scene.texels);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glEnable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
}

// Direct3D conventions: clockwise front faces, depth 0..1, top-left origin.
static void SetFixedState(GlBaseline* b, const GlBaselineScene& scene)
{
    qgl.ClipControl(GL_UPPER_LEFT, GL_ZERO_TO_ONE);
    glFrontFace(GL_CW);
    glEnable(GL_CULL_FACE);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    const float white[4] = {1, 1, 1, 1};
    float ambient[4];
    ColourFloats(scene.ambient, ambient);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, white);
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, white);
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, white);
    glViewport(0, 0, b->width, b->height);
    ColourFloats(scene.background, b->background);
    // GL takes the direction towards the light.
    b->lightPosition[0] = -scene.lightDirection.x;
    b->lightPosition[1] = -scene.lightDirection.y;
    b->lightPosition[2] = -scene.lightDirection.z;
}

static void CreateFramebuffer(GlBaseline* b)
{
    glGenTextures(1, &b->colour);
    glBindTexture(GL_TEXTURE_2D, b->colour);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, b->width, b->height, 0, GL_BGRA, GL_UNSIGNED_BYTE, nullptr);
    glBindTexture(GL_TEXTURE_2D, b->texture);
    qgl.GenRenderbuffers(1, &b->depth);
    qgl.BindRenderbuffer(GL_RENDERBUFFER, b->depth);
    qgl.RenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, b->width, b->height);
    qgl.GenFramebuffers(1, &b->fbo);
    qgl.BindFramebuffer(GL_FRAMEBUFFER, b->fbo);
    qgl.FramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, b->colour, 0);
    qgl.FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, b->depth);
}

GlBaseline* GlBaselineCreate(const GlBaselineScene& scene, int width, int height, bool throughFbo)
{
    GlBaseline* b = new GlBaseline();
    b->ctx.depthBits = 24;
    if (!GlContextCreate(&b->ctx, nullptr, width, height)) {
        delete b;
        return nullptr;
    }
    b->width = width;
    b->height = height;
    b->indexCount = static_cast<GLsizei>(scene.indexCount);
    b->baseVertices.assign(scene.batchBaseVertices, scene.batchBaseVertices + scene.batchCount);
    UploadScene(b, scene);
    SetFixedState(b, scene);
    if (throughFbo)
        CreateFramebuffer(b);
    return b;
}

void GlBaselineDrawFrame(GlBaseline* b, const D3DMATRIX& world, const D3DMATRIX& view, const D3DMATRIX& proj)
{
    if (!b)
        return;
    glClearColor(b->background[0], b->background[1], b->background[2], b->background[3]);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixf(&proj.m[0][0]);
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixf(&view.m[0][0]);
    glLightfv(GL_LIGHT0, GL_POSITION, b->lightPosition);
    glMultMatrixf(&world.m[0][0]);
    for (GLint base : b->baseVertices) {
        qgl.DrawElementsBaseVertex(GL_TRIANGLES, b->indexCount, GL_UNSIGNED_SHORT, nullptr, base);
    }
    if (b->fbo) {
        qgl.BindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
        qgl.BlitFramebuffer(0, 0, b->width, b->height, 0, b->height, b->width, 0, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    }
    GlContextSwap(&b->ctx, 0);
    if (b->fbo)
        qgl.BindFramebuffer(GL_FRAMEBUFFER, b->fbo);
}

void GlBaselineDestroy(GlBaseline* b)
{
    if (!b)
        return;
    if (b->fbo) {
        qgl.BindFramebuffer(GL_FRAMEBUFFER, 0);
        qgl.DeleteFramebuffers(1, &b->fbo);
        qgl.DeleteRenderbuffers(1, &b->depth);
        glDeleteTextures(1, &b->colour);
    }
    glDeleteTextures(1, &b->texture);
    qgl.DeleteBuffers(2, b->buffers);
    GlContextDestroy(&b->ctx);
    delete b;
}
