// Test fixture for objects, models and assets: the software device with the plugins the game attaches, a
// scratch folder per test and run, and builders of tagged clumps and of graphics stream chunks.
#pragma once

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/testsupport/files.h"
#include "engine/world/asset.h"
#include "engine/world/clumpext.h"
#include "engine/world/composite.h"
#include "engine/world/world.h"
#include "gfx/anim/anim.h"
#include "gfx/core/spline.h"
#include "gfx/fx/fx.h"
#include "gfx/testsupport/plugins.h"
#include "gfx/testsupport/software_fixture.h"
#include "gfx/world/collision.h"
#include "gfx/world/lod.h"
#include "gfx/world/userdata.h"
#include "gfx/world/world.h"
#include "gfx/world/world_testing.h"

typedef std::vector<GxUInt8> FerroxBytes;

class FerroxObjectTest : public GxD3D9SoftwareTest {
protected:
    FerroxObjectTest() : GxD3D9SoftwareTest(64, 64) {}
    // The plugins in the order the application attaches them, with texture-coordinate animation.
    void AttachPlugins() override
    {
        ASSERT_TRUE(GxLODAtomicPluginAttach());
        ASSERT_TRUE(GxWorldPluginAttach());
        ASSERT_TRUE(GxTestSectorPluginAttach());
        ASSERT_TRUE(GxAnimPluginAttach());
        ASSERT_TRUE(GxAnimHierarchyPluginAttach());
        ASSERT_TRUE(GxTestSkinPluginAttach());
        ASSERT_TRUE(GxUserDataPluginAttach());
        ASSERT_TRUE(GxSplinePluginAttach());
        ASSERT_EQ(1, AttachClumpExtension());
        // Applying a texture-coordinate animation goes through the material effects.
        ASSERT_TRUE(GxMaterialEffectsPluginAttach());
        ASSERT_TRUE(GxUVAnimPluginAttach());
    }
    void SetUp() override
    {
        GxD3D9SoftwareTest::SetUp();
        if (HasFatalFailure())
            return;
        ASSERT_TRUE(GxTestFileSystemOpen());
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_dir = std::filesystem::temp_directory_path() /
                (std::string("ferrox_") + info->test_suite_name() + "_" + info->name() + "_" + FerroxTestRunTag());
        std::filesystem::remove_all(m_dir);
        std::filesystem::create_directories(m_dir);
    }
    void TearDown() override
    {
        GxFileSystemManagerClose();
        GxD3D9SoftwareTest::TearDown();
        std::error_code ignored;
        std::filesystem::remove_all(m_dir, ignored);
    }
    std::string Path(const std::string& name) const { return (m_dir / name).string(); }
    static void WriteBytes(const std::string& path, const FerroxBytes& bytes)
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }

private:
    std::filesystem::path m_dir;
};

inline void FerroxAppend(FerroxBytes& out, const FerroxBytes& more) { out.insert(out.end(), more.begin(), more.end()); }

inline void FerroxAppendWord(FerroxBytes& out, GxUInt32 word)
{
    for (int i = 0; i < 4; i++)
        out.push_back(static_cast<GxUInt8>(word >> (8 * i)));
}

// A whole chunk: header (type, body size, library stamp) and body.
inline FerroxBytes FerroxChunk(GxUInt32 type, const FerroxBytes& body)
{
    FerroxBytes out;
    FerroxAppendWord(out, type);
    FerroxAppendWord(out, static_cast<GxUInt32>(body.size()));
    FerroxAppendWord(out, GxStreamMakeLibraryStamp(gxLIBRARYVERSION, gxLIBRARYBUILD));
    FerroxAppend(out, body);
    return out;
}

// The chunk that opens a named group: a zero word and the name's string chunk.
inline FerroxBytes FerroxGroupStart(const char* name)
{
    FerroxBytes body;
    FerroxAppendWord(body, 0);
    FerroxAppend(body, GxWorldTestWrite([name](GxStream* s) { return GxStringStreamWrite(name, s) != nullptr; }));
    return FerroxChunk(kFerroxChunkGroupStart, body);
}

inline FerroxBytes FerroxGroupEnd() { return FerroxChunk(kFerroxChunkGroupEnd, {}); }

// An open spline chunk of `count` points along x.
inline FerroxBytes FerroxSplineChunk(const char* name, GxInt32 count)
{
    FerroxBytes body(40, 0);
    std::strncpy(reinterpret_cast<char*>(body.data()), name, 31);
    std::memcpy(body.data() + 32, &count, 4);
    const GxInt32 open = gxSPLINEOPEN;
    std::memcpy(body.data() + 36, &open, 4);
    for (GxInt32 i = 0; i < count; i++) {
        const float xyz[3] = {static_cast<float>(i), 0.0f, 0.0f};
        const GxUInt8* bytes = reinterpret_cast<const GxUInt8*>(xyz);
        body.insert(body.end(), bytes, bytes + sizeof(xyz));
    }
    return FerroxChunk(kFerroxChunkSpline, body);
}

inline FerroxBytes FerroxClumpChunk(GxClump* clump)
{
    return GxWorldTestWrite([clump](GxStream* s) { return GxClumpStreamWrite(clump, s) != nullptr; });
}

// A one-node standard animation of the duration: keys at 0 and at the duration. The caller destroys it.
inline GxAnimation* FerroxTestAnimation(float duration, GxInt32 nodes = 1)
{
    GxAnimation* animation = GxAnimationCreate(gxHANIMSTDKEYFRAMETYPEID, 2 * nodes, 0, duration);
    if (!animation)
        return nullptr;
    GxAnimStdKeyFrame* keys = static_cast<GxAnimStdKeyFrame*>(animation->pFrames);
    for (GxInt32 i = 0; i < 2 * nodes; i++) {
        keys[i] = GxAnimStdKeyFrame{};
        keys[i].q[3] = 1.0f;
        keys[i].time = i < nodes ? 0.0f : duration;
        keys[i].prevFrame = i < nodes ? nullptr : &keys[i - nodes];
    }
    return animation;
}

inline FerroxBytes FerroxAnimationChunk(float duration)
{
    GxAnimation* animation = FerroxTestAnimation(duration);
    FerroxBytes bytes =
        GxWorldTestWrite([animation](GxStream* s) { return animation && GxAnimationStreamWrite(animation, s); });
    if (animation)
        GxAnimationDestroy(animation);
    return bytes;
}

// A clump whose atomics sit on child frames of its root, one per tag (null: a frame without user data),
// each a box of the given half size; translated by `offset` along x per atomic.
inline GxClump* FerroxTaggedClump(const std::vector<const char*>& tags, float size = 1.0f)
{
    GxClump* clump = GxClumpCreate();
    GxFrame* root = GxFrameCreate();
    if (!clump || !root)
        return nullptr;
    GxClumpSetFrame(clump, root);
    GxMaterial* material = GxMaterialCreate();
    for (const char* tag : tags) {
        GxFrame* frame = GxFrameCreate();
        GxAtomic* atomic = GxAtomicCreate();
        GxGeometry* geometry = GxWorldTestBox(material, material, size);
        if (!frame || !atomic || !geometry)
            return nullptr;
        GxFrameAddChild(root, frame);
        if (tag) {
            GxUserDataArray* array = GxFrameAddUserDataArray(frame, "tag", gxUSERDATASTRING, 1);
            GxUserDataArraySetString(array, 0, tag);
        }
        GxAtomicSetFrame(atomic, frame);
        GxAtomicSetGeometry(atomic, geometry, 0);
        GxGeometryDestroy(geometry);
        GxClumpAddAtomic(clump, atomic);
    }
    GxMaterialDestroy(material);
    return clump;
}

// Lines up the atomics of a tagged clump by their tags' order: the n-th tag (from 1) at (n, 0, -3).
inline void FerroxLineUpTags(GxClump* clump, const std::vector<const char*>& tags)
{
    std::vector<std::string> order(tags.begin(), tags.end());
    GxClumpForAllAtomics(
        clump,
        [](GxAtomic* atomic, void* data) {
            const auto* names = static_cast<std::vector<std::string>*>(data);
            GxFrame* frame = static_cast<GxFrame*>(atomic->object.object.parent);
            const std::string tag = GxUserDataArrayGetString(GxFrameGetUserDataArray(frame, 0), 0);
            const auto n = std::find(names->begin(), names->end(), tag) - names->begin() + 1;
            const GxV3d at = {static_cast<float>(n), 0.0f, -3.0f};
            GxFrameTranslate(frame, &at, gxCOMBINEREPLACE);
            return atomic;
        },
        &order);
}

// A world whose test level holds no world chunk: an empty graphics world stands in for it.
template <class World>
class FerroxStandInWorld : public World {
public:
    int LoadFile(const char* fileName) override
    {
        CFerroxWorld::LoadFile(fileName);
        if (!this->m_pWorld) {
            const GxBBox box = {{50, 50, 50}, {-50, -50, -50}};
            this->m_pWorld = GxWorldCreate(&box);
        }
        return this->m_pWorld ? 1 : 0;
    }
};

// A pooled model read from a clump's chunk, as the loader makes one.
inline CFerroxComposite* FerroxModelFromClump(const char* name, GxClump* clump)
{
    const FerroxBytes bytes = FerroxClumpChunk(clump);
    GxStream* stream = GxWorldTestOpen(bytes);
    GxUInt32 length = 0, version = 0;
    auto model = std::make_unique<CFerroxComposite>();
    const FerroxLODSetup setup = {name, stream, nullptr, 0, nullptr, nullptr};
    if (!stream || !GxStreamFindChunk(stream, gxID_CLUMP, &length, &version) || !model->SetupLOD(&setup))
        model.reset();
    if (stream)
        GxStreamClose(stream, nullptr);
    return model.release();
}

inline int FerroxAtomicCount(GxClump* clump) { return clump ? GxClumpGetNumAtomics(clump) : 0; }

// A walking character's model: a body box of half size 0.25 on the root frame and another on a frame of its own
// for each part tag, every atomic drawn and collision-tested; null when it cannot be made.
inline GxClump* FerroxCharacterClump(const std::vector<const char*>& parts)
{
    GxClump* clump = GxClumpCreate();
    GxFrame* root = GxFrameCreate();
    if (!clump || !root)
        return nullptr;
    GxClumpSetFrame(clump, root);
    const auto addBox = [clump](GxFrame* frame) {
        GxMaterial* material = GxMaterialCreate();
        GxGeometry* box = GxWorldTestBox(material, material, 0.25f);
        GxMaterialDestroy(material);
        GxAtomic* atomic = GxAtomicCreate();
        GxAtomicSetFrame(atomic, frame);
        GxAtomicSetGeometry(atomic, box, 0);
        GxGeometryDestroy(box);
        atomic->object.object.flags |= gxATOMICRENDER | gxATOMICCOLLISIONTEST;
        GxClumpAddAtomic(clump, atomic);
    };
    addBox(root);
    for (const char* tag : parts) {
        GxFrame* frame = GxFrameCreate();
        GxFrameAddChild(root, frame);
        GxUserDataArray* array = GxFrameAddUserDataArray(frame, "tag", gxUSERDATASTRING, 1);
        if (!array) {
            GxClumpDestroy(clump);
            return nullptr;
        }
        GxUserDataArraySetString(array, 0, tag);
        addBox(frame);
    }
    return clump;
}

// Pooled models as the object manager holds them, each behind a record in an asset set of its own. Clear, before
// the engine closes, frees them all.
class FerroxTestModelPool {
public:
    // The set of the model `name` read back from the clump, which goes; null without a clump or when the model
    // does not read.
    CFerroxAssetSet* Pool(GxClump* clump, const char* name)
    {
        if (!clump)
            return nullptr;
        CFerroxComposite* source = FerroxModelFromClump(name, clump);
        GxClumpDestroy(clump);
        if (!source)
            return nullptr;
        m_sources.emplace_back(source);
        m_records.push_back(std::make_unique<FerroxModelRecord>(FerroxModelRecord{1, source}));
        m_sets.push_back(std::make_unique<CFerroxAssetSet>());
        m_sets.back()->AddModel(m_records.back().get());
        return m_sets.back().get();
    }
    void Clear()
    {
        m_sources.clear();
        m_sets.clear();
        m_records.clear();
    }

private:
    std::vector<std::unique_ptr<CFerroxComposite>> m_sources;
    std::vector<std::unique_ptr<FerroxModelRecord>> m_records;
    std::vector<std::unique_ptr<CFerroxAssetSet>> m_sets;
};
