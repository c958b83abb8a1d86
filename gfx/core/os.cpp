// The engine's OS string-function table, filled from the C library.
#include <cstdio>
#include <cstring>

#include "gfx/core/assert.h"
#include "gfx/core/core_local.h"
#include "platform/win32/windows.h"

namespace {
// The C++ library overloads these on const; the table wants one plain signature.
char* FindLast(const char* s, int c) { return const_cast<char*>(std::strrchr(s, c)); }
char* FindFirst(const char* s, int c) { return const_cast<char*>(std::strchr(s, c)); }
char* FindString(const char* s, const char* sub) { return const_cast<char*>(std::strstr(s, sub)); }
}  // namespace

GxBool GxOSInstallFunctions(void)
{
    GX_ASSERT(GxEngineInstance, "the engine instance holds the table");
    GxOSFunctions& os = GxEngineInstance->stringFuncs;
    os.gxSprintf = std::sprintf;
    os.gxVsprintf = std::vsprintf;
    os.gxStrcpy = std::strcpy;
    os.gxStrncpy = std::strncpy;
    os.gxStrcat = std::strcat;
    os.gxStrncat = std::strncat;
    os.gxStrrchr = FindLast;
    os.gxStrchr = FindFirst;
    os.gxStrstr = FindString;
    os.gxStrcmp = std::strcmp;
    os.gxStrncmp = std::strncmp;
    os.gxStricmp = _stricmp;
    os.gxStrlen = std::strlen;
    os.gxStrupr = _strupr;
    os.gxStrlwr = _strlwr;
    os.gxStrtok = std::strtok;
    os.gxSscanf = std::sscanf;
    return 1;
}
