// The world: an empty world with and without a camera, a second Create, the groups that give the sky box and
// the objects model, placeholders naming model files, animated textures found by frame tag, and translucent
// atomics drawn farthest first.
#include "engine/world/world.h"

#include <algorithm>
#include <map>
#include <memory>

#include "engine/testsupport/objects.h"
#include "engine/testsupport/scene.h"
#include "engine/world/animtexture.h"
#include "engine/world/object.h"
#include "engine/world/spline.h"
#include "gfx/core/camera.h"
#include "gfx/core/engine.h"
#include "gfx/core/image.h"
#include "gfx/core/pipeline.h"

namespace {

// A world whose Release leaves everything alone, as a game's subclass may, and which looks at the set-up
// while the objects model and the splines still exist.
class CProbeWorld : public CFerroxWorld {
public:
    void Release() override {}
    ~CProbeWorld() override { CFerroxWorld::Release(); }
    // Test levels hold no world chunk: an empty graphics world stands in for it.
    int LoadFile(const char* fileName) override
    {
        CFerroxWorld::LoadFile(fileName);
        if (!m_pWorld) {
            const GxBBox box = {{50, 50, 50}, {-50, -50, -50}};
            m_pWorld = GxWorldCreate(&box);
        }
        return m_pWorld ? 1 : 0;
    }
    int ProcessPlaceholder(const char* text, int mode, const GxV3d* position) override
    {
        seen.push_back(std::string(text) + "@" + std::to_string(mode));
        return CFerroxWorld::ProcessPlaceholder(text, mode, position);
    }
    int ProcessSplines() override
    {
        splineNames.clear();
        for (CFerroxSpline* spline : GetSplines())
            splineNames.push_back(spline->GetName());
        hidden.clear();
        if (CFerroxComposite* objects = GetObjectsModel()) {
            objectAtomics = FerroxAtomicCount(objects->GetClump());
            GxClumpForAllAtomics(
                objects->GetClump(),
                [](GxAtomic* atomic, void* data) {
                    const GxFrame* frame = static_cast<GxFrame*>(atomic->object.object.parent);
                    GxUserDataArray* tag = GxFrameGetUserDataArray(const_cast<GxFrame*>(frame), 0);
                    (*static_cast<std::map<std::string, bool>*>(data))[GxUserDataArrayGetString(tag, 0)] =
                        !(atomic->object.object.flags & gxATOMICRENDER);
                    return atomic;
                },
                &hidden);
        }
        return 0;
    }

    std::vector<std::string> seen;
    std::vector<std::string> splineNames;
    std::map<std::string, bool> hidden;
    int objectAtomics = 0;
};

GxCamera* MakeCamera()
{
    GxCamera* camera = GxCameraCreate();
    GxFrame* frame = camera ? GxFrameCreate() : nullptr;
    if (!frame)
        return nullptr;
    GxObjectSetFrame(&camera->object, frame);
    return camera;
}

void DestroyCamera(GxCamera* camera)
{
    if (!camera)
        return;
    if (GxWorld* world = GxCameraGetWorld(camera))
        GxWorldRemoveCamera(world, camera);
    GxFrame* frame = GxCameraGetFrame(camera);
    GxObjectSetFrame(&camera->object, nullptr);
    GxFrameDestroy(frame);
    GxCameraDestroy(camera);
}

class World : public FerroxObjectTest {
protected:
    void SetUp() override
    {
        FerroxObjectTest::SetUp();
        if (HasFatalFailure())
            return;
        ASSERT_TRUE(GxImageRegisterImageFormat("bmp", GxImageReadBMP, GxImageWriteBMP));
        camera = MakeCamera();
        ASSERT_NE(camera, nullptr);
    }
    void TearDown() override
    {
        DestroyCamera(camera);
        GxImageSetPath("");
        FerroxObjectTest::TearDown();
    }
    // A model file holding one clump of atomics tagged as given.
    std::string WriteModel(const std::string& name, const std::vector<const char*>& tags)
    {
        std::filesystem::create_directories(std::filesystem::path(Path(name)).parent_path());
        GxClump* clump = FerroxTaggedClump(tags, 0.5f);
        const FerroxBytes bytes = clump ? FerroxClumpChunk(clump) : FerroxBytes();
        if (clump)
            GxClumpDestroy(clump);
        WriteBytes(Path(name), bytes);
        return Path(name);
    }
    // A level: the given groups, each a clump of atomics tagged as given, the atomic of the n-th tag at x = n
    // (counted from 1) and z = -3.
    std::string WriteLevel(const std::vector<std::pair<const char*, std::vector<const char*>>>& groups,
                           bool withLights = false, bool withSpline = false)
    {
        FerroxBytes level;
        for (const auto& group : groups) {
            GxClump* clump = FerroxTaggedClump(group.second, 0.25f);
            if (!clump)
                return "";
            FerroxLineUpTags(clump, group.second);
            if (withLights) {
                // The ambient light on the model's root, the directional one on a frame of its own below it.
                for (GxInt32 type : {gxLIGHTAMBIENT, gxLIGHTDIRECTIONAL}) {
                    GxLight* light = GxLightCreate(type);
                    GxFrame* root = static_cast<GxFrame*>(clump->object.parent);
                    GxFrame* frame = type == gxLIGHTAMBIENT ? root : GxFrameCreate();
                    if (frame != root)
                        GxFrameAddChild(root, frame);
                    GxLightSetFrame(light, frame);
                    GxClumpAddLight(clump, light);
                }
            }
            FerroxAppend(level, FerroxGroupStart(group.first));
            FerroxAppend(level, FerroxClumpChunk(clump));
            FerroxAppend(level, FerroxGroupEnd());
            GxClumpDestroy(clump);
        }
        if (withSpline) {
            FerroxAppend(level, FerroxGroupStart("spawn_1_north"));
            FerroxAppend(level, FerroxSplineChunk("spawn_1_north", 4));
            FerroxAppend(level, FerroxGroupEnd());
        }
        WriteBytes(Path("level.gxs"), level);
        return Path("level.gxs");
    }

    GxCamera* camera = nullptr;
};

TEST_F(World, EmptyWorldSpansAHundredEachWayAndTakesTheCameraWhenThereIsOne)
{
    CFerroxWorld world;
    ASSERT_EQ(world.Create(nullptr, camera), 1);
    GxWorld* graphics = world.GetGraphicsWorld();
    ASSERT_NE(graphics, nullptr);
    EXPECT_FLOAT_EQ(graphics->boundingBox.sup.x, kFerroxEmptyWorldHalf);
    EXPECT_FLOAT_EQ(graphics->boundingBox.sup.y, kFerroxEmptyWorldHalf);
    EXPECT_FLOAT_EQ(graphics->boundingBox.inf.z, -kFerroxEmptyWorldHalf);
    EXPECT_EQ(GxCameraGetWorld(camera), graphics);

    // The level manager makes its world before any camera exists.
    CFerroxWorld later;
    ASSERT_EQ(later.Create(nullptr, nullptr), 1);
    EXPECT_NE(later.GetGraphicsWorld(), nullptr);
    EXPECT_NE(later.GetRegistry(), nullptr);
}

// A level file that holds no world, or no file at all, is no level: Create says so rather than go on without one.
TEST_F(World, ALevelWithoutAWorldIsNotCreated)
{
    const std::string level = WriteLevel({{"objects", {"plain"}}});
    CFerroxWorld world;
    EXPECT_EQ(world.Create(level.c_str(), camera), 0);
    EXPECT_EQ(world.GetGraphicsWorld(), nullptr);
    EXPECT_EQ(world.Create(Path("missing.gxs").c_str(), camera), 0);
}

TEST_F(World, SecondCreateFreesTheFirstLevelEvenWhenTheSubclassReleasesNothing)
{
    const std::string bench = WriteModel("shop/bench.gxs", {"seat"});
    const std::string level = WriteLevel({{"objects", {bench.c_str()}}}, true);
    CProbeWorld world;
    ASSERT_EQ(world.Create(level.c_str(), camera), 1);
    EXPECT_EQ(world.GetLights().size(), 2u);
    EXPECT_EQ(world.GetStaticObjects().size(), 1u);
    ASSERT_EQ(world.Create(level.c_str(), camera), 1);
    // The second level holds only its own: nothing of the first is kept (and the sanitizer sees no leak).
    EXPECT_EQ(world.GetLights().size(), 2u);
    EXPECT_EQ(world.GetStaticObjects().size(), 1u);
    EXPECT_EQ(world.GetModelPool()->GetCount(), 1u);
    EXPECT_EQ(GxCameraGetWorld(camera), world.GetGraphicsWorld());
    for (GxLight* light : world.GetLights())
        EXPECT_EQ(GxLightGetWorld(light), world.GetGraphicsWorld());
    // Each light took a copy of its frames along: the one on the model's root keeps the frames below it.
    GxInt32 largest = 0;
    for (GxLight* light : world.GetLights()) {
        GxFrame* frame = static_cast<GxFrame*>(light->object.object.parent);
        ASSERT_NE(frame, nullptr);
        EXPECT_EQ(frame->root, frame);
        largest = std::max(largest, GxFrameCount(frame));
    }
    EXPECT_GT(largest, 2);
}

TEST_F(World, OnlyTheFirstClumpOfTheSkyAndObjectsGroupsIsTaken)
{
    const std::string level = WriteLevel({{"skybox", {"a"}},
                                          {"skybox", {"b", "b"}},
                                          {"sky", {"c", "c", "c"}},
                                          {"objects", {"p", "q"}},
                                          {"objects", {"r", "s", "t"}}});
    CProbeWorld world;
    ASSERT_EQ(world.Create(level.c_str(), nullptr), 1);
    ASSERT_NE(world.GetSkyBox(), nullptr);
    EXPECT_EQ(FerroxAtomicCount(world.GetSkyBox()->GetClump()), 1);
    EXPECT_EQ(world.objectAtomics, 2);
    // The objects model lives only through the set-up; its placeholders were each seen once per mode.
    EXPECT_EQ(world.GetObjectsModel(), nullptr);
    std::sort(world.seen.begin(), world.seen.end());
    EXPECT_EQ(world.seen, (std::vector<std::string>{"p@1", "p@2", "q@1", "q@2"}));
}

TEST_F(World, PlaceholderNamingAModelFilePlacesItsObjectsThereAndIsHidden)
{
    const std::string bench = WriteModel("shop/bench.gxs", {"seat", "back"});
    const std::string level = WriteLevel({{"objects", {"map_1_8_8_2", bench.c_str()}}}, false, true);
    CProbeWorld world;
    ASSERT_EQ(world.Create(level.c_str(), camera), 1);
    ASSERT_EQ(world.GetStaticObjects().size(), 1u);
    CFerroxObject* object = world.GetStaticObjects().front().get();
    ASSERT_NE(object->GetPosition(), nullptr);
    // The bench's placeholder is the second atomic: at x 2, z -3.
    EXPECT_FLOAT_EQ(object->GetPosition()->x, 2.0f);
    EXPECT_FLOAT_EQ(object->GetPosition()->z, -3.0f);
    EXPECT_EQ(object->GetModel()->GetWorld(), world.GetGraphicsWorld());
    EXPECT_EQ(world.hidden, (std::map<std::string, bool>{{"map_1_8_8_2", false}, {bench, true}}));
    // Splines were there during the set-up, named by their group, and are gone after it.
    EXPECT_EQ(world.splineNames, (std::vector<std::string>{"spawn_1_north"}));
    EXPECT_TRUE(world.GetSplines().empty());

    // A placeholder naming a file that is not there places nothing.
    const std::string lost = WriteLevel({{"objects", {"shop/nowhere.gxs"}}});
    ASSERT_EQ(world.Create(lost.c_str(), camera), 1);
    EXPECT_TRUE(world.GetStaticObjects().empty());
}

TEST_F(World, AnimatedTextureComesFromTheModelsAniFolderOnceForEveryObject)
{
    EXPECT_EQ(CFerroxWorld::AnimTexturePath("shop/pool.gxs", "ANIM_water01"), "shop/ani/ANIM_water.ini");
    EXPECT_EQ(CFerroxWorld::AnimTexturePath("pool.gxs", "ANIM_water01"), "ani/ANIM_water.ini");

    const std::string pool = WriteModel("shop/pool.gxs", {"rim", "ANIM_water01"});
    std::filesystem::create_directories(Path("shop/ani"));
    WriteBytes(Path("shop/ani/ANIM_water.ini"),
               FerroxBytes{'[', 'a', ']', '\n', 'n', '=', '2', '\n', 'm', '=', '5', '0', '\n'});
    for (int k = 0; k < 2; k++)
        ASSERT_TRUE(FerroxWriteTestPicture(Path("shop/ani/" + FerroxAnimFrameName("ANIM_water", k) + ".bmp"),
                                           static_cast<GxUInt8>(100 * k), 0, 0));
    const std::string level = WriteLevel({{"objects", {pool.c_str(), pool.c_str()}}});
    CProbeWorld world;
    ASSERT_EQ(world.Create(level.c_str(), camera), 1);
    EXPECT_EQ(world.GetStaticObjects().size(), 2u);
    ASSERT_EQ(world.GetAnimTextures().size(), 1u);
    EXPECT_EQ(world.GetAnimTextures().front()->GetFrameCount(), 2u);
    EXPECT_NE(world.GetAnimTextures().front()->GetFrame(1), nullptr);
    world.Update(0.06f);
    EXPECT_EQ(world.GetAnimTextures().front()->GetCurrentFrame(), 1u);
}

// ---- Registry ----

std::vector<int> drawn;

GxAtomic* RecordDraw(GxAtomic* atomic)
{
    drawn.push_back(
        static_cast<int>(-GxFrameGetWorldMatrix(static_cast<GxFrame*>(atomic->object.object.parent))->pos.z));
    return atomic;
}

TEST_F(World, TranslucentAtomicsAreDrawnFarthestFirstAfterTheWorldPass)
{
    // Atomics at 9, 1 and 4 units in front of the camera, and one opaque atomic at 6.
    GxMaterial* glass = GxMaterialCreate();
    GxMaterial* stone = GxMaterialCreate();
    glass->color.alpha = 128;
    GxClump* clump = GxClumpCreate();
    GxFrame* root = GxFrameCreate();
    GxClumpSetFrame(clump, root);
    for (float z : {9.0f, 1.0f, 4.0f, 6.0f}) {
        GxFrame* frame = GxFrameCreate();
        GxAtomic* atomic = GxAtomicCreate();
        GxMaterial* material = z == 6.0f ? stone : glass;
        GxGeometry* geometry = GxWorldTestBox(material, material, 0.1f);
        const GxV3d at = {0, 0, -z};
        GxFrameTranslate(frame, &at, gxCOMBINEREPLACE);
        GxFrameAddChild(root, frame);
        GxAtomicSetFrame(atomic, frame);
        GxAtomicSetGeometry(atomic, geometry, 0);
        GxGeometryDestroy(geometry);
        GxClumpAddAtomic(clump, atomic);
    }
    GxMaterialDestroy(glass);
    GxMaterialDestroy(stone);
    std::unique_ptr<CFerroxComposite> model(FerroxModelFromClump("glass", clump));
    GxClumpDestroy(clump);
    ASSERT_NE(model, nullptr);
    GxClumpForAllAtomics(
        model->GetClump(), [](GxAtomic* a, void*) { return GxAtomicSetRenderCallBack(a, RecordDraw); }, nullptr);

    CFerroxWorldRegistry registry;
    model->SetWorldRegistry(&registry);
    registry.Register(model.get());
    GxCamera* previous = GxEngineInstance->curCamera;
    GxEngineInstance->curCamera = camera;  // at the origin
    drawn.clear();
    GxClumpForAllAtomics(
        model->GetClump(), [](GxAtomic* a, void*) { return a->renderCallBack(a); }, nullptr);
    // The opaque one drew at once; the others wait for the flush.
    EXPECT_EQ(drawn, (std::vector<int>{6}));
    ASSERT_EQ(registry.GetQueue().size(), 3u);
    drawn.clear();
    registry.FlushTranslucent();
    EXPECT_EQ(drawn, (std::vector<int>{9, 4, 1}));
    EXPECT_TRUE(registry.GetQueue().empty());

    // Unregistered, a queued atomic leaves the queue and every atomic draws itself again.
    GxClumpForAllAtomics(
        model->GetClump(), [](GxAtomic* a, void*) { return a->renderCallBack(a); }, nullptr);
    registry.Unregister(model.get());
    EXPECT_TRUE(registry.GetQueue().empty());
    drawn.clear();
    GxClumpForAllAtomics(
        model->GetClump(), [](GxAtomic* a, void*) { return a->renderCallBack(a); }, nullptr);
    EXPECT_EQ(drawn.size(), 4u);

    // A registry that goes while the model is still in it gives the atomics their own callbacks back.
    auto gone = std::make_unique<CFerroxWorldRegistry>();
    model->SetWorldRegistry(gone.get());
    gone->Register(model.get());
    gone.reset();
    model->SetWorldRegistry(nullptr);
    drawn.clear();
    GxClumpForAllAtomics(
        model->GetClump(), [](GxAtomic* a, void*) { return a->renderCallBack(a); }, nullptr);
    EXPECT_EQ(drawn.size(), 4u);
    GxEngineInstance->curCamera = previous;
}

TEST_F(World, TranslucencyComesFromPrelitAlphaMaterialAlphaOrTexturePixels)
{
    GxMaterial* plain = GxMaterialCreate();
    GxGeometry* geometry = GxWorldTestBox(plain, plain, 1.0f);
    GxAtomic* atomic = GxAtomicCreate();
    GxAtomicSetGeometry(atomic, geometry, 0);
    EXPECT_FALSE(CFerroxWorldRegistry::IsTranslucent(atomic));

    // A texture with alpha in its format but every pixel opaque stays opaque; one clear pixel makes it not.
    GxRaster* raster = GxRasterCreate(2, 2, 32, gxRASTERTYPETEXTURE | gxRASTERFORMAT8888);
    GxUInt8* pixels = GxRasterLock(raster, 0, gxRASTERLOCKWRITE);
    ASSERT_NE(pixels, nullptr);
    for (GxInt32 y = 0; y < 2; y++)
        std::memset(pixels + y * raster->stride, 0xFF, 8);
    GxRasterUnlock(raster);
    GxTexture* texture = GxTextureCreate(raster);
    GxMaterialSetTexture(plain, texture);
    EXPECT_FALSE(CFerroxWorldRegistry::IsTranslucent(atomic));
    pixels = GxRasterLock(raster, 0, gxRASTERLOCKWRITE);
    pixels[3] = 10;
    GxRasterUnlock(raster);
    EXPECT_TRUE(CFerroxWorldRegistry::IsTranslucent(atomic));
    GxMaterialSetTexture(plain, nullptr);
    GxTextureDestroy(texture);

    plain->color.alpha = 254;
    EXPECT_TRUE(CFerroxWorldRegistry::IsTranslucent(atomic));
    GxAtomicDestroy(atomic);
    GxGeometryDestroy(geometry);
    GxMaterialDestroy(plain);
}

}  // namespace
