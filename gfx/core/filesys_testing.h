// Test access to the file system manager: the callback its errors go to.
#pragma once

#include "gfx/core/filesys.h"

inline void GxFileSystemManagerSetErrorCallBack(GxFileSystemErrorCallBack callback)
{
    GxFileSystemManagerGet()->errorCallback = callback;
}
