// The city levels: the plaza drawn through the world-sector pipeline on the OpenGL back end shows its tiles; each
// level file holds its groups in order, the sky box faces inwards, the placeholders and spawn paths sit where
// the game looks for them, and the fountain's water has its description and frames.
#include "tools/content/level_writer.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>

#include "engine/testsupport/files.h"
#include "engine/world/animtexture.h"
#include "engine/world/clumpext.h"
#include "engine/world/object.h"
#include "engine/world/world.h"
#include "gfx/core/filesys.h"
#include "gfx/core/raster.h"
#include "gfx/core/spline.h"
#include "gfx/core/texture.h"
#include "gfx/d3d9/sectorpipe.h"
#include "gfx/fx/fx.h"
#include "gfx/testsupport/engine_gtest.h"
#include "gfx/world/lod.h"
#include "gfx/world/userdata.h"
#include "gfx/world/world_testing.h"
#include "tools/content/model_testing.h"
#include "tools/content/texdict_writer.h"

namespace {

constexpr GxInt32 kSize = 64;
constexpr GxUInt32 kLevelArena = 0x800000;

class Level : public GxTestGLDraw {
protected:
    Level() : GxTestGLDraw(kSize, kSize, kLevelArena)
    {
        engineSetup.files = false;
        engineSetup.plugins = [] { return GxWorldPluginAttach() && GxD3D9SectorPluginAttach(); };
    }
    void SetUp() override
    {
        GxTestGLDraw::SetUp();
        if (!Ready()) {
            return;
        }
        dictionary = GxTexDictionaryCreate();
        for (GxInt32 m = 0; m < CONTENTLEVELMATERIALS; m++) {
            GxTexture* texture = SolidTexture(ContentLevelColour(m));
            ASSERT_NE(texture, nullptr);
            GxTextureSetName(texture, ContentLevelTextureName(m));
            GxTexDictionaryAddTexture(dictionary, texture);
            GxMaterial* material = GxMaterialCreate();
            GxMaterialSetTexture(material, texture);
            materials.push_back(material);
        }
        GxTexDictionarySetCurrent(dictionary);
    }
    void TearDown() override
    {
        if (camera) {
            GxWorldRemoveCamera(world, camera);
            GxTestCameraDestroy(camera);
        }
        if (world) {
            GxWorldDestroy(world);
        }
        for (GxMaterial* material : materials) {
            GxMaterialDestroy(material);
        }
        GxTexDictionarySetCurrent(nullptr);
        if (dictionary) {
            GxTexDictionaryDestroy(dictionary);
        }
        GxTestGLDraw::TearDown();
    }
    GxTexture* SolidTexture(GxRGBA c)
    {
        GxRaster* raster = GxRasterCreate(2, 2, 32, gxRASTERTYPETEXTURE | gxRASTERFORMAT8888);
        GxUInt8* pixels = raster ? GxRasterLock(raster, 0, gxRASTERLOCKWRITE) : nullptr;
        if (!pixels) {
            return nullptr;
        }
        for (GxInt32 y = 0; y < 2; y++) {
            for (GxInt32 x = 0; x < 2; x++) {
                GxUInt8* p = pixels + y * raster->stride + x * 4;
                p[0] = c.blue, p[1] = c.green, p[2] = c.red, p[3] = c.alpha;
            }
        }
        GxRasterUnlock(raster);
        return GxTextureCreate(raster);
    }
    bool Render()
    {
        GxRGBA background = {0, 0, 255, 255};
        if (!GxCameraClear(camera, &background, 3) || !GxCameraBeginUpdate(camera)) {
            return false;
        }
        GxWorldRender(world);
        GxCameraEndUpdate(camera);
        GxRaster* raster = camera->frameBuffer;
        GxUInt8* bits = GxRasterLock(raster, 0, gxRASTERLOCKREAD);
        if (!bits) {
            return false;
        }
        pixels.clear();
        for (GxInt32 y = 0; y < raster->height; y++) {
            const auto* row = reinterpret_cast<const GxUInt32*>(bits + static_cast<size_t>(y) * raster->stride);
            pixels.insert(pixels.end(), row, row + raster->width);
        }
        GxRasterUnlock(raster);
        return true;
    }
    ::testing::AssertionResult At(GxInt32 x, GxInt32 y, GxRGBA want)
    {
        const GxUInt32 argb = pixels[static_cast<size_t>(y) * kSize + static_cast<size_t>(x)];
        const GxInt32 r = (argb >> 16) & 0xFF, g = (argb >> 8) & 0xFF, b = argb & 0xFF;
        if (std::abs(r - want.red) <= 3 && std::abs(g - want.green) <= 3 && std::abs(b - want.blue) <= 3) {
            return ::testing::AssertionSuccess();
        }
        return ::testing::AssertionFailure()
               << "(" << x << "," << y << ") is (" << r << "," << g << "," << b << ") want (" << int(want.red) << ","
               << int(want.green) << "," << int(want.blue) << ")";
    }

    GxTexDictionary* dictionary = nullptr;
    std::vector<GxMaterial*> materials;
    std::vector<GxUInt32> pixels;
    GxWorld* world = nullptr;
    GxCamera* camera = nullptr;
};

TEST_F(Level, GroundSeenFromAboveShowsItsTiles)
{
    const std::vector<GxUInt8> bytes = ContentWorldBytes(ContentLevelMesh(), ContentLevelPlan(materials));
    ASSERT_FALSE(bytes.empty());
    world = GxWorldTestRead<GxWorld>(bytes, gxID_WORLD, GxWorldStreamRead);
    ASSERT_NE(world, nullptr);
    camera = GxTestCameraCreate(kSize, kSize);
    ASSERT_NE(camera, nullptr);
    const GxV2d window = {0.5f, 0.5f};
    GxCameraSetViewWindow(camera, &window);
    GxCameraSetNearClipPlane(camera, 0.5f);
    GxCameraSetFarClipPlane(camera, 50.0f);
    GxFrame* frame = GxCameraGetFrame(camera);
    const GxV3d xAxis = {1, 0, 0};
    const GxV3d above = {4, 10, -4};  // over the centre of cell (2, 2), a light one
    GxFrameRotate(frame, &xAxis, 90.0f, 0);
    GxFrameTranslate(frame, &above, 2);
    GxWorldAddCamera(world, camera);
    ASSERT_TRUE(Render());
    // Ten units across the view: one cell is 12.8 pixels. The plaza is light paving round the centre's cell; the
    // band of dark tiles runs along the grid's first row and column, two cells off.
    const GxRGBA light = ContentLevelColour(CONTENTLEVELTILELIGHT);
    const GxRGBA dark = ContentLevelColour(CONTENTLEVELTILEDARK);
    EXPECT_TRUE(At(32, 32, light));
    EXPECT_TRUE(At(45, 32, light));
    EXPECT_TRUE(At(32, 45, light));
    EXPECT_TRUE(At(6, 32, dark) || At(58, 32, dark)) << "the band along the grid's first column";
    EXPECT_TRUE(At(32, 6, dark) || At(32, 58, dark)) << "the band along the grid's first row";
}

class LevelFiles : public ContentModelTest {
protected:
    void AttachPlugins() override
    {
        ASSERT_TRUE(GxLODAtomicPluginAttach() && GxWorldPluginAttach() && GxD3D9SectorPluginAttach() &&
                    GxUserDataPluginAttach() && GxSplinePluginAttach() && AttachClumpExtension() &&
                    GxMaterialEffectsPluginAttach() && GxAnimPluginAttach() && GxAnimHierarchyPluginAttach() &&
                    GxUVAnimPluginAttach());
    }
    void SetUp() override
    {
        ContentModelTest::SetUp();
        if (HasFatalFailure())
            return;
        out = dir.string();
        std::string detail;
        ASSERT_TRUE(ContentWriteLevel(out, &detail)) << detail;
    }
    std::string File(const std::string& relative) const { return out + "/" + relative.substr(2); }

    std::string out;
};

// The text of a frame's first user-data entry, or empty.
std::string TagOf(GxFrame* frame)
{
    GxUserDataArray* tag = GxFrameGetUserDataArrayCount(frame) > 0 ? GxFrameGetUserDataArray(frame, 0) : nullptr;
    return tag && tag->format == gxUSERDATASTRING && GxUserDataArrayGetString(tag, 0) ? GxUserDataArrayGetString(tag, 0)
                                                                                      : "";
}

struct Tagged {
    std::map<std::string, GxV3d> at;
};

GxAtomic* CollectTag(GxAtomic* atomic, void* data)
{
    GxFrame* frame = static_cast<GxFrame*>(atomic->object.object.parent);
    const std::string tag = TagOf(frame);
    if (!tag.empty())
        static_cast<Tagged*>(data)->at[tag] = GxFrameGetWorldMatrix(frame)->pos;
    return atomic;
}

TEST_F(LevelFiles, EachCityHoldsItsGroupsInOrderWithPlaceholdersAndSpawnPaths)
{
    const GxReal edge = gxCONTENTLEVELCELLSIZE * (gxCONTENTLEVELCELLS - 0.5f);
    for (GxInt32 city = 0; city < CONTENTCITIES; city++) {
        SCOPED_TRACE(ContentLevelStem(city));
        GxStream* stream = GxStreamOpen(gxSTREAMFILENAME, gxSTREAMREAD, File(ContentLevelPath(city)).c_str());
        ASSERT_NE(stream, nullptr);
        std::vector<std::string> order;
        std::string group;
        GxChunkHeaderInfo info;
        while (GxStreamReadChunkHeaderInfo(stream, &info)) {
            if (info.type == gxID_CHUNKGROUPSTART) {
                GxNameRecord* name = GxNameRecordStreamRead(stream);
                ASSERT_NE(name, nullptr);
                group = name->name;
                GxNameRecordDestroy(name);
                order.push_back(group);
            } else if (info.type == gxID_CLUMP && group == "objects") {
                GxClump* clump = GxClumpStreamRead(stream);
                ASSERT_NE(clump, nullptr);
                GxInt32 lights = 0;
                GxClumpForAllLights(
                    clump,
                    [](GxLight* light, void* n) {
                        ++*static_cast<GxInt32*>(n);
                        return light;
                    },
                    &lights);
                EXPECT_EQ(lights, 2);
                Tagged tagged;
                GxClumpForAllAtomics(clump, CollectTag, &tagged);
                ASSERT_EQ(tagged.at.count(gxCONTENTLEVELMAP), 1u);
                // The floor's origin, one cell back from the placeholder, is the grid's origin.
                EXPECT_FLOAT_EQ(tagged.at[gxCONTENTLEVELMAP].x - 1.0f, 0.0f);
                EXPECT_FLOAT_EQ(tagged.at[gxCONTENTLEVELMAP].z + 1.0f, 0.0f);
                EXPECT_EQ(tagged.at.count(ContentLevelFountainPath(city)), 1u);
                GxClumpDestroy(clump);
                order.push_back("clump");
            } else if (info.type == gxID_CLUMP && group == "skybox") {
                GxClump* clump = GxClumpStreamRead(stream);
                ASSERT_NE(clump, nullptr);
                // Every triangle of the sky faces the middle of the cube, where the camera is.
                GxClumpForAllAtomics(
                    clump,
                    [](GxAtomic* atomic, void*) {
                        const GxGeometry* g = atomic->geometry;
                        const GxV3d* v = g->morphTarget[0].verts;
                        for (GxInt32 t = 0; t < g->numTriangles; t++) {
                            const GxUInt16* i = g->triangles[t].vertIndex;
                            const GxV3d a = v[i[0]], b = v[i[1]], c = v[i[2]];
                            const GxV3d e1 = {b.x - a.x, b.y - a.y, b.z - a.z}, e2 = {c.x - a.x, c.y - a.y, c.z - a.z};
                            const GxV3d n = {e1.y * e2.z - e1.z * e2.y, e1.z * e2.x - e1.x * e2.z,
                                             e1.x * e2.y - e1.y * e2.x};
                            const GxV3d mid = {(a.x + b.x + c.x) / 3, (a.y + b.y + c.y) / 3, (a.z + b.z + c.z) / 3};
                            EXPECT_LT(n.x * mid.x + n.y * mid.y + n.z * mid.z, 0.0f) << "triangle " << t;
                        }
                        return atomic;
                    },
                    nullptr);
                GxClumpDestroy(clump);
                order.push_back("clump");
            } else if (info.type == gxID_WORLD) {
                GxWorld* read = GxWorldStreamRead(stream);
                ASSERT_NE(read, nullptr);
                EXPECT_EQ(read->matList.numMaterials, CONTENTLEVELMATERIALS);
                EXPECT_GE(read->boundingBox.sup.x, edge + 100.0f);
                EXPECT_LE(read->boundingBox.inf.z, -edge - 100.0f);
                GxWorldDestroy(read);
                order.push_back("world");
            } else if (info.type == gxID_SPLINE) {
                GxSpline* spline = GxSplineStreamRead(stream);
                ASSERT_NE(spline, nullptr);
                const GxInt32 count = GxSplineGetNumControlPoints(spline);
                EXPECT_GE(count, gxCONTENTLEVELSPAWNPOINTS);
                GxV3d first, last;
                GxSplineGetControlPoint(spline, 0, &first);
                GxSplineGetControlPoint(spline, count - 1, &last);
                GxSplineDestroy(spline);
                // The first point lies off the grid, the last on the centre of a cell 2 to 4 cells inside it.
                const bool off = first.x < -1.0f || first.x > edge || first.z > 1.0f || first.z < -edge;
                EXPECT_TRUE(off) << group;
                const GxReal r = last.x / gxCONTENTLEVELCELLSIZE, c = -last.z / gxCONTENTLEVELCELLSIZE;
                EXPECT_FLOAT_EQ(r, static_cast<GxReal>(static_cast<GxInt32>(r))) << group;
                EXPECT_FLOAT_EQ(c, static_cast<GxReal>(static_cast<GxInt32>(c))) << group;
                const GxReal inside =
                    std::min(std::min(r, c), std::min(gxCONTENTLEVELCELLS - 1 - r, gxCONTENTLEVELCELLS - 1 - c));
                EXPECT_GE(inside, 2.0f) << group;
                EXPECT_LE(inside, 4.0f) << group;
                order.push_back("spline");
            } else if (info.type == gxID_CHUNKGROUPEND) {
                group.clear();
            } else {
                if (info.type == gxID_IMAGEDICTIONARY)
                    order.push_back("images");
                ASSERT_TRUE(GxStreamSkip(stream, info.length));
            }
        }
        GxStreamClose(stream, nullptr);
        const std::vector<std::string> want = {
            "images", "skybox",        "clump",  "objects",      "clump",  "world",        "spawn_1_north",
            "spline", "spawn_1_south", "spline", "spawn_1_east", "spline", "spawn_1_west", "spline"};
        EXPECT_EQ(order, want);
    }
}

TEST_F(LevelFiles, FountainWaterHasItsDescriptionAndFrames)
{
    for (GxInt32 city = 0; city < CONTENTCITIES; city++) {
        SCOPED_TRACE(ContentLevelStem(city));
        GxStream* stream = GxStreamOpen(gxSTREAMFILENAME, gxSTREAMREAD, File(ContentLevelFountainPath(city)).c_str());
        ASSERT_NE(stream, nullptr);
        ASSERT_TRUE(GxStreamFindChunk(stream, gxID_CLUMP, nullptr, nullptr));
        GxClump* clump = GxClumpStreamRead(stream);
        GxStreamClose(stream, nullptr);
        ASSERT_NE(clump, nullptr);
        Tagged tagged;
        GxClumpForAllAtomics(clump, CollectTag, &tagged);
        GxClumpDestroy(clump);
        EXPECT_EQ(tagged.at.count(gxCONTENTLEVELWATERTAG), 1u);

        // The world finds the description by the tag less its last two characters, in the model's ani/ folder.
        const std::string tag = gxCONTENTLEVELWATERTAG;
        const std::string folder = File(ContentLevelFountainPath(city));
        const std::string ani = folder.substr(0, folder.rfind('/') + 1) + "ani/";
        std::ifstream ini(ani + tag.substr(0, tag.size() - 2) + ".ini");
        ASSERT_TRUE(ini.good());
        FerroxAnimIniReader reader;
        std::string line;
        while (std::getline(ini, line))
            reader.Line(line.c_str());
        EXPECT_EQ(reader.FrameCount(), gxCONTENTLEVELWATERFRAMES);
        EXPECT_GT(reader.DelaySeconds(), 0.0f);
        for (GxInt32 k = 0; k < gxCONTENTLEVELWATERFRAMES; k++)
            EXPECT_TRUE(std::filesystem::exists(ani + FerroxAnimFrameName("ANIM_water", k) + ".png")) << k;
    }
}

TEST_F(LevelFiles, LondonLoadsThroughTheWorldWithItsFountainAndWater)
{
    ASSERT_TRUE(GxImageRegisterImageFormat("png", GxImageReadPNG, nullptr));
    // Placeholders name their files from the game's root, as the game runs there.
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(out);
    {
        CFerroxWorld world;
        EXPECT_EQ(world.Create(ContentLevelPath(CONTENTCITYLONDON).c_str(), nullptr), 1);
        ASSERT_NE(world.GetGraphicsWorld(), nullptr);
        EXPECT_NE(world.GetSkyBox(), nullptr);
        EXPECT_EQ(world.GetLights().size(), 2u);
        ASSERT_EQ(world.GetStaticObjects().size(), 1u);
        const GxV3d* at = world.GetStaticObjects().front()->GetPosition();
        ASSERT_NE(at, nullptr);
        EXPECT_GT(at->z, 1.0f);  // on the street in front of the grid
        ASSERT_EQ(world.GetAnimTextures().size(), 1u);
        EXPECT_EQ(world.GetAnimTextures().front()->GetFrameCount(), static_cast<size_t>(gxCONTENTLEVELWATERFRAMES));
        for (GxInt32 k = 0; k < gxCONTENTLEVELWATERFRAMES; k++)
            EXPECT_NE(world.GetAnimTextures().front()->GetFrame(static_cast<size_t>(k)), nullptr) << k;
    }
    std::filesystem::current_path(before);
}

}  // namespace
