// Vertex-buffer manager: shared ranges per stride, dynamic buffer records and the four rotating buffers.
#include "gfx/d3d9/vertexbuffer.h"

#include <cstdint>

#include "gfx/core/assert.h"
#include "gfx/core/memory.h"
#include "gfx/d3d9/d3d9_local.h"
#include "gfx/d3d9/vertexbuffer_local.h"

GxD3D9VertexBufferManagerState gxD3D9VertexBufferManager = {};

namespace {

using BufferNode = GxD3D9VertexBufferNode;
using Slot = GxD3D9DynamicVertexBufferSlot;

GxD3D9VertexBufferManagerState& manager = gxD3D9VertexBufferManager;

constexpr GxUInt32 listHint = gxMEMHINTDURGLOBAL | gxD3D9MEMHINTDRIVER;
constexpr GxUInt32 sharedEntryHint = gxMEMHINTDUROBJECT | gxD3D9MEMHINTDRIVER;
constexpr GxUInt32 dynamicEntryHint = gxMEMHINTDURGLOBAL | gxD3D9MEMHINTDRIVER;
constexpr DWORD dynamicUsage = D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY;
constexpr DWORD discardLock = D3DLOCK_DISCARD | D3DLOCK_NOSYSLOCK;
constexpr DWORD appendLock = D3DLOCK_NOOVERWRITE | D3DLOCK_NOSYSLOCK;

bool HardwareTransform()
{
    const D3DCAPS9* caps = GxD3D9GetCaps();
    return caps && (caps->DevCaps & D3DDEVCAPS_HWTRANSFORMANDLIGHT);
}

D3DPOOL DynamicPool() { return HardwareTransform() ? D3DPOOL_DEFAULT : D3DPOOL_SYSTEMMEM; }

GxUInt32 RoundUp(GxUInt32 value, GxUInt32 stride) { return (value + stride - 1) / stride * stride; }

GxD3D9VertexBufferStrideList* FindStride(GxUInt32 stride)
{
    for (GxD3D9VertexBufferStrideList* list = manager.strides; list; list = list->next) {
        if (list->stride == stride) {
            return list;
        }
    }
    return nullptr;
}

void UnlinkRange(GxD3D9VertexBufferStrideList* list, GxD3D9VertexBufferFreeRange* range)
{
    if (range->prev) {
        range->prev->next = range->next;
    } else {
        list->freeRanges = range->next;
    }
    if (range->next) {
        range->next->prev = range->prev;
    }
    GxFreeListFreeEntry(manager.rangeFreeList, range);
}

GxD3D9VertexBufferFreeRange* AddRange(GxD3D9VertexBufferStrideList* list, IDirect3DVertexBuffer9* buffer,
                                      GxUInt32 offset, GxUInt32 size)
{
    auto* range =
        static_cast<GxD3D9VertexBufferFreeRange*>(GxFreeListAllocEntry(manager.rangeFreeList, sharedEntryHint));
    if (!range) {
        return nullptr;
    }
    range->offset = offset;
    range->size = size;
    range->vertexBuffer = buffer;
    range->prev = nullptr;
    range->next = list->freeRanges;
    if (list->freeRanges) {
        list->freeRanges->prev = range;
    }
    list->freeRanges = range;
    return range;
}

// A free range of the same buffer that ends at offset or starts at end, other than skip.
GxD3D9VertexBufferFreeRange* FindTouching(GxD3D9VertexBufferStrideList* list, IDirect3DVertexBuffer9* buffer,
                                          GxUInt32 offset, GxUInt32 end, const GxD3D9VertexBufferFreeRange* skip)
{
    for (GxD3D9VertexBufferFreeRange* range = list->freeRanges; range; range = range->next) {
        if (range == skip || range->vertexBuffer != buffer) {
            continue;
        }
        if (range->offset + range->size == offset || range->offset == end) {
            return range;
        }
    }
    return nullptr;
}

bool OverlapsFreeRange(GxD3D9VertexBufferStrideList* list, IDirect3DVertexBuffer9* buffer, GxUInt32 offset,
                       GxUInt32 end)
{
    for (GxD3D9VertexBufferFreeRange* range = list->freeRanges; range; range = range->next) {
        if (range->vertexBuffer == buffer && range->offset < end && offset < range->offset + range->size) {
            return true;
        }
    }
    return false;
}

void MergeInto(GxD3D9VertexBufferFreeRange* range, GxUInt32 offset, GxUInt32 size)
{
    if (range->offset + range->size != offset) {
        range->offset = offset;
    }
    range->size += size;
}

bool BufferBelongsTo(GxD3D9VertexBufferStrideList* list, IDirect3DVertexBuffer9* buffer)
{
    for (BufferNode* node = list->buffers; node; node = node->next) {
        if (node->vertexBuffer == buffer) {
            return true;
        }
    }
    return false;
}

GxD3D9DynamicVertexBufferRecord* FindRecord(IDirect3DVertexBuffer9* buffer)
{
    for (GxD3D9DynamicVertexBufferRecord* record = manager.records; record; record = record->next) {
        if (record->vertexBuffer == buffer) {
            return record;
        }
    }
    return nullptr;
}

void ReleaseRecordBuffer(GxD3D9DynamicVertexBufferRecord* record)
{
    if (record->vertexBuffer) {
        record->vertexBuffer->Release();
        record->vertexBuffer = nullptr;
    }
    if (record->owner) {
        *record->owner = nullptr;
    }
}

void ClearSlots(void)
{
    manager.current = 0;
    for (Slot& slot : manager.slots) {
        slot.used = 0;
        slot.size = 0;
        if (slot.vertexBuffer) {
            GxD3D9DynamicVertexBufferDestroy(slot.vertexBuffer);
        }
        slot.vertexBuffer = nullptr;
    }
}

GxBool CreateDynamic(GxUInt32 size, IDirect3DVertexBuffer9** out, D3DPOOL pool)
{
    IDirect3DDevice9* device = GxD3D9Device();
    *out = nullptr;
    if (!device) {
        return 0;
    }
    return SUCCEEDED(device->CreateVertexBuffer(size, dynamicUsage, 0, pool, out, nullptr)) ? 1 : 0;
}

// Chooses the slot and start offset for bytes of the given stride (hardware transform).
GxUInt32 ChooseSlot(GxUInt32 stride, GxUInt32 bytes)
{
    Slot& current = manager.slots[manager.current];
    const uint64_t start = RoundUp(current.used, stride);
    if (start + bytes <= current.size) {
        return static_cast<GxUInt32>(start);
    }
    for (GxInt32 i = 0; i < gxD3D9DYNAMICVERTEXBUFFERSLOTS; i++) {
        if (i == manager.current) {
            continue;
        }
        const Slot& slot = manager.slots[i];
        const uint64_t used = RoundUp(slot.used, stride);
        if (used + bytes <= slot.size) {
            manager.current = i;
            return static_cast<GxUInt32>(used);
        }
    }
    manager.current = (manager.current + 1) % gxD3D9DYNAMICVERTEXBUFFERSLOTS;
    return 0;
}

}  // namespace

GxBool GxD3D9CreateVertexBuffer(GxUInt32 stride, GxUInt32 size, IDirect3DVertexBuffer9** vertexBuffer, GxUInt32* offset)
{
    GX_ASSERT(vertexBuffer && offset, "the range goes to the caller's variables");
    if (stride == 0 || !manager.strideFreeList) {
        return 0;
    }
    GxD3D9VertexBufferStrideList* list = FindStride(stride);
    if (!list) {
        list =
            static_cast<GxD3D9VertexBufferStrideList*>(GxFreeListAllocEntry(manager.strideFreeList, sharedEntryHint));
        if (!list) {
            return 0;
        }
        *list = GxD3D9VertexBufferStrideList{stride, nullptr, nullptr, manager.strides};
        manager.strides = list;
    }
    GxD3D9VertexBufferFreeRange* range = list->freeRanges;
    while (range && range->size < size) {
        range = range->next;
    }
    if (!range) {
        const uint64_t rounded = (static_cast<uint64_t>(gxD3D9SHAREDVERTEXBUFFERSIZE) + stride - 1) / stride * stride;
        const uint64_t length = size > rounded ? size : rounded;
        IDirect3DDevice9* device = GxD3D9Device();
        if (!device || length > 0xFFFFFFFFu) {
            return 0;
        }
        auto* node = static_cast<BufferNode*>(GxFreeListAllocEntry(manager.nodeFreeList, sharedEntryHint));
        if (!node) {
            return 0;
        }
        IDirect3DVertexBuffer9* buffer = nullptr;
        if (FAILED(device->CreateVertexBuffer(static_cast<UINT>(length), D3DUSAGE_WRITEONLY, 0, D3DPOOL_MANAGED,
                                              &buffer, nullptr))) {
            GxFreeListFreeEntry(manager.nodeFreeList, node);
            return 0;
        }
        range = AddRange(list, buffer, 0, static_cast<GxUInt32>(length));
        if (!range) {
            buffer->Release();
            GxFreeListFreeEntry(manager.nodeFreeList, node);
            return 0;
        }
        node->vertexBuffer = buffer;
        node->next = list->buffers;
        list->buffers = node;
    }
    *vertexBuffer = range->vertexBuffer;
    *offset = range->offset;
    range->offset += size;
    range->size -= size;
    if (range->size == 0) {
        UnlinkRange(list, range);
    }
    return 1;
}

void GxD3D9DestroyVertexBuffer(GxUInt32 stride, GxUInt32 size, IDirect3DVertexBuffer9* vertexBuffer, GxUInt32 offset)
{
    GxD3D9VertexBufferStrideList* list = FindStride(stride);
    if (!list || !vertexBuffer || size == 0 || offset > 0xFFFFFFFFu - size) {
        return;
    }
    const GxUInt32 end = offset + size;
    // A range given back twice, or one of a buffer this stride never made, would corrupt the free list.
    if (!BufferBelongsTo(list, vertexBuffer) || OverlapsFreeRange(list, vertexBuffer, offset, end)) {
        return;
    }
    GxD3D9VertexBufferFreeRange* range = FindTouching(list, vertexBuffer, offset, end, nullptr);
    if (!range) {
        AddRange(list, vertexBuffer, offset, size);
        return;
    }
    MergeInto(range, offset, size);
    for (;;) {
        GxD3D9VertexBufferFreeRange* other =
            FindTouching(list, vertexBuffer, range->offset, range->offset + range->size, range);
        if (!other) {
            return;
        }
        const GxUInt32 mergedOffset = range->offset;
        const GxUInt32 mergedSize = range->size;
        UnlinkRange(list, range);
        MergeInto(other, mergedOffset, mergedSize);
        range = other;
    }
}

GxBool GxD3D9DynamicVertexBufferCreate(GxUInt32 size, IDirect3DVertexBuffer9** slot)
{
    GX_ASSERT(slot, "the buffer goes to the caller's variable");
    if (!manager.recordFreeList) {
        return 0;
    }
    GxD3D9DynamicVertexBufferRecord* smallest = nullptr;
    for (GxD3D9DynamicVertexBufferRecord* record = manager.records; record; record = record->next) {
        if (record->inUse) {
            continue;
        }
        // A record left without a buffer by a refused creation is made again, not handed out empty.
        if (record->size == size && record->vertexBuffer) {
            record->inUse = 1;
            record->owner = slot;
            *slot = record->vertexBuffer;
            return 1;
        }
        if (!smallest || record->size <= smallest->size) {
            smallest = record;
        }
    }
    GxD3D9DynamicVertexBufferRecord* record = smallest;
    if (record) {
        if (record->vertexBuffer) {
            record->vertexBuffer->Release();
            record->vertexBuffer = nullptr;
        }
    } else {
        record = static_cast<GxD3D9DynamicVertexBufferRecord*>(
            GxFreeListAllocEntry(manager.recordFreeList, dynamicEntryHint));
        if (!record) {
            *slot = nullptr;
            return 0;
        }
        record->next = manager.records;
        manager.records = record;
    }
    record->size = size;
    record->inUse = 0;
    record->owner = nullptr;
    record->vertexBuffer = nullptr;
    if (!CreateDynamic(size, slot, DynamicPool())) {
        return 0;
    }
    record->inUse = 1;
    record->vertexBuffer = *slot;
    record->owner = slot;
    return 1;
}

void GxD3D9DynamicVertexBufferDestroy(IDirect3DVertexBuffer9* vertexBuffer)
{
    if (!vertexBuffer) {
        return;
    }
    GxD3D9DynamicVertexBufferRecord* record = FindRecord(vertexBuffer);
    if (!record) {
        return;
    }
    record->inUse = 0;
    // The owner's variable may not outlive the buffer; a later release must not write through it.
    record->owner = nullptr;
}

GxBool GxD3D9DynamicVertexBuffersCreate(void)
{
    manager.current = 0;
    const bool hardware = HardwareTransform();
    for (GxInt32 i = 0; i < gxD3D9DYNAMICVERTEXBUFFERSLOTS; i++) {
        Slot& slot = manager.slots[i];
        slot.used = 0;
        if (!hardware && i > 0) {
            slot.size = 0;
            slot.vertexBuffer = nullptr;
            continue;
        }
        slot.size = gxD3D9DYNAMICVERTEXBUFFERSIZE;
        if (!GxD3D9DynamicVertexBufferCreate(gxD3D9DYNAMICVERTEXBUFFERSIZE, &slot.vertexBuffer)) {
            slot.size = 0;
            return 0;
        }
    }
    return 1;
}

GxBool GxD3D9DynamicVertexBufferLock(GxUInt32 stride, GxUInt32 numVertices, IDirect3DVertexBuffer9** vertexBuffer,
                                     void** data, GxUInt32* baseVertex)
{
    const uint64_t bytes64 = static_cast<uint64_t>(stride) * numVertices;
    GX_ASSERT(vertexBuffer && data && baseVertex, "the lock goes to the caller's variables");
    if (stride == 0 || bytes64 > 0xFFFFFFFFu) {
        return 0;
    }
    const GxUInt32 bytes = static_cast<GxUInt32>(bytes64);
    const GxUInt32 start = HardwareTransform() ? ChooseSlot(stride, bytes) : 0;
    Slot& slot = manager.slots[manager.current];
    if (bytes > slot.size) {
        if (slot.vertexBuffer) {
            GxD3D9DynamicVertexBufferDestroy(slot.vertexBuffer);
        }
        slot.size = bytes;
        if (!GxD3D9DynamicVertexBufferCreate(slot.size, &slot.vertexBuffer)) {
            // An empty slot must not look usable to the next lock.
            slot.size = 0;
            return 0;
        }
    }
    void* locked = nullptr;
    HRESULT result;
    if (start == 0) {
        result = slot.vertexBuffer->Lock(0, bytes, &locked, discardLock);
        slot.used = bytes;
        *baseVertex = 0;
    } else {
        result = slot.vertexBuffer->Lock(start, bytes, &locked, appendLock);
        slot.used = start + bytes;
        *baseVertex = start / stride;
    }
    *vertexBuffer = slot.vertexBuffer;
    *data = locked;
    return SUCCEEDED(result) ? 1 : 0;
}

GxBool GxD3D9DynamicVertexBufferUnlock(IDirect3DVertexBuffer9* vertexBuffer)
{
    GX_ASSERT(vertexBuffer, "a locked buffer is unlocked");
    return SUCCEEDED(vertexBuffer->Unlock()) ? 1 : 0;
}

void GxD3D9DynamicVertexBuffersNextFrame(void)
{
    for (Slot& slot : manager.slots) {
        slot.used = 0;
    }
    manager.current = (manager.current + 1) % gxD3D9DYNAMICVERTEXBUFFERSLOTS;
}

void GxD3D9DynamicVertexBuffersRelease(void)
{
    ClearSlots();
    if (!HardwareTransform()) {
        return;
    }
    for (GxD3D9DynamicVertexBufferRecord* record = manager.records; record; record = record->next) {
        ReleaseRecordBuffer(record);
    }
}

GxBool GxD3D9DynamicVertexBuffersRestore(void)
{
    if (HardwareTransform()) {
        for (GxD3D9DynamicVertexBufferRecord* record = manager.records; record; record = record->next) {
            if (record->vertexBuffer) {
                continue;
            }
            if (!CreateDynamic(record->size, &record->vertexBuffer, D3DPOOL_DEFAULT)) {
                return 0;
            }
            if (record->owner) {
                *record->owner = record->vertexBuffer;
            }
        }
    }
    return GxD3D9DynamicVertexBuffersCreate();
}

GxBool GxD3D9VertexBufferManagerOpen(void)
{
    GxD3D9VertexBufferManagerClose();
    manager.strideFreeList =
        GxFreeListCreate(sizeof(GxD3D9VertexBufferStrideList), 16, alignof(GxD3D9VertexBufferStrideList), listHint);
    manager.rangeFreeList =
        GxFreeListCreate(sizeof(GxD3D9VertexBufferFreeRange), 100, alignof(GxD3D9VertexBufferFreeRange), listHint);
    manager.nodeFreeList = GxFreeListCreate(sizeof(BufferNode), 100, alignof(BufferNode), listHint);
    manager.recordFreeList = GxFreeListCreate(sizeof(GxD3D9DynamicVertexBufferRecord), 42,
                                              alignof(GxD3D9DynamicVertexBufferRecord), listHint);
    if (!manager.strideFreeList || !manager.rangeFreeList || !manager.nodeFreeList || !manager.recordFreeList) {
        GxD3D9VertexBufferManagerClose();
        return 0;
    }
    // The rotating buffers are made again on demand by the first lock when this fails.
    GxD3D9DynamicVertexBuffersCreate();
    return 1;
}

void GxD3D9VertexBufferManagerClose(void)
{
    ClearSlots();
    while (GxD3D9DynamicVertexBufferRecord* record = manager.records) {
        manager.records = record->next;
        ReleaseRecordBuffer(record);
        GxFreeListFreeEntry(manager.recordFreeList, record);
    }
    while (GxD3D9VertexBufferStrideList* list = manager.strides) {
        manager.strides = list->next;
        while (GxD3D9VertexBufferFreeRange* range = list->freeRanges) {
            list->freeRanges = range->next;
            GxFreeListFreeEntry(manager.rangeFreeList, range);
        }
        while (BufferNode* node = list->buffers) {
            list->buffers = node->next;
            node->vertexBuffer->Release();
            GxFreeListFreeEntry(manager.nodeFreeList, node);
        }
        GxFreeListFreeEntry(manager.strideFreeList, list);
    }
    GxFreeList** lists[] = {&manager.recordFreeList, &manager.nodeFreeList, &manager.rangeFreeList,
                            &manager.strideFreeList};
    for (GxFreeList** list : lists) {
        if (*list) {
            GxFreeListDestroy(*list);
            *list = nullptr;
        }
    }
}
