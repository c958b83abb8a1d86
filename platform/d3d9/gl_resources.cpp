// OpenGL back end: textures, standalone surfaces and buffers, and their uploads.
#include "platform/d3d9/gl_local.h"

#include <algorithm>
#include <cstring>

// ---------------------------------------------------------------- textures

HRESULT GlBackend::CreateTexture(D3D9TextureData* texture)
{
    if (!open_)
        return D3DERR_INVALIDCALL;
    const GlFormat* f = GlFormatFind(texture->format);
    if (!f)
        return D3DERR_NOTAVAILABLE;
    if (texture->width > static_cast<UINT>(maxTextureSize_) || texture->height > static_cast<UINT>(maxTextureSize_)) {
        return D3DERR_NOTAVAILABLE;
    }
    GlContextBind(&ctx_);
    GlTexture* tex = new GlTexture();
    tex->format = f;
    tex->target = texture->kind == D3D9_TEXTURE_CUBE ? GL_TEXTURE_CUBE_MAP : GL_TEXTURE_2D;
    tex->glLevels = static_cast<GLint>(std::max<UINT>(texture->levels, 1));
    if ((texture->usage & D3DUSAGE_AUTOGENMIPMAP) && !f->blockBytes && !f->convert && !f->depth) {
        UINT edge = std::max(texture->width, texture->height);
        GLint chain = 1;
        while (edge > 1) {
            edge >>= 1;
            ++chain;
        }
        tex->glLevels = chain;
    }
    glGenTextures(1, &tex->name);
    qgl.ActiveTexture(GL_TEXTURE0);
    glBindTexture(tex->target, tex->name);
    glTexParameteri(tex->target, GL_TEXTURE_BASE_LEVEL, 0);
    glTexParameteri(tex->target, GL_TEXTURE_MAX_LEVEL, tex->glLevels - 1);
    if (f->depth)
        glTexParameteri(tex->target, GL_DEPTH_TEXTURE_MODE, GL_LUMINANCE);
    texture->backend = tex;
    const UINT faces = texture->kind == D3D9_TEXTURE_CUBE ? 6 : 1;
    for (UINT face = 0; face < faces; ++face) {
        for (GLint level = 0; level < tex->glLevels; ++level) {
            const GLsizei w = static_cast<GLsizei>(std::max<UINT>(texture->width >> level, 1));
            const GLsizei h = static_cast<GLsizei>(std::max<UINT>(texture->height >> level, 1));
            if (static_cast<UINT>(level) < texture->levels) {
                UploadLevel(tex, texture->Surface(face, static_cast<UINT>(level)), GlFaceTarget(tex, face), nullptr);
            } else if (!f->blockBytes) {
                glTexImage2D(GlFaceTarget(tex, face), level, static_cast<GLint>(f->internalFormat), w, h, 0,
                             f->convert ? GL_BGRA : f->format, f->convert ? GL_UNSIGNED_BYTE : f->type, nullptr);
            }
        }
    }
    glBindTexture(tex->target, 0);
    ForgetStages();
    if (glGetError() == GL_OUT_OF_MEMORY) {
        DestroyTexture(texture);
        return D3DERR_OUTOFVIDEOMEMORY;
    }
    return D3D_OK;
}

void GlBackend::DestroyTexture(D3D9TextureData* texture)
{
    GlTexture* tex = static_cast<GlTexture*>(texture->backend);
    if (!tex)
        return;
    if (open_) {
        GlContextBind(&ctx_);
        glDeleteTextures(1, &tex->name);
    }
    delete tex;
    texture->backend = nullptr;
    boundColor_ = nullptr;
    boundDepth_ = nullptr;
    ForgetStages();
}

// Sends one level from the system copy (rect null: the whole level).
void GlBackend::UploadLevel(GlTexture* tex, D3D9SurfaceData* surface, GLenum target, const RECT* rect)
{
    const GlFormat* f = tex->format;
    const GLint level = static_cast<GLint>(surface->level);
    const GLsizei w = static_cast<GLsizei>(surface->width);
    const GLsizei h = static_cast<GLsizei>(surface->height);
    if (f->blockBytes) {
        // Blocks go whole: a partial upload would need block-aligned rectangles.
        qgl.CompressedTexImage2D(target, level, f->internalFormat, w, h, 0, static_cast<GLsizei>(surface->bits.size()),
                                 surface->bits.data());
        return;
    }
    LONG left = 0, top = 0, right = static_cast<LONG>(w), bottom = static_cast<LONG>(h);
    if (rect) {
        left = std::max<LONG>(rect->left, 0);
        top = std::max<LONG>(rect->top, 0);
        right = std::min<LONG>(rect->right, static_cast<LONG>(w));
        bottom = std::min<LONG>(rect->bottom, static_cast<LONG>(h));
        if (right <= left || bottom <= top)
            return;
    }
    const bool whole = !rect || (left == 0 && top == 0 && right == w && bottom == h);
    if (f->convert) {
        const int cw = right - left;
        std::vector<uint8_t> rgba(static_cast<size_t>(cw) * static_cast<size_t>(bottom - top) * 4u);
        for (LONG y = top; y < bottom; ++y) {
            const uint8_t* src = surface->bits.data() + static_cast<size_t>(y) * surface->pitch +
                                 static_cast<size_t>(left) * static_cast<size_t>(f->bytesPerPixel);
            GlFormatConvertRow(f, src, rgba.data() + static_cast<size_t>(y - top) * cw * 4u, cw);
        }
        glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
        if (whole) {
            glTexImage2D(target, level, static_cast<GLint>(f->internalFormat), w, h, 0, GL_BGRA, GL_UNSIGNED_BYTE,
                         rgba.data());
        } else {
            glTexSubImage2D(target, level, left, top, cw, bottom - top, GL_BGRA, GL_UNSIGNED_BYTE, rgba.data());
        }
        return;
    }
    glPixelStorei(GL_UNPACK_ROW_LENGTH, static_cast<GLint>(surface->pitch / static_cast<UINT>(f->bytesPerPixel)));
    if (whole) {
        glTexImage2D(target, level, static_cast<GLint>(f->internalFormat), w, h, 0, f->format, f->type,
                     surface->bits.empty() ? nullptr : surface->bits.data());
    } else {
        const uint8_t* start = surface->bits.data() + static_cast<size_t>(top) * surface->pitch +
                               static_cast<size_t>(left) * static_cast<size_t>(f->bytesPerPixel);
        glTexSubImage2D(target, level, left, top, right - left, bottom - top, f->format, f->type, start);
    }
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
}

void GlBackend::UploadTexture(D3D9TextureData* texture, UINT face, UINT level, const RECT* rect)
{
    GlTexture* tex = static_cast<GlTexture*>(texture->backend);
    if (!tex || !open_ || level >= texture->levels)
        return;
    GlContextBind(&ctx_);
    qgl.ActiveTexture(GL_TEXTURE0);
    glBindTexture(tex->target, tex->name);
    UploadLevel(tex, texture->Surface(face, level), GlFaceTarget(tex, face), rect);
    if (level == 0 && tex->glLevels > static_cast<GLint>(texture->levels))
        qgl.GenerateMipmap(tex->target);
    glBindTexture(tex->target, 0);
    ForgetStages();
}

void GlBackend::GenerateMipSubLevels(D3D9TextureData* texture)
{
    GlTexture* tex = static_cast<GlTexture*>(texture->backend);
    if (!tex || !open_ || tex->glLevels <= 1 || tex->format->blockBytes)
        return;
    GlContextBind(&ctx_);
    qgl.ActiveTexture(GL_TEXTURE0);
    glBindTexture(tex->target, tex->name);
    qgl.GenerateMipmap(tex->target);
    glBindTexture(tex->target, 0);
    ForgetStages();
}

// ---------------------------------------------------------------- surfaces

HRESULT GlBackend::CreateSurface(D3D9SurfaceData* surface)
{
    if (!open_)
        return D3DERR_INVALIDCALL;
    // Levels live in their texture; system-memory and plain surfaces only in bits.
    if (surface->flags & D3D9_SURFACE_LEVEL)
        return D3D_OK;
    const bool target = (surface->usage & (D3DUSAGE_RENDERTARGET | D3DUSAGE_DEPTHSTENCIL)) ||
                        (surface->flags & (D3D9_SURFACE_BACKBUFFER | D3D9_SURFACE_AUTODEPTH));
    if (!target)
        return D3D_OK;
    const GlFormat* f = GlFormatFind(surface->format);
    if (!f)
        return D3DERR_NOTAVAILABLE;
    GlContextBind(&ctx_);
    GlSurface* s = new GlSurface();
    s->format = f;
    const GLsizei w = static_cast<GLsizei>(std::max<UINT>(surface->width, 1));
    const GLsizei h = static_cast<GLsizei>(std::max<UINT>(surface->height, 1));
    if (f->depth) {
        qgl.GenRenderbuffers(1, &s->renderbuffer);
        qgl.BindRenderbuffer(GL_RENDERBUFFER, s->renderbuffer);
        qgl.RenderbufferStorage(GL_RENDERBUFFER, f->internalFormat, w, h);
        qgl.BindRenderbuffer(GL_RENDERBUFFER, 0);
    } else {
        glGenTextures(1, &s->texture);
        qgl.ActiveTexture(GL_TEXTURE0);
        glBindTexture(GL_TEXTURE_2D, s->texture);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
        glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(f->internalFormat), w, h, 0, f->convert ? GL_BGRA : f->format,
                     f->convert ? GL_UNSIGNED_BYTE : f->type, nullptr);
        glBindTexture(GL_TEXTURE_2D, 0);
    }
    surface->backend = s;
    ForgetStages();
    if (glGetError() == GL_OUT_OF_MEMORY) {
        DestroySurface(surface);
        return D3DERR_OUTOFVIDEOMEMORY;
    }
    return D3D_OK;
}

void GlBackend::DestroySurface(D3D9SurfaceData* surface)
{
    if (surface == boundColor_ || surface == boundDepth_) {
        boundColor_ = nullptr;
        boundDepth_ = nullptr;
        dirty_ |= kGlDirtyTargets;
    }
    if (surface->flags & D3D9_SURFACE_LEVEL)
        return;
    GlSurface* s = static_cast<GlSurface*>(surface->backend);
    if (!s)
        return;
    if (open_) {
        GlContextBind(&ctx_);
        if (s->texture)
            glDeleteTextures(1, &s->texture);
        if (s->renderbuffer)
            qgl.DeleteRenderbuffers(1, &s->renderbuffer);
    }
    delete s;
    surface->backend = nullptr;
}

void GlBackend::UploadSurface(D3D9SurfaceData* surface, const RECT* rect)
{
    if (surface->flags & D3D9_SURFACE_LEVEL) {
        if (surface->texture)
            UploadTexture(surface->texture, surface->face, surface->level, rect);
        return;
    }
    GlSurface* s = static_cast<GlSurface*>(surface->backend);
    if (!s || !s->texture || !open_)
        return;
    GlContextBind(&ctx_);
    GlTexture tex;
    tex.name = s->texture;
    tex.format = s->format;
    qgl.ActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, s->texture);
    UploadLevel(&tex, surface, GL_TEXTURE_2D, rect);
    glBindTexture(GL_TEXTURE_2D, 0);
    ForgetStages();
}

// ---------------------------------------------------------------- buffers

HRESULT GlBackend::CreateBuffer(D3D9BufferData* buffer)
{
    if (!open_)
        return D3DERR_INVALIDCALL;
    GlContextBind(&ctx_);
    GlBuffer* b = new GlBuffer();
    b->target = buffer->kind == D3D9_BUFFER_INDEX ? GL_ELEMENT_ARRAY_BUFFER : GL_ARRAY_BUFFER;
    qgl.GenBuffers(1, &b->name);
    qgl.BindBuffer(b->target, b->name);
    const GLenum usage = (buffer->usage & D3DUSAGE_DYNAMIC) ? GL_DYNAMIC_DRAW : GL_STATIC_DRAW;
    qgl.BufferData(b->target, static_cast<GLsizeiptr>(buffer->size), buffer->bits.data(), usage);
    qgl.BindBuffer(b->target, 0);
    buffer->backend = b;
    if (glGetError() == GL_OUT_OF_MEMORY) {
        DestroyBuffer(buffer);
        return D3DERR_OUTOFVIDEOMEMORY;
    }
    return D3D_OK;
}

void GlBackend::DestroyBuffer(D3D9BufferData* buffer)
{
    GlBuffer* b = static_cast<GlBuffer*>(buffer->backend);
    if (!b)
        return;
    if (open_) {
        GlContextBind(&ctx_);
        GlDropConvertedCopies(b);
        qgl.DeleteBuffers(1, &b->name);
        // GL unbinds a deleted buffer from the arrays and may give its name to the next one.
        arraysKept_ = false;
    }
    delete b;
    buffer->backend = nullptr;
}

void GlBackend::UploadBuffer(D3D9BufferData* buffer, UINT offset, UINT size, DWORD lockFlags)
{
    GlBuffer* b = static_cast<GlBuffer*>(buffer->backend);
    if (!b || !open_ || offset >= buffer->size)
        return;
    size = std::min(size, buffer->size - offset);
    if (size == 0)
        return;
    GlContextBind(&ctx_);
    if (!b->copies.empty())
        arraysKept_ = false;  // the arrays may read a copy deleted here
    GlDropConvertedCopies(b);
    gGlCounters.uploadedBytes += size;
    qgl.BindBuffer(b->target, b->name);
    const GLenum usage = (buffer->usage & D3DUSAGE_DYNAMIC) ? GL_DYNAMIC_DRAW : GL_STATIC_DRAW;
    if (offset == 0 && size == buffer->size) {
        // A whole rewrite replaces the storage instead of waiting on draws queued from it.
        qgl.BufferData(b->target, static_cast<GLsizeiptr>(size), buffer->bits.data(), usage);
    } else if (lockFlags & D3DLOCK_DISCARD) {
        // The rest of a discarded buffer is undefined; the system copy holds it anyway.
        qgl.BufferData(b->target, static_cast<GLsizeiptr>(buffer->size), buffer->bits.data(), usage);
    } else {
        qgl.BufferSubData(b->target, static_cast<GLintptr>(offset), static_cast<GLsizeiptr>(size),
                          buffer->bits.data() + offset);
    }
    qgl.BindBuffer(b->target, 0);
}
