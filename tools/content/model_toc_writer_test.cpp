// Model files with a full table of contents: every entry points at a chunk of its type, and the misc models
// load through the composite model's file reader, facing up.
#include "tools/content/model_toc_writer.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "engine/composite.h"
#include "gfx/core/bytes.h"
#include "gfx/core/filesys.h"
#include "gfx/core/image.h"
#include "gfx/core/raster.h"
#include "gfx/d3d9/software_testing.h"
#include "gfx/world/clump.h"
#include "gfx/world/lod.h"
#include "gfx/world/userdata.h"
#include "tools/content/clump_writer.h"

namespace {

class ModelTOCWriter : public GxD3D9SoftwareTest {
protected:
    void AttachPlugins() override
    {
        ASSERT_TRUE(GxWorldObjectsPluginAttach() && GxLODAtomicPluginAttach() && GxUserDataPluginAttach());
    }
    void SetUp() override
    {
        GxD3D9SoftwareTest::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        ASSERT_TRUE(GxTestFileSystemOpen());
        std::random_device entropy;
        root = std::filesystem::temp_directory_path() /
               ("content_model_toc_" + std::to_string(entropy()) + std::to_string(entropy()));
        std::filesystem::create_directories(root);
    }
    void TearDown() override
    {
        GxFileSystemManagerClose();
        GxD3D9SoftwareTest::TearDown();
        std::error_code ignored;
        std::filesystem::remove_all(root, ignored);
    }
    std::filesystem::path root;
};

std::vector<GxUInt8> ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<GxUInt8>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Every triangle of the clump's atomics, as the y of its face normal's direction.
std::vector<float> FaceNormalsY(GxClump* clump)
{
    std::vector<float> ys;
    GxClumpForAllAtomics(
        clump,
        [](GxAtomic* atomic, void* data) -> GxAtomic* {
            const GxGeometry* g = atomic->geometry;
            const GxV3d* v = g->morphTarget[0].verts;
            for (GxInt32 t = 0; t < g->numTriangles; t++) {
                const GxUInt16* i = g->triangles[t].vertIndex;
                const GxV3d a = v[i[0]], b = v[i[1]], c = v[i[2]];
                const float y = (b.z - a.z) * (c.x - a.x) - (b.x - a.x) * (c.z - a.z);
                static_cast<std::vector<float>*>(data)->push_back(y);
            }
            return atomic;
        },
        &ys);
    return ys;
}

}  // namespace

TEST_F(ModelTOCWriter, EntriesFollowTheChunksInOrder)
{
    const ContentChunkBytes first = {0x10, 0, 0, 0, 4, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 4};
    const ContentChunkBytes second = {0x23, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    const std::vector<GxTOCEntry> entries = ContentModelTOC({first, second});
    ASSERT_EQ(2u, entries.size());
    const GxUInt32 table = gxCHUNKHEADERSIZE + 4 + 2 * gxTOCENTRYSIZE;
    EXPECT_EQ(0x10u, entries[0].id);
    EXPECT_EQ(table, entries[0].offset);
    EXPECT_EQ(0x23u, entries[1].id);
    EXPECT_EQ(table + first.size(), entries[1].offset);
    EXPECT_TRUE(ContentModelTOC({first, {0x10, 0, 0}}).empty());
    EXPECT_FALSE(ContentModelWithTOCWrite((root / "none.gxs").string().c_str(), {}));
}

TEST_F(ModelTOCWriter, MiscModelsLoadThroughTheirTable)
{
    std::string detail;
    ASSERT_TRUE(ContentWriteMiscModels(root.string(), &detail)) << detail;
    for (const char* name : {"models/misc/ground.gxs", "models/people/select.gxs"}) {
        const std::filesystem::path path = root / name;
        const std::vector<GxUInt8> bytes = ReadFile(path);
        ASSERT_GT(bytes.size(), gxCHUNKHEADERSIZE + 4u) << name;
        const GxUInt32 count = GxBytesGetU32(bytes.data() + gxCHUNKHEADERSIZE);
        for (GxUInt32 i = 0; i < count; i++) {
            const GxUInt8* entry = bytes.data() + gxCHUNKHEADERSIZE + 4 + i * gxTOCENTRYSIZE;
            const GxUInt32 offset = GxBytesGetU32(entry + 8);
            ASSERT_LT(offset + 4u, bytes.size()) << name;
            EXPECT_EQ(GxBytesGetU32(entry), GxBytesGetU32(bytes.data() + offset)) << name;
        }
        CFerroxComposite model;
        ASSERT_EQ(1, model.Load(path.string().c_str())) << name;
        ASSERT_EQ(1, GxClumpGetNumAtomics(model.GetClump())) << name;
        const std::vector<float> ys = FaceNormalsY(model.GetClump());
        ASSERT_FALSE(ys.empty());
        for (float y : ys)
            EXPECT_GT(y, 0.0f) << name;
    }
    CFerroxComposite ring;
    ASSERT_EQ(1, ring.Load((root / "models/people/select.gxs").string().c_str()));
    GxAtomic* atomic = GxLinkGetData(ring.GetClump()->atomicList.next, GxAtomic, inClumpLink);
    EXPECT_EQ(180, atomic->geometry->matList.materials[0]->color.alpha);
    EXPECT_NEAR(0.8f, atomic->geometry->morphTarget[0].boundingSphere.radius, 0.01f);
}

TEST_F(ModelTOCWriter, ModelFilesBindTheTexturesOfTheirOwnDictionary)
{
    GxImage* image = ContentSignImage(64, GxRGBA{220, 40, 120, 255});
    ASSERT_NE(nullptr, image);
    GxTexture* sign = GxTextureCreate(GxRasterCreate(64, 64, 32, gxRASTERTYPETEXTURE | gxRASTERFORMAT8888));
    ASSERT_NE(nullptr, sign);
    GxTextureSetName(sign, "fashion_sign");
    GxClump* unit = ContentShopUnitCreate(ContentShopUnitPlan{6.0f, 6.0f, GxRGBA{235, 230, 220, 255}, sign});
    ASSERT_NE(nullptr, unit);
    ContentImageTexture texture;
    texture.name = "fashion_sign";
    texture.levels = {image};
    const std::string path = (root / "fashion_small.gxs").string();
    ASSERT_TRUE(ContentModelFileWrite(path.c_str(), {texture}, unit));
    GxClumpDestroy(unit);
    GxTextureDestroy(sign);
    GxImageDestroy(image);

    CFerroxComposite model;
    ASSERT_EQ(1, model.Load(path.c_str()));
    GxTexture* found = nullptr;
    GxClumpForAllAtomics(
        model.GetClump(),
        [](GxAtomic* atomic, void* data) -> GxAtomic* {
            for (GxInt32 i = 0; i < atomic->geometry->matList.numMaterials; i++) {
                GxTexture* t = atomic->geometry->matList.materials[i]->texture;
                if (t != nullptr) {
                    *static_cast<GxTexture**>(data) = t;
                }
            }
            return atomic;
        },
        &found);
    ASSERT_NE(nullptr, found);
    EXPECT_STREQ("fashion_sign", found->name);
    // The model owns the dictionary it read; it goes with the model.
    model.Release();
    EXPECT_EQ(nullptr, GxTexDictionaryGetCurrent());
}
