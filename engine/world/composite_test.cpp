// Composite models: levels of detail chosen by depth along the view, plain copies, parts and their variants,
// tints, the stored yaw, model files read through their table of contents, and membership in worlds.
#include "engine/world/composite.h"

#include <array>
#include <cmath>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/application/base.h"
#include "engine/testsupport/objects.h"
#include "engine/testsupport/scene.h"
#include "engine/world/camera.h"
#include "gfx/core/texdict_testing.h"
#include "gfx/fx/uvanim_testing.h"

namespace {

class Composite : public FerroxObjectTest {
protected:
    void TearDown() override
    {
        pool.Release();
        FerroxObjectTest::TearDown();
    }
    // Pooled models of the given names, a box of half size 1, 1/2, 1/4... each.
    std::vector<FerroxModelRecord*> Sources(const std::vector<const char*>& names)
    {
        std::vector<FerroxModelRecord*> records;
        float size = 1.0f;
        for (const char* name : names) {
            GxClump* clump = FerroxTaggedClump({"body"}, size);
            CFerroxComposite* model = clump ? FerroxModelFromClump(name, clump) : nullptr;
            if (clump)
                GxClumpDestroy(clump);
            if (!model)
                return {};
            records.push_back(pool.AddOrAddRef(new FerroxModelRecord{1, model}, 1));
            size *= 0.5f;
        }
        return records;
    }
    static FerroxLODSetup Setup(const char* name, const std::vector<FerroxModelRecord*>* sources)
    {
        return FerroxLODSetup{name, nullptr, sources, 1, nullptr, nullptr};
    }
    FerroxModelPool pool;
};

GxGeometry* FirstGeometry(GxClump* clump)
{
    GxGeometry* found = nullptr;
    GxClumpForAllAtomics(
        clump,
        [](GxAtomic* atomic, void* data) -> GxAtomic* {
            *static_cast<GxGeometry**>(data) = atomic->geometry;
            return nullptr;
        },
        &found);
    return found;
}

// The world as the world module shows it to models: its graphics world and a log of registrations.
struct FakeWorld {
    GxWorld* graphics;
    std::vector<std::string> log;
};

CFerroxWorld* AsWorld(FakeWorld* world) { return reinterpret_cast<CFerroxWorld*>(world); }
FakeWorld* FromWorld(CFerroxWorld* world) { return reinterpret_cast<FakeWorld*>(world); }
FakeWorld* FromRegistry(CFerroxWorldRegistry* registry) { return reinterpret_cast<FakeWorld*>(registry); }

}  // namespace

TEST_F(Composite, LevelsOfDetailFollowTheDepthAlongTheView)
{
    const std::vector<FerroxModelRecord*> sources =
        Sources({"shop/chair_LOD_0", "shop/chair_LOD_1", "shop/chair_LOD_2"});
    ASSERT_EQ(3u, sources.size());
    CFerroxComposite model;
    const FerroxLODSetup setup = Setup("shop/chair_LOD_0", &sources);
    ASSERT_EQ(1, model.SetupLOD(&setup));
    EXPECT_EQ(1u, model.GetClumps().size());
    EXPECT_EQ(3, model.GetLevelCount());
    GxAtomic* atomic = model.GetLODAtomic();
    ASSERT_NE(nullptr, atomic);
    const GxLODAtomicRecord* levels = GxLODAtomicGetRecord(atomic);
    ASSERT_NE(nullptr, levels);
    EXPECT_EQ(&CFerroxComposite::LODSelect, levels->select);
    for (int level = 0; level < 3; level++) {
        ASSERT_NE(nullptr, levels->geometry[level]) << level;
        // Each level is its source's shape: boxes of half size 1, 1/2 and 1/4.
        EXPECT_FLOAT_EQ(std::ldexp(1.0f, -level), levels->geometry[level]->morphTarget[0].boundingSphere.radius /
                                                      levels->geometry[0]->morphTarget[0].boundingSphere.radius);
    }
    EXPECT_EQ(&model, GetClumpComposite(model.GetClump()));

    // The camera stands at the origin looking along +z.
    CFerroxGame game;
    game.m_pCamera = std::make_unique<CFerroxCamera>();
    CFerroxCamera& camera = *game.m_pCamera;
    ASSERT_EQ(1, camera.Create(64, 64, 1));
    FerroxSetGame(&game);
    struct Case {
        GxV3d at;
        GxInt32 level;
    };
    const Case cases[] = {
        {{0.0f, 0.0f, 7.9f}, 0},
        {{0.0f, 0.0f, 8.0f}, 1},
        {{0.0f, 0.0f, 10.0f}, 2},
        // Twelve to the side but five ahead: near by depth.
        {{12.0f, 0.0f, 5.0f}, 0},
        {{0.0f, 0.0f, -30.0f}, 0},
    };
    for (const Case& c : cases) {
        model.Translate(&c.at, 0);
        EXPECT_EQ(c.level, CFerroxComposite::LODSelect(atomic)) << c.at.x << "," << c.at.z;
    }
    EXPECT_EQ(2, CFerroxComposite::LevelForDepth(std::nanf("")));
    FerroxSetGame(nullptr);
    // Without a game camera the model is drawn in full detail.
    model.Translate(&cases[2].at, 0);
    EXPECT_EQ(0, CFerroxComposite::LODSelect(atomic));
    camera.Release();
}

TEST_F(Composite, SetsWithoutAFirstLevelOrWithoutLevelsAreCopiedWhole)
{
    const std::vector<FerroxModelRecord*> plain = Sources({"shop/table", "shop/lamp"});
    ASSERT_EQ(2u, plain.size());
    CFerroxComposite copies;
    FerroxLODSetup setup = Setup("shop/table", &plain);
    setup.renderCallback = GxAtomicDefaultRenderCallback;
    ASSERT_EQ(1, copies.SetupLOD(&setup));
    EXPECT_EQ(2u, copies.GetClumps().size());
    EXPECT_EQ(nullptr, copies.GetLODAtomic());
    EXPECT_EQ(copies.GetClumps()[0], copies.GetClump());
    EXPECT_EQ(GxAtomicDefaultRenderCallback, copies.GetRenderCallback());
    // A clone shares the pooled geometry.
    EXPECT_EQ(FirstGeometry(plain[0]->asset->GetClump()), FirstGeometry(copies.GetClump()));

    const std::vector<FerroxModelRecord*> noFirst = Sources({"shop/stool_LOD_1", "shop/stool_LOD_2"});
    CFerroxComposite fallback;
    setup = Setup("shop/stool_LOD_1", &noFirst);
    ASSERT_EQ(1, fallback.SetupLOD(&setup));
    EXPECT_EQ(2u, fallback.GetClumps().size());
    EXPECT_EQ(nullptr, fallback.GetLODAtomic());

    CFerroxComposite empty;
    setup = Setup("nothing", nullptr);
    EXPECT_EQ(0, empty.SetupLOD(&setup));
    EXPECT_EQ(nullptr, empty.GetPosition());
    EXPECT_EQ(nullptr, empty.FindPart(""));
}

// A full copy is made after the model's own file is read, when another file's dictionary may be current: it
// still finds the textures the model was read with.
TEST_F(Composite, FullCopiesKeepTheTexturesOfTheModelTheyCopy)
{
    GxTexDictionary* own = GxTexDictionaryCreate();
    GxTexture* cloth = GxTextureCreate(GxRasterCreate(4, 4, 32, gxRASTERTYPETEXTURE | gxRASTERFORMAT8888));
    ASSERT_NE(nullptr, own);
    ASSERT_NE(nullptr, cloth);
    GxTextureSetName(cloth, "cloth");
    GxTexDictionaryAddTexture(own, cloth);
    GxTexDictionarySetCurrent(own);
    GxClump* clump = FerroxTaggedClump({"body"});
    ASSERT_NE(nullptr, clump);
    GxMaterialSetTexture(FirstGeometry(clump)->matList.materials[0], cloth);
    CFerroxComposite* model = FerroxModelFromClump("person", clump);
    GxClumpDestroy(clump);
    ASSERT_NE(nullptr, model);
    ASSERT_EQ(cloth, FirstGeometry(model->GetClump())->matList.materials[0]->texture);
    const std::vector<FerroxModelRecord*> sources = {pool.AddOrAddRef(new FerroxModelRecord{1, model}, 1)};

    GxTexDictionary* other = GxTexDictionaryCreate();
    ASSERT_NE(nullptr, other);
    GxTexDictionarySetCurrent(other);
    CFerroxComposite copy;
    FerroxLODSetup setup = Setup("person", &sources);
    setup.clone = 0;
    ASSERT_EQ(1, copy.SetupLOD(&setup));
    GxGeometry* geometry = FirstGeometry(copy.GetClump());
    ASSERT_NE(FirstGeometry(model->GetClump()), geometry);
    EXPECT_EQ(cloth, geometry->matList.materials[0]->texture);
    EXPECT_EQ(other, GxTexDictionaryGetCurrent());
    copy.Release();
    GxTexDictionaryDestroy(other);
    GxTexDictionaryDestroy(own);
}

TEST_F(Composite, PartsAreFoundByTagAndVariantsShownByNumber)
{
    GxClump* clump = FerroxTaggedClump({"body", "hair1", "hair2", "hair3", nullptr});
    ASSERT_NE(nullptr, clump);
    CFerroxComposite* model = FerroxModelFromClump("people/man", clump);
    GxClumpDestroy(clump);
    ASSERT_NE(nullptr, model);
    pool.AddOrAddRef(new FerroxModelRecord{1, model}, 1);

    GxAtomic* hair2 = model->FindPart("hair2");
    ASSERT_NE(nullptr, hair2);
    EXPECT_EQ(nullptr, model->FindPart("hair"));
    GxAtomic* untagged = model->FindPart("");
    ASSERT_NE(nullptr, untagged);
    EXPECT_NE(hair2, untagged);

    const GxUInt8 shown = gxATOMICCOLLISIONTEST | gxATOMICRENDER;
    EXPECT_EQ(hair2, model->ShowPartVariant("hair", shown, 2));
    for (const char* tag : {"hair1", "hair3"})
        EXPECT_EQ(0, model->FindPart(tag)->object.object.flags & shown) << tag;
    EXPECT_EQ(shown, hair2->object.object.flags & shown);
    EXPECT_EQ(shown, model->FindPart("body")->object.object.flags & shown);
    model->ShowPartVariant("hair", shown, 0);
    for (const char* tag : {"hair1", "hair2", "hair3"})
        EXPECT_EQ(shown, model->FindPart(tag)->object.object.flags & shown) << tag;

    const GxV3d up = {0.0f, 1.0f, 0.0f};
    model->Rotate(&up, 30.0f, 1);
    model->Rotate(&up, 30.0f, 1);
    EXPECT_FLOAT_EQ(60.0f, model->GetYaw());
    model->Rotate(&up, 15.0f, 0);
    EXPECT_FLOAT_EQ(15.0f, model->GetYaw());
}

TEST_F(Composite, TintsGoByTheLastMatchingEntry)
{
    GxClump* clump = FerroxTaggedClump({"body"});
    ASSERT_NE(nullptr, clump);
    GxGeometry* geometry = FirstGeometry(clump);
    ASSERT_EQ(1, geometry->matList.numMaterials);
    // A second material for the shirt, on half the triangles.
    GxMaterial* skin = geometry->matList.materials[0];
    GxMaterial* shirt = GxMaterialCreate();
    GxMaterialListAppendMaterial(&geometry->matList, shirt);
    GxMaterialDestroy(shirt);
    GxUserDataArraySetString(GxMaterialAddUserDataArray(skin, "tag", gxUSERDATASTRING, 1), 0, "skin");
    GxUserDataArraySetString(GxMaterialAddUserDataArray(shirt, "tag", gxUSERDATASTRING, 1), 0, "shirt");
    CFerroxComposite model;
    const FerroxBytes bytes = FerroxClumpChunk(clump);
    GxClumpDestroy(clump);
    GxStream* stream = GxWorldTestOpen(bytes);
    GxUInt32 length = 0, version = 0;
    ASSERT_TRUE(GxStreamFindChunk(stream, gxID_CLUMP, &length, &version));
    const FerroxLODSetup setup = {"man", stream, nullptr, 0, nullptr, nullptr};
    ASSERT_EQ(1, model.SetupLOD(&setup));
    GxStreamClose(stream, nullptr);

    const GxRGBA red = {255, 0, 0, 255}, blue = {0, 0, 255, 255}, grey = {90, 90, 90, 255};
    const std::vector<FerroxTint> table = {{"shirt", red}, {"hi", blue}};
    model.TintMaterials(table, &grey, nullptr);
    GxGeometry* read = FirstGeometry(model.GetClump());
    ASSERT_EQ(2, read->matList.numMaterials);
    // "shirt" holds "hi", the later entry, so blue wins; "skin" matches nothing and keeps its colour.
    EXPECT_EQ(blue.blue, read->matList.materials[1]->color.blue);
    EXPECT_EQ(255, read->matList.materials[0]->color.green);
    model.TintMaterials({}, &grey, model.FindPart("body"));
    EXPECT_EQ(grey.red, read->matList.materials[0]->color.red);
    EXPECT_NE(0u, read->flags & 0x40);
}

namespace {

// A table-of-contents chunk listing (chunk id, file offset) entries; the other fields of an entry are zero.
FerroxBytes TocChunk(std::initializer_list<std::array<GxUInt32, 2>> entries)
{
    FerroxBytes toc;
    FerroxAppendWord(toc, static_cast<GxUInt32>(entries.size()));
    for (const auto& entry : entries) {
        FerroxAppendWord(toc, entry[0]);
        FerroxAppendWord(toc, 0);
        FerroxAppendWord(toc, entry[1]);
        toc.insert(toc.end(), 16, 0);
    }
    return FerroxChunk(kFerroxChunkTOC, toc);
}

}  // namespace

TEST_F(Composite, ModelFilesAreReadThroughTheirTableOfContents)
{
    GxClump* clump = FerroxTaggedClump({"body", "door"});
    ASSERT_NE(nullptr, clump);
    const FerroxBytes clumpChunk = FerroxClumpChunk(clump);
    GxClumpDestroy(clump);
    // Table: an unknown chunk, an entry past the end of the file, then the clump after a filler chunk.
    const GxUInt32 tocSize = 12 + 4 + 3 * 28;
    const FerroxBytes filler = FerroxChunk(99, FerroxBytes(8, 0xEE));
    FerroxBytes file = TocChunk({{99, tocSize},
                                 {kFerroxChunkClump, 0x7FFFFFF0u},
                                 {kFerroxChunkClump, tocSize + static_cast<GxUInt32>(filler.size())}});
    ASSERT_EQ(tocSize, file.size());
    FerroxAppend(file, filler);
    FerroxAppend(file, clumpChunk);
    const std::string path = Path("door.gxs");
    WriteBytes(path, file);

    CFerroxComposite model;
    ASSERT_EQ(1, model.Load({"door", path.c_str()}));
    EXPECT_STREQ("door", model.GetName());
    EXPECT_EQ(2, FerroxAtomicCount(model.GetClump()));
    EXPECT_NE(nullptr, model.FindPart("door"));

    // Without a table, or without a file, nothing is read.
    const std::string bare = Path("bare.gxs");
    WriteBytes(bare, clumpChunk);
    CFerroxComposite none;
    EXPECT_EQ(0, none.Load({bare.c_str(), bare.c_str()}));
    const std::string missing = Path("missing.gxs");
    EXPECT_EQ(0, none.Load({missing.c_str(), missing.c_str()}));
    EXPECT_EQ(nullptr, none.GetClump());
}

namespace {

// A model file of one box whose material names a texture its file does not hold.
FerroxBytes ModelNamingTexture(const char* textureName)
{
    GxClump* clump = FerroxTaggedClump({"body"});
    GxTexture* texture = GxTextureCreate(GxRasterCreate(4, 4, 32, gxRASTERTYPETEXTURE | gxRASTERFORMAT8888));
    if (!clump || !texture)
        return {};
    GxTextureSetName(texture, textureName);
    GxMaterialSetTexture(FirstGeometry(clump)->matList.materials[0], texture);
    const FerroxBytes clumpChunk = FerroxClumpChunk(clump);
    GxClumpDestroy(clump);
    GxTextureDestroy(texture);
    const GxUInt32 tocSize = 12 + 4 + 28;
    FerroxBytes file = TocChunk({{kFerroxChunkClump, tocSize}});
    FerroxAppend(file, clumpChunk);
    return file;
}

GxTexture* FirstTexture(CFerroxComposite& model)
{
    GxGeometry* geometry = model.GetClump() ? FirstGeometry(model.GetClump()) : nullptr;
    return geometry ? geometry->matList.materials[0]->texture : nullptr;
}

}  // namespace

// Textures a model file does not hold are read from the "textures" folder beside it, not from its own folder.
TEST_F(Composite, TexturesAreReadFromTheTexturesFolderBesideTheModel)
{
    ASSERT_TRUE(GxImageRegisterImageFormat("bmp", GxImageReadBMP, GxImageWriteBMP));
    std::filesystem::create_directories(Path("shop/textures"));
    ASSERT_TRUE(FerroxWriteTestPicture(Path("shop/textures/cloth.bmp"), 200, 10, 10));
    const std::string shop = Path("shop/unit.gxs");
    WriteBytes(shop, ModelNamingTexture("cloth"));
    CFerroxComposite model;
    ASSERT_EQ(1, model.Load({shop.c_str(), shop.c_str()}));
    EXPECT_EQ(Path("shop/") + "textures/", GxImageGetPath());
    GxTexture* cloth = FirstTexture(model);
    ASSERT_NE(nullptr, cloth);
    EXPECT_STREQ("cloth", cloth->name);
    EXPECT_EQ(4, cloth->raster->width);

    std::filesystem::create_directories(Path("plain"));
    ASSERT_TRUE(FerroxWriteTestPicture(Path("plain/linen.bmp"), 10, 200, 10));
    const std::string plain = Path("plain/unit.gxs");
    WriteBytes(plain, ModelNamingTexture("linen"));
    CFerroxComposite beside;
    ASSERT_EQ(1, beside.Load({plain.c_str(), plain.c_str()}));
    EXPECT_EQ(nullptr, FirstTexture(beside));
    GxImageSetPath("");
}

namespace {

GxInt32 CountDictionaries()
{
    GxInt32 count = 0;
    GxTexDictionaryForAllTexDictionaries(
        [](GxTexDictionary* dictionary, void* data) {
            ++*static_cast<GxInt32*>(data);
            return dictionary;
        },
        &count);
    return count;
}

}  // namespace

// A table that lists a chunk again, or a chunk inside one already read, gets it read once: what a model holds
// never outgrows the bytes of its file, and it frees what it read.
TEST_F(Composite, EachChunkOfAModelFileIsReadOnce)
{
    const FerroxBytes emptyBody(4, 0);
    const FerroxBytes inner = FerroxChunk(kFerroxChunkImageDictionary, emptyBody);
    FerroxBytes outerBody = emptyBody;
    FerroxAppend(outerBody, inner);
    const FerroxBytes outer = FerroxChunk(kFerroxChunkImageDictionary, outerBody);
    const FerroxBytes second = inner;
    const GxUInt32 entries = 5;
    const GxUInt32 tocSize = 12 + 4 + entries * 28;
    const GxUInt32 outerAt = tocSize;
    const GxUInt32 innerAt = outerAt + 12 + static_cast<GxUInt32>(emptyBody.size());
    const GxUInt32 secondAt = outerAt + static_cast<GxUInt32>(outer.size());
    FerroxBytes file = TocChunk({{kFerroxChunkImageDictionary, outerAt},
                                 {kFerroxChunkImageDictionary, outerAt},
                                 {kFerroxChunkImageDictionary, innerAt},
                                 {kFerroxChunkImageDictionary, secondAt},
                                 {kFerroxChunkImageDictionary, secondAt}});
    ASSERT_EQ(tocSize, file.size());
    FerroxAppend(file, outer);
    FerroxAppend(file, second);
    const std::string path = Path("repeated.gxs");
    WriteBytes(path, file);

    const GxInt32 before = CountDictionaries();
    {
        CFerroxComposite model;
        EXPECT_EQ(0, model.Load({path.c_str(), path.c_str()}));
        EXPECT_EQ(before + 2, CountDictionaries());
    }
    // The model's dictionaries go with it, and none of them stays current.
    EXPECT_EQ(before, CountDictionaries());
    EXPECT_EQ(nullptr, GxTexDictionaryGetCurrent());
}

TEST_F(Composite, ModelsJoinOneWorldAtATime)
{
    const GxBBox box = {{50, 50, 50}, {-50, -50, -50}};
    FakeWorld first = {GxWorldCreate(&box), {}};
    FakeWorld second = {GxWorldCreate(&box), {}};
    ASSERT_NE(nullptr, first.graphics);
    ASSERT_NE(nullptr, second.graphics);
    FerroxWorldAccess& access = FerroxGetWorldAccess();
    const FerroxWorldAccess saved = access;
    access.graphicsWorld = [](CFerroxWorld* world) { return FromWorld(world)->graphics; };
    access.registry = [](CFerroxWorld* world) { return reinterpret_cast<CFerroxWorldRegistry*>(world); };
    access.registerModel = [](CFerroxWorldRegistry* r, CFerroxComposite*) { FromRegistry(r)->log.push_back("in"); };
    access.unregisterModel = [](CFerroxWorldRegistry* r, CFerroxComposite*) { FromRegistry(r)->log.push_back("out"); };
    {
        const std::vector<FerroxModelRecord*> sources = Sources({"shop/bench"});
        CFerroxComposite model;
        const FerroxLODSetup setup = Setup("shop/bench", &sources);
        ASSERT_EQ(1, model.SetupLOD(&setup));
        model.AddToWorld(AsWorld(&first));
        EXPECT_EQ(first.graphics, GxClumpGetWorld(model.GetClump()));
        EXPECT_EQ(first.graphics, model.GetWorld());
        model.AddToWorld(AsWorld(&second));
        EXPECT_EQ(second.graphics, GxClumpGetWorld(model.GetClump()));
        model.RemoveFromWorld();
        EXPECT_EQ(nullptr, GxClumpGetWorld(model.GetClump()));
        EXPECT_EQ(nullptr, model.GetWorld());
        model.AddToWorld(AsWorld(&first));
    }
    // Destroyed while in the first world: its clump left the world and the registry.
    EXPECT_EQ((std::vector<std::string>{"in", "out", "in", "out"}), first.log);
    EXPECT_EQ((std::vector<std::string>{"in", "out"}), second.log);
    access = saved;
    GxWorldDestroy(first.graphics);
    GxWorldDestroy(second.graphics);
}

TEST_F(Composite, AnimatedMaterialsAreListedOnceAndAdvanced)
{
    GxClump* clump = FerroxTaggedClump({"basin", "spout"});
    ASSERT_NE(nullptr, clump);
    CFerroxComposite* pooled = FerroxModelFromClump("shop/fountain", clump);
    GxClumpDestroy(clump);
    ASSERT_NE(nullptr, pooled);
    const std::vector<FerroxModelRecord*> sources = {pool.AddOrAddRef(new FerroxModelRecord{1, pooled}, 1)};
    // Both atomics use the one material; it carries a texture-coordinate animation.
    GxMaterial* water = FirstGeometry(pooled->GetClump())->matList.materials[0];
    GxAnimation* slide = GxUVAnimCreate("slide");
    ASSERT_NE(nullptr, GxUVAnimMaterialSetAnim(water, 0, slide));
    GxUVAnimDestroy(slide);

    CFerroxComposite model;
    const FerroxLODSetup setup = Setup("shop/fountain", &sources);
    ASSERT_EQ(1, model.SetupLOD(&setup));
    ASSERT_EQ(1u, model.GetAnimatedMaterials().size());
    EXPECT_EQ(water, model.GetAnimatedMaterials()[0]);
    model.AdvanceAnimation(0.25f);
    EXPECT_FLOAT_EQ(0.25f, GxUVAnimMaterialGetInterpolator(water, 0)->currentTime);
}
