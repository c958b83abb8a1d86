// Tests of native geometry data (chunk 0x510): a written instance reads back the same, pointers are written as 0,
// and truncated or inconsistent data is refused without an instance.
#include <cstdio>

#include "gfx/d3d9/atomicpipe_testing.h"

namespace {

class NativeGeometry : public GxAtomicPipeTest {
protected:
    // A box instanced by one draw and flagged native.
    GxGeometry* NativeBox()
    {
        first = GxMaterialCreate();
        second = GxMaterialCreate();
        GxAtomic* atomic = MakeAtomic(GxWorldTestBox(first, second));
        GxMaterialDestroy(first);
        GxMaterialDestroy(second);
        EXPECT_TRUE(Render());
        atomic->geometry->flags |= gxGEOMETRYNATIVE;
        return atomic->geometry;
    }
    static std::vector<GxUInt8> Write(GxGeometry* geometry)
    {
        return GxWorldTestWrite([geometry](GxStream* s) { return GxD3D9GeometryNativeStreamWrite(s, geometry); });
    }
    static bool Read(GxGeometry* geometry, const std::vector<GxUInt8>& bytes, size_t length = SIZE_MAX)
    {
        GxStream* stream = GxWorldTestOpen(bytes, length);
        const bool ok = GxD3D9GeometryNativeStreamRead(stream, geometry) != nullptr;
        GxStreamClose(stream, nullptr);
        return ok;
    }

    GxMaterial* first = nullptr;
    GxMaterial* second = nullptr;
};

constexpr size_t kBody = 12;             // after the struct chunk's header
constexpr size_t kInstance = kBody + 8;  // after the platform id and the instance size

GxUInt32 WordAt(const std::vector<GxUInt8>& bytes, size_t at)
{
    return GxUInt32(bytes[at]) | GxUInt32(bytes[at + 1]) << 8 | GxUInt32(bytes[at + 2]) << 16 |
           GxUInt32(bytes[at + 3]) << 24;
}

void PutWordAt(std::vector<GxUInt8>* bytes, size_t at, GxUInt32 value)
{
    for (int i = 0; i < 4; i++) {
        (*bytes)[at + i] = static_cast<GxUInt8>(value >> (8 * i));
    }
}

}  // namespace

TEST_F(NativeGeometry, WrittenInstanceReadsBackTheSame)
{
    GxGeometry* geometry = NativeBox();
    const std::vector<GxUInt8> bytes = Write(geometry);
    ASSERT_FALSE(bytes.empty());
    EXPECT_EQ(static_cast<GxInt32>(bytes.size()), GxD3D9GeometryNativeStreamSize(geometry));
    EXPECT_EQ(WordAt(bytes, kBody), 9u);
    // Pointer words carry no address: index buffer, both stream buffers, the declaration, each mesh's shader.
    for (size_t at : {kInstance + 8, kInstance + 16, kInstance + 32, kInstance + 52}) {
        EXPECT_EQ(WordAt(bytes, at), 0u) << at;
    }
    const GxUInt32 meshes = WordAt(bytes, kInstance + 4);
    for (GxUInt32 m = 0; m < meshes; m++) {
        EXPECT_EQ(WordAt(bytes, kInstance + 64 + 36 * m + 16), 0u);
        EXPECT_LT(WordAt(bytes, kInstance + 64 + 36 * m + 8), 2u);  // material index
    }
    if (const char* seed = std::getenv("MALL_NATIVEGEOM_SEED")) {
        FILE* f = std::fopen(seed, "wb");
        ASSERT_NE(f, nullptr);
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }

    GxResourceEntryFree(geometry->repEntry);
    ASSERT_EQ(geometry->repEntry, nullptr);
    ASSERT_TRUE(Read(geometry, bytes));
    ASSERT_NE(geometry->repEntry, nullptr);
    EXPECT_EQ(Write(geometry), bytes);
    auto* header = reinterpret_cast<GxD3D9InstanceHeader*>(geometry->repEntry + 1);
    GxD3D9MeshInstance* records = GxD3D9InstanceMeshes(header);
    for (GxUInt32 m = 0; m < header->meshCount; m++) {
        EXPECT_TRUE(records[m].material == first || records[m].material == second);
        EXPECT_EQ(records[m].vertexBase,
                  header->streams[0].offset / header->streams[0].stride + records[m].firstVertex);
    }
    // The native instance draws as it is.
    D3D9SoftClearLog(gxD3D9State.device);
    ASSERT_TRUE(Render());
    size_t draws = 0;
    for (const D3D9SoftEvent& e : D3D9SoftLog(gxD3D9State.device)) {
        draws += e.type == D3D9SOFT_DRAW;
    }
    EXPECT_EQ(draws, header->meshCount);
}

TEST_F(NativeGeometry, NonNativeGeometryWritesNothing)
{
    GxGeometry* geometry = NativeBox();
    geometry->flags &= ~static_cast<GxUInt32>(gxGEOMETRYNATIVE);
    EXPECT_EQ(GxD3D9GeometryNativeStreamSize(geometry), 0);
    EXPECT_TRUE(Write(geometry).empty());
}

TEST_F(NativeGeometry, TruncatedOrInconsistentDataIsRefused)
{
    GxGeometry* geometry = NativeBox();
    const std::vector<GxUInt8> bytes = Write(geometry);
    ASSERT_FALSE(bytes.empty());
    GxResourceEntryFree(geometry->repEntry);
    for (size_t length = 0; length < bytes.size(); length++) {
        ASSERT_FALSE(Read(geometry, bytes, length)) << length;
        ASSERT_EQ(geometry->repEntry, nullptr);
    }
    GxTestTakeError();
    struct Damage {
        size_t at;
        GxUInt32 value;
    };
    const GxUInt32 meshes = WordAt(bytes, kInstance + 4);
    const size_t elements = kInstance + 64 + 36 * meshes;
    const Damage damages[] = {
        {kBody, 8},                         // another platform
        {kBody + 4, 64 + 36 * meshes + 4},  // instance size not a whole number of meshes
        {kInstance + 4, meshes + 1},        // mesh count against the instance size
        {kInstance + 64 + 8, 7},            // material index beyond the list
        {kInstance + 64, 1000},             // index count beyond the total
        {kInstance + 64 + 32, 99},          // primitive count against the index count
        {kInstance + 56, 0x7FFFFFFF},       // index total beyond the bytes
        {kInstance + 60, 0x10001},          // vertex total beyond 16-bit indices
        {kInstance + 24, 300},              // stream stride
        {elements, 1000},                   // element count
    };
    for (const Damage& d : damages) {
        std::vector<GxUInt8> bad = bytes;
        PutWordAt(&bad, d.at, d.value);
        EXPECT_FALSE(Read(geometry, bad)) << "word at " << d.at;
        EXPECT_EQ(geometry->repEntry, nullptr);
    }
    EXPECT_TRUE(Read(geometry, bytes));
}

// An instance without an index buffer writes no indices and reads back to one that draws unindexed.
TEST_F(NativeGeometry, UnindexedInstanceReadsBackAndDrawsUnindexed)
{
    GxGeometry* geometry = NativeBox();
    std::vector<GxUInt8> bytes = Write(geometry);
    ASSERT_FALSE(bytes.empty());
    // Rewrite the instance as unindexed: no index total, no indices, each mesh its own vertex range.
    const GxUInt32 meshes = WordAt(bytes, kInstance + 4);
    const GxUInt32 indexTotal = WordAt(bytes, kInstance + 56);
    const size_t elements = kInstance + 64 + 36 * meshes;
    const size_t indices = elements + 4 + 8 * WordAt(bytes, elements);
    bytes.erase(bytes.begin() + static_cast<std::ptrdiff_t>(indices),
                bytes.begin() + static_cast<std::ptrdiff_t>(indices + 2 * indexTotal));
    PutWordAt(&bytes, 4, static_cast<GxUInt32>(bytes.size() - kBody));
    PutWordAt(&bytes, kInstance + 56, 0);
    for (GxUInt32 m = 0; m < meshes; m++) {
        const size_t mesh = kInstance + 64 + 36 * m;
        PutWordAt(&bytes, mesh, 0);
        PutWordAt(&bytes, mesh + 28, 0);
        PutWordAt(&bytes, mesh + 32, WordAt(bytes, mesh + 24) / 3);  // triangles of the vertex range
    }
    GxResourceEntryFree(geometry->repEntry);
    ASSERT_TRUE(Read(geometry, bytes));
    auto* header = reinterpret_cast<GxD3D9InstanceHeader*>(geometry->repEntry + 1);
    EXPECT_EQ(header->indexBuffer, nullptr);
    EXPECT_EQ(Write(geometry), bytes);
    D3D9SoftClearLog(gxD3D9State.device);
    ASSERT_TRUE(Render());
    size_t draws = 0;
    for (const D3D9SoftEvent& e : D3D9SoftLog(gxD3D9State.device)) {
        if (e.type == D3D9SOFT_DRAW) {
            draws++;
            EXPECT_FALSE(e.draw.indexed);
        }
    }
    EXPECT_EQ(draws, meshes);
}

// A read two-stream geometry of one morph target takes pool space where the device offsets streams, and buffers
// of its own (at offset 0) where it cannot; either way it draws every mesh.
TEST_F(NativeGeometry, ReadStreamsTakePoolSpaceUnlessTheyCannotBeOffset)
{
    const D3DCAPS9 saved = gxD3D9State.caps;
    size_t meshes = 0;  // of every atomic drawn so far
    for (bool offsets : {true, false}) {
        if (offsets) {
            gxD3D9State.caps.DevCaps2 |= D3DDEVCAPS2_STREAMOFFSET;
        } else {
            gxD3D9State.caps.DevCaps2 &= ~static_cast<DWORD>(D3DDEVCAPS2_STREAMOFFSET);
        }
        GxAtomic* atomic = MakeAtomic(GxWorldTestBox(nullptr, nullptr));
        GxGeometry* geometry = atomic->geometry;
        GxD3D9GeometrySetUsageFlags(geometry, gxD3D9USAGEPOSITIONS);
        ASSERT_TRUE(Render());
        geometry->flags |= gxGEOMETRYNATIVE;
        const std::vector<GxUInt8> bytes = Write(geometry);
        ASSERT_FALSE(bytes.empty());
        GxResourceEntryFree(geometry->repEntry);
        ASSERT_TRUE(Read(geometry, bytes));
        auto* header = reinterpret_cast<GxD3D9InstanceHeader*>(geometry->repEntry + 1);
        ASSERT_NE(header->streams[1].buffer, nullptr);
        for (const GxD3D9VertexStream& stream : header->streams) {
            EXPECT_EQ(stream.pooled, offsets ? 1 : 0) << "offsets " << offsets;
        }
        EXPECT_EQ(header->streamOffsets, offsets ? 1u : 0u);
        meshes += header->meshCount;
        D3D9SoftClearLog(gxD3D9State.device);
        ASSERT_TRUE(Render());
        size_t draws = 0;
        for (const D3D9SoftEvent& e : D3D9SoftLog(gxD3D9State.device)) {
            draws += e.type == D3D9SOFT_DRAW;
        }
        EXPECT_EQ(draws, meshes);
    }
    gxD3D9State.caps = saved;
}
