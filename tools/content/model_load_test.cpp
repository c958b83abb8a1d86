// The authored model files load through the composite model's file reader and the templates' asset loader:
// every object model, a model's textures bound from its own dictionary, and each
// building's slot paths as the splines its template hands to the objects made from it.
#include "tools/content/misc_models.h"

#include <filesystem>

#include "engine/world/asset.h"
#include "engine/world/composite.h"
#include "engine/world/spline.h"
#include "gfx/core/filesys.h"
#include "gfx/core/image.h"
#include "gfx/core/raster.h"
#include "gfx/core/spline.h"
#include "gfx/world/clump.h"
#include "gfx/world/lod.h"
#include "gfx/world/userdata.h"
#include "tools/content/clump_writer.h"
#include "tools/content/model_testing.h"

namespace {

class ContentModelLoad : public ContentObjectTest {};

}  // namespace

// The ground's and the ring's shapes: ObjectModels.GroundRingAndDebrisHaveTheirSizes.
TEST_F(ContentModelLoad, EveryObjectModelLoadsAsAComposite)
{
    std::string detail;
    ASSERT_TRUE(ContentWriteObjectModels(dir.string(), &detail)) << detail;
    for (const std::string& path : ContentObjectModelPaths()) {
        CFerroxComposite model;
        ASSERT_EQ(1, model.Load({path.c_str(), (dir / path.substr(2)).string().c_str()})) << path;
        EXPECT_GE(GxClumpGetNumAtomics(model.GetClump()), 1) << path;
    }
}

TEST_F(ContentModelLoad, ModelFilesBindTheTexturesOfTheirOwnDictionary)
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
    const std::string path = (dir / "fashion_small.gxs").string();
    ASSERT_TRUE(ContentModelFileWrite(path.c_str(), {texture}, unit));
    GxClumpDestroy(unit);
    GxTextureDestroy(sign);
    GxImageDestroy(image);

    CFerroxComposite model;
    ASSERT_EQ(1, model.Load({path.c_str(), path.c_str()}));
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

TEST_F(ContentModelLoad, EachModelFileGivesOneTemplateWithItsSlotPathsByName)
{
    std::string detail;
    ASSERT_TRUE(ContentWriteObjectModels(dir.string(), &detail)) << detail;
    FerroxModelPool models;
    FerroxAnimPool animations;
    CFerroxAssetLoaderHlpr loader;
    size_t withSlots = 0;
    for (const std::string& path : ContentObjectModelPaths()) {
        SCOPED_TRACE(path);
        ContentModel made;
        ASSERT_TRUE(ContentObjectModelCreate(path, &made));
        const std::string file = (dir / path.substr(2)).string();
        loader.SetTarget(&models, &animations, file.c_str());
        CFerroxStream<CFerroxAssetLoaderHlpr> stream;
        ASSERT_TRUE(stream.Read(file.c_str(), &CFerroxAssetLoaderHlpr::LoadChunk));
        EXPECT_EQ(1, stream.Process(&loader));
        loader.GroupAssets();
        const std::vector<std::unique_ptr<CFerroxAssetSet>> sets = loader.TakeAssetSets();
        ASSERT_EQ(1u, sets.size());
        EXPECT_EQ(1u, sets[0]->GetModels().size());
        // A spline is named after its group; the character's action is the part of that name after its first "_".
        const std::vector<CFerroxSpline*> splines = sets[0]->GetSplines();
        ASSERT_EQ(made.slots.size(), splines.size());
        for (size_t i = 0; i < splines.size(); i++) {
            EXPECT_STREQ(made.slots[i].name.c_str(), splines[i]->GetName());
            EXPECT_GE(splines[i]->GetPointCount(), 4);
        }
        withSlots += splines.empty() ? 0 : 1;
    }
    EXPECT_GE(withSlots, 12u + 4u + 2u);  // shops, facilities, stairs and atrium
}
