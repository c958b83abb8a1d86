// Grow arrays: equal-size entries in one block that grows by a quarter when full.
#include <cstdint>

#include "gfx/core/assert.h"
#include "gfx/core/memory.h"

namespace {

constexpr GxInt32 gxGROWARRAYINITIAL = 20;

// Reallocates the entries to `capacity`; leaves the array as it was on failure.
GxBool GrowTo(GxGrowArray* array, int64_t capacity, GxUInt32 hint)
{
    if (capacity > INT32_MAX || static_cast<uint64_t>(capacity) * array->entrySize > SIZE_MAX / 2) {
        GxErrorRaise(gxPLUGINCORE, gxERRNOMEMORY);
        return 0;
    }
    void* entries = GxRealloc(array->entries, static_cast<size_t>(capacity) * array->entrySize, hint);
    if (!entries) {
        GxErrorRaise(gxPLUGINCORE, gxERRNOMEMORY);
        return 0;
    }
    array->entries = entries;
    array->capacity = static_cast<GxInt32>(capacity);
    return 1;
}

}  // namespace

GxGrowArray* GxGrowArrayCreate(GxUInt32 entrySize, GxUInt32 hint)
{
    GX_ASSERT(entrySize > 0 && entrySize <= 0x7FFFFFFFu / gxGROWARRAYINITIAL, "a grow array holds entries of a size");
    auto* array = static_cast<GxGrowArray*>(GxMalloc(sizeof(GxGrowArray), gxMEMHINTDUROBJECT));
    if (!array) {
        GxErrorRaise(gxPLUGINCORE, gxERRNOMEMORY);
        return nullptr;
    }
    array->entries = GxMalloc(static_cast<size_t>(entrySize) * gxGROWARRAYINITIAL, hint | gxMEMHINTFLAGRESIZEABLE);
    if (!array->entries) {
        GxFree(array);
        GxErrorRaise(gxPLUGINCORE, gxERRNOMEMORY);
        return nullptr;
    }
    array->count = 0;
    array->capacity = gxGROWARRAYINITIAL;
    array->entrySize = entrySize;
    return array;
}

void* GxGrowArrayAddEntry(GxGrowArray* array, GxUInt32 hint)
{
    if (array->count >= array->capacity) {
        const int64_t grown = static_cast<int64_t>(array->capacity) + array->capacity / 4;
        if (!GrowTo(array, grown, hint)) {
            return nullptr;
        }
    }
    void* entry = static_cast<GxUInt8*>(array->entries) + static_cast<size_t>(array->count) * array->entrySize;
    array->count++;
    return entry;
}

void* GxGrowArrayAddEntries(GxGrowArray* array, GxInt32 n, GxUInt32 hint)
{
    GX_ASSERT(n >= 0, "entries are added, never taken away");
    if (static_cast<int64_t>(array->count) + n >= array->capacity) {
        int64_t grown = static_cast<int64_t>(array->capacity) + array->capacity / 4 + n;
        if (!GrowTo(array, grown, hint)) {
            return nullptr;
        }
    }
    void* first = static_cast<GxUInt8*>(array->entries) + static_cast<size_t>(array->count) * array->entrySize;
    array->count += n;
    return first;
}

void GxGrowArrayReset(GxGrowArray* array) { array->count = 0; }

void GxGrowArrayRemoveEntries(GxGrowArray* array, GxInt32 n)
{
    GX_ASSERT(n >= 0 && n <= array->count, "only entries the array holds can be removed");
    array->count -= n;
}

void* GxGrowArrayGetFirst(GxGrowArray* array) { return array->count > 0 ? array->entries : nullptr; }

void* GxGrowArrayGetEntry(GxGrowArray* array, GxInt32 i)
{
    GX_ASSERT(i >= 0 && i <= array->count, "an entry index lies inside the array or names its end");
    return static_cast<GxUInt8*>(array->entries) + static_cast<ptrdiff_t>(i) * array->entrySize;
}

void* GxGrowArrayGetEnd(GxGrowArray* array)
{
    return static_cast<GxUInt8*>(array->entries) + static_cast<size_t>(array->count) * array->entrySize;
}

GxBool GxGrowArrayDestroy(GxGrowArray* array)
{
    GX_ASSERT(array, "a grow array is destroyed");
    if (array->entries && array->capacity > 0) {
        GxFree(array->entries);
    }
    GxFree(array);
    return 1;
}

void* GxGrowArrayDestroyKeepEntries(GxGrowArray* array)
{
    GX_ASSERT(array, "a grow array is destroyed");
    void* entries = array->entries;
    if (array->count == 0) {
        GxFree(entries);
        entries = nullptr;
    }
    GxFree(array);
    return entries;
}
