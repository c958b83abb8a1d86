// User-data entries added by writers, tools and tests; the program links none of this.
#include <cstring>

#include "gfx/core/memory.h"
#include "gfx/world/userdata_local.h"

namespace {

constexpr size_t kElementSize = 4;

GxUserDataArray* AddArray(GxUserDataExtension* extension, const GxChar* name, GxInt32 format, GxInt32 numElements)
{
    const bool known = format == gxUSERDATAINT || format == gxUSERDATAREAL || format == gxUSERDATASTRING;
    if (!extension || !known || numElements < 0) {
        return nullptr;
    }
    const size_t count = static_cast<size_t>(extension->numArrays) + 1;
    auto* arrays = static_cast<GxUserDataArray*>(GxCalloc(count, sizeof(GxUserDataArray), gxUSERDATAHINT));
    if (!arrays) {
        return nullptr;
    }
    GxUserDataArray* entry = &arrays[count - 1];
    entry->format = format;
    if ((name && !(entry->name = GxUserDataCopyString(name, strlen(name)))) ||
        (numElements > 0 &&
         !(entry->data = GxCalloc(static_cast<size_t>(numElements),
                                  format == gxUSERDATASTRING ? sizeof(GxChar*) : kElementSize, gxUSERDATAHINT)))) {
        GxUserDataFreeEntry(entry);
        GxFree(arrays);
        return nullptr;
    }
    entry->numElements = numElements;
    if (extension->arrays) {
        memcpy(arrays, extension->arrays, (count - 1) * sizeof(GxUserDataArray));
        GxFree(extension->arrays);
    }
    extension->arrays = arrays;
    extension->numArrays = static_cast<GxInt32>(count);
    return entry;
}

}  // namespace

GxUserDataArray* GxFrameAddUserDataArray(GxFrame* frame, const GxChar* name, GxInt32 format, GxInt32 numElements)
{
    return AddArray(GxUserDataFrameExtensionOf(frame), name, format, numElements);
}

GxUserDataArray* GxMaterialAddUserDataArray(GxMaterial* material, const GxChar* name, GxInt32 format,
                                            GxInt32 numElements)
{
    return AddArray(GxUserDataMaterialExtensionOf(material), name, format, numElements);
}

GxUserDataArray* GxUserDataArraySetString(GxUserDataArray* array, GxInt32 index, const GxChar* string)
{
    if (array->format != gxUSERDATASTRING || index < 0 || index >= array->numElements || !array->data) {
        return nullptr;
    }
    GxChar* copy = nullptr;
    if (string && !(copy = GxUserDataCopyString(string, strlen(string)))) {
        return nullptr;
    }
    auto** strings = static_cast<GxChar**>(array->data);
    if (strings[index]) {
        GxFree(strings[index]);
    }
    strings[index] = copy;
    return array;
}
