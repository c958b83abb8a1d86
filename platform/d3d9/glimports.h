// The one table of OpenGL entry points past 1.1, loaded through SDL for the current context.
#pragma once

#include <cstddef>
#include <GL/gl.h>
#include <GL/glext.h>

// Every entry point the back end calls past GL 1.1, listed once. Mesa's gl.h
// declares some of them and glext.h then omits their pointer types, so the
// table spells its own signatures.
#define MALL_GL_IMPORTS(X)                                                                                            \
    X(void, ActiveTexture, (GLenum texture))                                                                          \
    X(void, ClientActiveTexture, (GLenum texture))                                                                    \
    X(void, CompressedTexImage2D,                                                                                     \
      (GLenum target, GLint level, GLenum internalformat, GLsizei width, GLsizei height, GLint border,                \
       GLsizei imageSize, const void* data))                                                                          \
    X(void, CompressedTexSubImage2D,                                                                                  \
      (GLenum target, GLint level, GLint xoffset, GLint yoffset, GLsizei width, GLsizei height, GLenum format,        \
       GLsizei imageSize, const void* data))                                                                          \
    X(void, DrawRangeElements,                                                                                        \
      (GLenum mode, GLuint start, GLuint end, GLsizei count, GLenum type, const void* indices))                       \
    X(void, DrawElementsBaseVertex, (GLenum mode, GLsizei count, GLenum type, const void* indices, GLint basevertex)) \
    X(void, DrawRangeElementsBaseVertex,                                                                              \
      (GLenum mode, GLuint start, GLuint end, GLsizei count, GLenum type, const void* indices, GLint basevertex))     \
    X(void, BlendFuncSeparate, (GLenum sfactorRGB, GLenum dfactorRGB, GLenum sfactorAlpha, GLenum dfactorAlpha))      \
    X(void, BlendEquation, (GLenum mode))                                                                             \
    X(void, BlendColor, (GLfloat red, GLfloat green, GLfloat blue, GLfloat alpha))                                    \
    X(void, SecondaryColorPointer, (GLint size, GLenum type, GLsizei stride, const void* pointer))                    \
    X(void, PointParameterf, (GLenum pname, GLfloat param))                                                           \
    X(void, PointParameterfv, (GLenum pname, const GLfloat* params))                                                  \
    X(void, GenBuffers, (GLsizei n, GLuint * buffers))                                                                \
    X(void, DeleteBuffers, (GLsizei n, const GLuint* buffers))                                                        \
    X(void, BindBuffer, (GLenum target, GLuint buffer))                                                               \
    X(void, BufferData, (GLenum target, GLsizeiptr size, const void* data, GLenum usage))                             \
    X(void, BufferSubData, (GLenum target, GLintptr offset, GLsizeiptr size, const void* data))                       \
    X(void, StencilOpSeparate, (GLenum face, GLenum sfail, GLenum dpfail, GLenum dppass))                             \
    X(void, StencilFuncSeparate, (GLenum face, GLenum func, GLint ref, GLuint mask))                                  \
    X(void, GenFramebuffers, (GLsizei n, GLuint * framebuffers))                                                      \
    X(void, DeleteFramebuffers, (GLsizei n, const GLuint* framebuffers))                                              \
    X(void, BindFramebuffer, (GLenum target, GLuint framebuffer))                                                     \
    X(GLsync, FenceSync, (GLenum condition, GLbitfield flags))                                                        \
    X(GLenum, ClientWaitSync, (GLsync sync, GLbitfield flags, GLuint64 timeout))                                      \
    X(void, DeleteSync, (GLsync sync))                                                                                \
    X(void, FramebufferTexture2D, (GLenum target, GLenum attachment, GLenum textarget, GLuint texture, GLint level))  \
    X(void, FramebufferRenderbuffer,                                                                                  \
      (GLenum target, GLenum attachment, GLenum renderbuffertarget, GLuint renderbuffer))                             \
    X(GLenum, CheckFramebufferStatus, (GLenum target))                                                                \
    X(void, GenRenderbuffers, (GLsizei n, GLuint * renderbuffers))                                                    \
    X(void, DeleteRenderbuffers, (GLsizei n, const GLuint* renderbuffers))                                            \
    X(void, BindRenderbuffer, (GLenum target, GLuint renderbuffer))                                                   \
    X(void, RenderbufferStorage, (GLenum target, GLenum internalformat, GLsizei width, GLsizei height))               \
    X(void, BlitFramebuffer,                                                                                          \
      (GLint srcX0, GLint srcY0, GLint srcX1, GLint srcY1, GLint dstX0, GLint dstY0, GLint dstX1, GLint dstY1,        \
       GLbitfield mask, GLenum filter))                                                                               \
    X(void, GenerateMipmap, (GLenum target))                                                                          \
    X(void, GenSamplers, (GLsizei count, GLuint * samplers))                                                          \
    X(void, DeleteSamplers, (GLsizei count, const GLuint* samplers))                                                  \
    X(void, BindSampler, (GLuint unit, GLuint sampler))                                                               \
    X(void, SamplerParameteri, (GLuint sampler, GLenum pname, GLint param))                                           \
    X(void, SamplerParameterf, (GLuint sampler, GLenum pname, GLfloat param))                                         \
    X(void, SamplerParameterfv, (GLuint sampler, GLenum pname, const GLfloat* param))                                 \
    X(void, ClipControl, (GLenum origin, GLenum depth))                                                               \
    X(void, ProvokingVertex, (GLenum mode))                                                                           \
    X(const GLubyte*, GetStringi, (GLenum name, GLuint index))                                                        \
    X(GLuint, CreateShader, (GLenum type))                                                                            \
    X(void, ShaderSource, (GLuint shader, GLsizei count, const GLchar* const* string, const GLint* length))           \
    X(void, CompileShader, (GLuint shader))                                                                           \
    X(void, GetShaderiv, (GLuint shader, GLenum pname, GLint * params))                                               \
    X(void, DeleteShader, (GLuint shader))                                                                            \
    X(GLuint, CreateProgram, (void))                                                                                  \
    X(void, AttachShader, (GLuint program, GLuint shader))                                                            \
    X(void, LinkProgram, (GLuint program))                                                                            \
    X(void, GetProgramiv, (GLuint program, GLenum pname, GLint * params))                                             \
    X(void, DeleteProgram, (GLuint program))                                                                          \
    X(void, UseProgram, (GLuint program))                                                                             \
    X(GLint, GetUniformLocation, (GLuint program, const GLchar* name))                                                \
    X(void, Uniform4fv, (GLint location, GLsizei count, const GLfloat* value))                                        \
    X(void, Uniform1i, (GLint location, GLint value))                                                                 \
    X(void, BindAttribLocation, (GLuint program, GLuint index, const GLchar* name))                                   \
    X(void, VertexAttribPointer,                                                                                      \
      (GLuint index, GLint size, GLenum type, GLboolean normalized, GLsizei stride, const void* pointer))             \
    X(void, EnableVertexAttribArray, (GLuint index))                                                                  \
    X(void, DisableVertexAttribArray, (GLuint index))                                                                 \
    X(void, VertexAttrib4f, (GLuint index, GLfloat x, GLfloat y, GLfloat z, GLfloat w))

// The loaded entry points; called as qgl.ActiveTexture(...).
struct GlImports {
#define MALL_GL_IMPORT_FIELD(ret, name, args) ret(GLAPIENTRY* name) args;
    MALL_GL_IMPORTS(MALL_GL_IMPORT_FIELD)
#undef MALL_GL_IMPORT_FIELD
};

extern GlImports qgl;

// Loads every entry point for the current context. Returns false and names
// the first missing one in *missing when the context lacks any of them.
bool GlImportsLoad(const char** missing);

// True when the current context lists the extension.
bool GlHasExtension(const char* name);
