// Loading of the OpenGL entry-point table through SDL_GL_GetProcAddress.
#include "platform/d3d9/glimports.h"

#include <cstring>
#include <SDL.h>

GlImports qgl;

bool GlImportsLoad(const char** missing)
{
    GlImports table = {};
#define MALL_GL_IMPORT_LOAD(ret, name, args)                                                 \
    table.name = reinterpret_cast<ret(GLAPIENTRY*) args>(SDL_GL_GetProcAddress("gl" #name)); \
    if (!table.name) {                                                                       \
        if (missing)                                                                         \
            *missing = "gl" #name;                                                           \
        return false;                                                                        \
    }
    MALL_GL_IMPORTS(MALL_GL_IMPORT_LOAD)
#undef MALL_GL_IMPORT_LOAD
    qgl = table;
    if (missing)
        *missing = nullptr;
    return true;
}

bool GlHasExtension(const char* name)
{
    if (!qgl.GetStringi || !name)
        return false;
    GLint count = 0;
    glGetIntegerv(GL_NUM_EXTENSIONS, &count);
    for (GLint i = 0; i < count; ++i) {
        const GLubyte* ext = qgl.GetStringi(GL_EXTENSIONS, static_cast<GLuint>(i));
        if (ext && std::strcmp(reinterpret_cast<const char*>(ext), name) == 0)
            return true;
    }
    return false;
}
