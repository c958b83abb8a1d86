// Image files: the search path, the registry of formats by extension, and reading images by name.
#include "gfx/core/image.h"

#include <cctype>
#include <cstring>
#include <initializer_list>

#include "gfx/core/assert.h"
#include "gfx/core/core_local.h"
#include "gfx/core/filesys.h"
#include "gfx/core/image_local.h"
#include "gfx/core/memory.h"

namespace {

// Grows a module buffer to at least `size` bytes, keeping its contents.
bool GrowBuffer(GxChar** buffer, GxInt32* capacity, size_t size, GxUInt32 hint)
{
    if (size <= static_cast<size_t>(*capacity)) {
        return true;
    }
    if (size > static_cast<size_t>(INT32_MAX)) {
        GxErrorRaise(gxPLUGINCORE, gxERRNOMEMORY);
        return false;
    }
    auto* grown = static_cast<GxChar*>(GxRealloc(*buffer, size, hint));
    if (!grown) {
        GxErrorRaise(gxPLUGINCORE, gxERRNOMEMORY);
        return false;
    }
    *buffer = grown;
    *capacity = static_cast<GxInt32>(size);
    return true;
}

GxImageFormat* FindFormatByLower(GxImageModuleBlock* block, const GxChar* lower)
{
    for (GxImageFormat* f = block->formats; f; f = f->next) {
        if (strcmp(f->lowerExtension, lower) == 0) {
            return f;
        }
    }
    return nullptr;
}

// The extension (with its ".") of the file part of a name, or null.
const GxChar* NameExtension(const GxChar* name)
{
    const GxChar* part = name;
    for (char separator : {':', '/', '\\'}) {
        if (const GxChar* cut = strrchr(part, separator)) {
            part = cut + 1;
        }
    }
    return strrchr(part, '.');
}

struct ReadSearch {
    GxImageCallBackRead readCB;
    GxImage* image;
};

const GxChar* TryRead(const GxChar* candidate, void* data)
{
    auto* search = static_cast<ReadSearch*>(data);
    if (!GxFileExists(candidate)) {
        return candidate;
    }
    search->image = search->readCB(candidate);
    return search->image ? nullptr : candidate;
}

struct ExtensionSearch {
    GxImageModuleBlock* block;
    const GxChar* found;
};

// The name buffer has room for an extension after the candidate.
const GxChar* TryExtensions(const GxChar* candidate, void* data)
{
    auto* search = static_cast<ExtensionSearch*>(data);
    GxChar* buffer = search->block->nameBuffer;
    const size_t length = strlen(candidate);
    for (GxImageFormat* f = search->block->formats; f; f = f->next) {
        for (const GxChar* extension : {f->lowerExtension, f->upperExtension}) {
            memcpy(buffer + length, extension, strlen(extension) + 1);
            if (GxFileExists(buffer)) {
                search->found = extension;
                buffer[length] = '\0';
                return nullptr;
            }
        }
    }
    buffer[length] = '\0';
    return candidate;
}

}  // namespace

const GxChar* GxImageSetPath(const GxChar* path)
{
    GxImageModuleBlock* block = GxImageBlockOrRaise();
    if (!block) {
        return nullptr;
    }
    GX_ASSERT(path, "the search path is a text");
    const size_t length = strlen(path);
    if (!GrowBuffer(&block->path, &block->pathSize, length + 1, gxIMAGEPATHHINT)) {
        return nullptr;
    }
    memmove(block->path, path, length + 1);
    return path;
}

const GxChar* GxImageGetPath(void)
{
    GxImageModuleBlock* block = GxImageBlock();
    return block ? block->path : nullptr;
}

GxBool GxImageIsAbsolutePath(const GxChar* name)
{
    GX_ASSERT(name != nullptr, "a name to test");
    if (name[0] == '\\' || name[0] == '/') {
        return 1;
    }
    const bool letter = (name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= 'a' && name[0] <= 'z');
    return letter && name[1] == ':';
}

const GxChar* GxImageForEachPathCandidate(const GxChar* name, GxInt32 spareBytes, GxImagePathCallBack callBack,
                                          void* data)
{
    GxImageModuleBlock* block = GxImageBlockOrRaise();
    if (!block) {
        return nullptr;
    }
    GX_ASSERT(name != nullptr && callBack != nullptr && spareBytes >= 1, "a name, a callback and room for its end");
    const size_t nameLength = strlen(name);
    if (GxImageIsAbsolutePath(name) || block->path[0] == '\0') {
        if (!GrowBuffer(&block->nameBuffer, &block->nameBufferSize, nameLength + spareBytes, gxIMAGENAMEHINT)) {
            return nullptr;
        }
        memmove(block->nameBuffer, name, nameLength + 1);
        callBack(block->nameBuffer, data);
        return name;
    }
    const GxChar* directory = block->path;
    while (*directory) {
        const GxChar* end = strchr(directory, ';');
        const size_t length = end ? static_cast<size_t>(end - directory) : strlen(directory);
        if (!GrowBuffer(&block->nameBuffer, &block->nameBufferSize, length + nameLength + spareBytes,
                        gxIMAGENAMEHINT)) {
            return nullptr;
        }
        // The callback may change the path; the candidate is complete before it runs.
        memcpy(block->nameBuffer, directory, length);
        memcpy(block->nameBuffer + length, name, nameLength + 1);
        if (!callBack(block->nameBuffer, data)) {
            break;
        }
        if (!end) {
            break;
        }
        directory = end + 1;
    }
    return name;
}

GxBool GxImageRegisterImageFormat(const GxChar* extension, GxImageCallBackRead readCB, GxImageCallBackWrite writeCB)
{
    GxImageModuleBlock* block = GxImageBlockOrRaise();
    if (!block) {
        return 0;
    }
    GX_ASSERT(extension != nullptr, "an extension to register");
    GxChar lower[gxIMAGEEXTENSIONSIZE] = ".";
    strncat(lower, extension, gxIMAGEEXTENSIONSIZE - 2);
    for (GxChar* c = lower; *c; ++c) {
        *c = static_cast<GxChar>(tolower(static_cast<unsigned char>(*c)));
    }
    GxImageFormat* format = FindFormatByLower(block, lower);
    if (!format) {
        format = static_cast<GxImageFormat*>(GxFreeListAllocEntry(block->formatFreeList, gxIMAGEFORMATHINT));
        if (!format) {
            GxErrorRaise(gxPLUGINCORE, gxERRNOMEMORY);
            return 0;
        }
        memcpy(format->lowerExtension, lower, sizeof(lower));
        memcpy(format->upperExtension, lower, sizeof(lower));
        for (GxChar* c = format->upperExtension; *c; ++c) {
            *c = static_cast<GxChar>(toupper(static_cast<unsigned char>(*c)));
        }
        format->readCB = nullptr;
        format->writeCB = nullptr;
        format->next = block->formats;
        block->formats = format;
    }
    if (readCB) {
        format->readCB = readCB;
    }
    if (writeCB) {
        format->writeCB = writeCB;
    }
    return 1;
}

GxImage* GxImageRead(const GxChar* imageName)
{
    GX_ASSERT(imageName != nullptr, "a name to read");
    GxImageModuleBlock* block = GxImageBlockOrRaise();
    if (!block) {
        return nullptr;
    }
    const GxChar* extension = NameExtension(imageName);
    if (!extension) {
        return nullptr;
    }
    GxImageFormat* format = block->formats;
    while (format && strcmp(format->lowerExtension, extension) != 0 && strcmp(format->upperExtension, extension) != 0) {
        format = format->next;
    }
    if (!format || !format->readCB) {
        return nullptr;
    }
    ReadSearch search = {format->readCB, nullptr};
    GxImageForEachPathCandidate(imageName, 5, TryRead, &search);
    return search.image;
}

GxImage* GxImageReadMaskedImage(const GxChar* imageName, const GxChar* maskName)
{
    GxImage* image = GxImageRead(imageName);
    if (!image || !maskName || maskName[0] == '\0') {
        return image;
    }
    GxImage* mask = GxImageRead(maskName);
    if (!mask) {
        GxImageDestroy(image);
        return nullptr;
    }
    GxImageMakeMask(mask);
    GxImage* result = GxImageApplyMask(image, mask);
    GxImageDestroy(mask);
    if (!result) {
        GxImageDestroy(image);
    }
    return result;
}

const GxChar* GxImageFindFileExtension(const GxChar* imageName)
{
    GX_ASSERT(imageName != nullptr, "a name to look for");
    GxImageModuleBlock* block = GxImageBlockOrRaise();
    if (!block) {
        return nullptr;
    }
    ExtensionSearch search = {block, nullptr};
    GxImageForEachPathCandidate(imageName, gxIMAGEEXTENSIONSIZE, TryExtensions, &search);
    return search.found;
}
