// Tests of the vertex-buffer manager: shared ranges and their merging, dynamic records, rotating slots, device reset.
#include <algorithm>

#include "gfx/d3d9/cache_testing.h"
#include "gfx/d3d9/vertexbuffer_testing.h"

namespace {

using VertexBufferTest = GxD3D9CacheTest;

std::vector<GxD3D9VertexBufferRange> FreeRanges(GxUInt32 stride)
{
    std::vector<GxD3D9VertexBufferRange> ranges(16);
    const GxInt32 n = GxD3D9VertexBufferGetFreeRanges(stride, ranges.data(), 16);
    ranges.resize(std::min(n, 16));
    return ranges;
}

UINT BufferSize(IDirect3DVertexBuffer9* buffer)
{
    D3DVERTEXBUFFER_DESC desc = {};
    buffer->GetDesc(&desc);
    return desc.Size;
}

// Lock flags of the last buffer upload (recorded at Unlock).
DWORD LastLockFlags(IDirect3DDevice9* device)
{
    const D3D9SoftEvent* upload = D3D9SoftLast(device, D3D9SOFT_UPLOAD);
    return upload ? upload->value : 0;
}

size_t BuffersCreated(IDirect3DDevice9* device)
{
    size_t n = 0;
    for (const D3D9SoftEvent& e : D3D9SoftLog(device)) {
        n += e.type == D3D9SOFT_CREATE && e.kind == D3D9SOFT_BUFFER ? 1 : 0;
    }
    return n;
}

struct Lock {
    IDirect3DVertexBuffer9* buffer = nullptr;
    void* data = nullptr;
    GxUInt32 base = 0;
};

Lock LockAndUnlock(GxUInt32 stride, GxUInt32 count)
{
    Lock lock;
    EXPECT_TRUE(GxD3D9DynamicVertexBufferLock(stride, count, &lock.buffer, &lock.data, &lock.base));
    EXPECT_NE(lock.data, nullptr);
    EXPECT_TRUE(GxD3D9DynamicVertexBufferUnlock(lock.buffer));
    return lock;
}

// The free-list allocation the engine ran with; entries past the allowed count are refused.
GxFreeListAllocFunc realAlloc = nullptr;
int entriesAllowed = 0;
void* RefuseEntriesPastTheAllowed(GxFreeList* list, GxUInt32 hint)
{
    return entriesAllowed-- > 0 ? realAlloc(list, hint) : nullptr;
}

TEST_F(VertexBufferTest, SharedRangesComeFromOneBufferPerStride)
{
    IDirect3DVertexBuffer9* a = nullptr;
    IDirect3DVertexBuffer9* b = nullptr;
    GxUInt32 offsetA = 1;
    GxUInt32 offsetB = 0;
    ASSERT_TRUE(GxD3D9CreateVertexBuffer(24, 240, &a, &offsetA));
    ASSERT_TRUE(GxD3D9CreateVertexBuffer(24, 480, &b, &offsetB));
    EXPECT_EQ(a, b);
    EXPECT_EQ(offsetA, 0u);
    EXPECT_EQ(offsetB, 240u);
    EXPECT_EQ(BufferSize(a), 131088u) << "0x20000 rounded up to whole 24-byte vertices";
    std::vector<GxD3D9VertexBufferRange> ranges = FreeRanges(24);
    ASSERT_EQ(ranges.size(), 1u);
    EXPECT_EQ(ranges[0].offset, 720u);
    EXPECT_EQ(ranges[0].size, 131088u - 720u);

    // Larger than a shared buffer: a buffer of exactly the request, nothing left free.
    IDirect3DVertexBuffer9* big = nullptr;
    GxUInt32 offset = 1;
    ASSERT_TRUE(GxD3D9CreateVertexBuffer(32, 0x30000, &big, &offset));
    EXPECT_EQ(offset, 0u);
    EXPECT_EQ(BufferSize(big), 0x30000u);
    EXPECT_EQ(FreeRanges(32).size(), 0u);

    // Refusals: no stride, no buffer from the device.
    EXPECT_FALSE(GxD3D9CreateVertexBuffer(0, 100, &big, &offset));
    D3D9SoftFailCreates(device, 1, D3D9SOFT_FAIL_BUFFERS);
    EXPECT_FALSE(GxD3D9CreateVertexBuffer(12, 100, &big, &offset));
    EXPECT_EQ(FreeRanges(12).size(), 0u);
    EXPECT_TRUE(GxD3D9CreateVertexBuffer(12, 100, &big, &offset));
}

TEST_F(VertexBufferTest, NeighbouringRangesMergeInAnyOrder)
{
    const int orders[6][3] = {{0, 1, 2}, {0, 2, 1}, {1, 0, 2}, {1, 2, 0}, {2, 0, 1}, {2, 1, 0}};
    for (const auto& order : orders) {
        IDirect3DVertexBuffer9* buffers[3] = {};
        GxUInt32 offsets[3] = {};
        for (int i = 0; i < 3; i++) {
            ASSERT_TRUE(GxD3D9CreateVertexBuffer(16, 160, &buffers[i], &offsets[i]));
        }
        const GxUInt32 before = FreeRanges(16).size();
        for (int i : order) {
            GxD3D9DestroyVertexBuffer(16, 160, buffers[i], offsets[i]);
        }
        const std::vector<GxD3D9VertexBufferRange> ranges = FreeRanges(16);
        ASSERT_EQ(ranges.size(), before) << "order " << order[0] << order[1] << order[2];
        // Everything handed out was given back: the buffer is one range again.
        EXPECT_EQ(ranges[0].offset, 0u);
        EXPECT_EQ(ranges[0].size, BufferSize(buffers[0]));
    }

    // Given back twice, or with a buffer of another stride: ignored instead of corrupting the list.
    IDirect3DVertexBuffer9* buffer = nullptr;
    GxUInt32 offset = 0;
    ASSERT_TRUE(GxD3D9CreateVertexBuffer(16, 64, &buffer, &offset));
    GxD3D9DestroyVertexBuffer(16, 64, buffer, offset);
    GxD3D9DestroyVertexBuffer(16, 64, buffer, offset);
    GxD3D9DestroyVertexBuffer(16, 32, buffer, 0xFFFFFFF0u);
    GxD3D9DestroyVertexBuffer(20, 64, buffer, offset);
    const std::vector<GxD3D9VertexBufferRange> ranges = FreeRanges(16);
    ASSERT_EQ(ranges.size(), 1u);
    EXPECT_EQ(ranges[0].size, BufferSize(buffer));
    EXPECT_EQ(FreeRanges(20).size(), 0u);
}

TEST_F(VertexBufferTest, RotatingSlotsAppendThenMoveOnOrDiscard)
{
    const Lock first = LockAndUnlock(32, 100);
    EXPECT_EQ(first.base, 0u);
    EXPECT_EQ(LastLockFlags(device), static_cast<DWORD>(D3DLOCK_DISCARD | D3DLOCK_NOSYSLOCK));
    const Lock second = LockAndUnlock(24, 10);
    EXPECT_EQ(second.buffer, first.buffer);
    EXPECT_EQ(second.base, 134u) << "3200 bytes rounded up to whole 24-byte vertices";
    EXPECT_EQ(LastLockFlags(device), static_cast<DWORD>(D3DLOCK_NOOVERWRITE | D3DLOCK_NOSYSLOCK));

    // Exactly the rest of the slot still appends; one vertex more moves to the next free slot.
    const GxUInt32 rest = (gxD3D9DYNAMICVERTEXBUFFERSIZE - 3456) / 16;
    const Lock fill = LockAndUnlock(16, rest);
    EXPECT_EQ(fill.buffer, first.buffer);
    EXPECT_EQ(LastLockFlags(device), static_cast<DWORD>(D3DLOCK_NOOVERWRITE | D3DLOCK_NOSYSLOCK));
    const Lock over = LockAndUnlock(16, 1);
    EXPECT_NE(over.buffer, first.buffer);
    EXPECT_EQ(GxD3D9DynamicVertexBufferCurrentSlot(), 1);

    // A lock larger than a slot replaces that slot's buffer by one of exactly its size.
    const GxUInt32 bigBytes = gxD3D9DYNAMICVERTEXBUFFERSIZE + 64;
    const Lock big = LockAndUnlock(64, bigBytes / 64);
    EXPECT_EQ(BufferSize(big.buffer), bigBytes);
    EXPECT_EQ(big.base, 0u);
    const GxInt32 bigSlot = GxD3D9DynamicVertexBufferCurrentSlot();
    GxD3D9DynamicVertexBufferSlotInfo info = {};
    ASSERT_TRUE(GxD3D9DynamicVertexBufferGetSlot(bigSlot, &info));
    EXPECT_EQ(info.size, bigBytes);

    // Each frame moves on a slot and empties them all.
    GxD3D9DynamicVertexBuffersNextFrame();
    EXPECT_EQ(GxD3D9DynamicVertexBufferCurrentSlot(), (bigSlot + 1) % 4);
    for (GxInt32 i = 0; i < 4; i++) {
        ASSERT_TRUE(GxD3D9DynamicVertexBufferGetSlot(i, &info));
        EXPECT_EQ(info.used, 0u);
    }
    EXPECT_FALSE(GxD3D9DynamicVertexBufferGetSlot(4, &info));

    // More than 4 GiB: refused.
    Lock none;
    EXPECT_FALSE(GxD3D9DynamicVertexBufferLock(0x10000, 0x10000, &none.buffer, &none.data, &none.base));
}

TEST_F(VertexBufferTest, WithoutHardwareTransformEveryLockDiscardsFromTheStart)
{
    Restart(D3D9_CAPS_MINIMAL);
    GxD3D9DynamicVertexBufferSlotInfo info = {};
    ASSERT_TRUE(GxD3D9DynamicVertexBufferGetSlot(1, &info));
    EXPECT_EQ(info.vertexBuffer, nullptr);
    EXPECT_EQ(info.size, 0u);

    const Lock a = LockAndUnlock(16, 10);
    const Lock b = LockAndUnlock(16, 10);
    EXPECT_EQ(a.buffer, b.buffer);
    EXPECT_EQ(b.base, 0u);
    EXPECT_EQ(LastLockFlags(device), static_cast<DWORD>(D3DLOCK_DISCARD | D3DLOCK_NOSYSLOCK));

    GxD3D9DynamicVertexBuffersNextFrame();
    const Lock c = LockAndUnlock(16, 20);
    ASSERT_TRUE(GxD3D9DynamicVertexBufferGetSlot(1, &info));
    EXPECT_EQ(info.vertexBuffer, c.buffer);
    EXPECT_EQ(info.size, 320u) << "sized by its first lock";
}

TEST_F(VertexBufferTest, DynamicBuffersAreReusedAndSurviveAReset)
{
    IDirect3DVertexBuffer9* mine = nullptr;
    ASSERT_TRUE(GxD3D9DynamicVertexBufferCreate(4096, &mine));
    ASSERT_NE(mine, nullptr);
    IDirect3DVertexBuffer9* const original = mine;
    GxD3D9DynamicVertexBufferDestroy(mine);
    ClearLog();
    IDirect3DVertexBuffer9* again = nullptr;
    ASSERT_TRUE(GxD3D9DynamicVertexBufferCreate(4096, &again));
    EXPECT_EQ(again, original);
    EXPECT_EQ(BuffersCreated(device), 0u) << "a free buffer of the same size is handed back";

    // Before the reset the owner's variable is cleared; afterwards it holds a new buffer.
    GxD3D9DynamicVertexBuffersRelease();
    EXPECT_EQ(again, nullptr);
    ASSERT_EQ(device->Reset(&present), D3D_OK);
    ASSERT_TRUE(GxD3D9DynamicVertexBuffersRestore());
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(BufferSize(again), 4096u);
    EXPECT_EQ(GxD3D9DynamicVertexBufferCurrentSlot(), 0);
    const Lock lock = LockAndUnlock(16, 4);
    EXPECT_NE(lock.buffer, again);

    // A buffer given back is forgotten by its owner: a later release must not write to it.
    IDirect3DVertexBuffer9** scratch = new IDirect3DVertexBuffer9*(nullptr);
    ASSERT_TRUE(GxD3D9DynamicVertexBufferCreate(512, scratch));
    GxD3D9DynamicVertexBufferDestroy(*scratch);
    delete scratch;
    GxD3D9DynamicVertexBuffersRelease();  // would be a use after free under the sanitizer
    ASSERT_EQ(device->Reset(&present), D3D_OK);
    ASSERT_TRUE(GxD3D9DynamicVertexBuffersRestore());

    // A refused buffer leaves a free record without a buffer; the next restore makes it.
    IDirect3DVertexBuffer9* refused = reinterpret_cast<IDirect3DVertexBuffer9*>(1);
    D3D9SoftFailCreates(device, 1, D3D9SOFT_FAIL_BUFFERS);
    EXPECT_FALSE(GxD3D9DynamicVertexBufferCreate(777, &refused));
    EXPECT_EQ(refused, nullptr);
    GxInt32 inUse = 0;
    EXPECT_GE(GxD3D9DynamicVertexBufferCountRecords(&inUse), inUse + 1);
    // Asked for again, that record gets a buffer of its own rather than being handed out empty.
    ASSERT_TRUE(GxD3D9DynamicVertexBufferCreate(777, &refused));
    ASSERT_NE(refused, nullptr);
    EXPECT_EQ(BufferSize(refused), 777u);
}

// Records the free lists refuse fail the request and leave the manager as it was: the stride record, then the
// buffer's list node, then its free range (the buffer made for it goes back), then a dynamic record.
TEST_F(VertexBufferTest, RefusedRecordMemoryFailsTheRequestAndKeepsTheLists)
{
    realAlloc = GxEngineInstance->memoryAlloc;
    GxEngineInstance->memoryAlloc = RefuseEntriesPastTheAllowed;
    IDirect3DVertexBuffer9* buffer = nullptr;
    GxUInt32 offset = 0;
    // The stride record made on the second try stays, so the third refuses the range.
    for (int allowed : {0, 1, 1}) {
        entriesAllowed = allowed;
        EXPECT_FALSE(GxD3D9CreateVertexBuffer(28, 280, &buffer, &offset)) << allowed;
        EXPECT_TRUE(FreeRanges(28).empty()) << allowed;
    }
    IDirect3DVertexBuffer9* dynamic = reinterpret_cast<IDirect3DVertexBuffer9*>(1);
    entriesAllowed = 0;
    EXPECT_FALSE(GxD3D9DynamicVertexBufferCreate(1000, &dynamic));
    EXPECT_EQ(dynamic, nullptr);
    GxEngineInstance->memoryAlloc = realAlloc;

    ASSERT_TRUE(GxD3D9CreateVertexBuffer(28, 280, &buffer, &offset));
    EXPECT_EQ(offset, 0u);
    ASSERT_EQ(FreeRanges(28).size(), 1u);
    EXPECT_EQ(FreeRanges(28)[0].offset, 280u);
    ASSERT_TRUE(GxD3D9DynamicVertexBufferCreate(1000, &dynamic));
}

}  // namespace
