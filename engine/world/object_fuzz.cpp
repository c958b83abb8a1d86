// Fuzz target of saved world objects: the input's first line is an object's position-and-yaw line and the rest a
// graphics stream file whose asset sets give the objects their models and animations. Each object loads the
// line, saves its state, and an object loaded from that state saves the same text again; then it is animated,
// drawn, turned and its parts chosen, and everything is freed without harm.
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "engine/testsupport/fuzz_files.h"
#include "engine/testsupport/plugins.h"
#include "engine/world/asset.h"
#include "engine/world/composite.h"
#include "engine/world/object.h"
#include "gfx/testsupport/fuzz.h"

namespace {

// Every variant of a part numbered 1 to 3.
constexpr int kVariants = 4;
const GxV3d kLookAt = {3.0f, 0.0f, 4.0f};

std::string g_assets;
std::string g_line;
std::string g_saved;

// The factory whose name objects write as their second line.
class Factory : public CFerroxBase {
public:
    Factory() { SetName("fuzz_factory"); }
};

void AttachPlugins()
{
    if (!FerroxTestAttachLevelPlugins())
        std::abort();
}

GxMaterial* CountMaterial(GxMaterial* material, void* data)
{
    ++*static_cast<int*>(data);
    return material;
}

// An object of the set loaded from the state line in `path`, and its saved state.
std::string LoadAndSave(const FerroxObjectDescriptor& descriptor, const std::string& path)
{
    CFerroxIOObject object;
    object.Setup(&descriptor);
    CFerroxTagFile line;
    if (line.Open(path.c_str(), 1) != 0)
        std::abort();
    object.Load(&line);
    line.Close();
    return FerroxFuzzSavedText(g_saved, nullptr, [&](CFerroxFile* file) {
        object.Save(file);
        return true;
    });
}

// The saved state's third line, the one Load reads, written as a file of its own.
void WriteStateLine(const std::string& saved)
{
    const size_t second = saved.find('\n', saved.find('\n') + 1);
    const std::string state = saved.substr(second + 1);
    GxFuzzScratchWrite(g_line, reinterpret_cast<const GxUInt8*>(state.data()), state.size());
}

void Exercise(const FerroxObjectDescriptor& descriptor)
{
    CFerroxObject object;
    object.Setup(&descriptor);
    object.PlayAnimation("", 0, 0.0f);
    object.Update(0.1f);
    object.Render();
    object.RestartAnimation();
    object.FaceTowards(&kLookAt);
    object.DistanceSquaredTo(&kLookAt);
    object.RotateYaw(nullptr, 350.0f, 1);
    object.ApplyYaw();
    int materials = 0;
    FerroxPartData part = {"", nullptr, CountMaterial, &materials};
    object.ChooseRandomPart("", kVariants, &part);
    FerroxPartData named = {"", nullptr, CountMaterial, &materials};
    object.ApplyPartMaterials(&named);
    std::vector<GxFrame*> frames;
    object.AttachTo(&frames);
    object.DisableCollision();
    object.DisableRender();
    object.PlayAnimation("a", 1, 1.0f);
    object.Update(2.0f);
    object.Render();
}

void ExerciseSet(CFerroxAssetSet* set, Factory* factory)
{
    for (int32_t mode : {FERROX_MODEL_SHARED, FERROX_MODEL_CLONE}) {
        FerroxObjectDescriptor descriptor = {};
        descriptor.assetSet = set;
        descriptor.factory = factory;
        descriptor.modelMode = mode;
        // A saved state, loaded, saves the same text again. Its first load may change it once: the position is
        // added to the zero a turn leaves, which turns -0 into 0 and a subnormal into 0 under flush to zero.
        WriteStateLine(LoadAndSave(descriptor, g_line));
        const std::string loaded = LoadAndSave(descriptor, g_line);
        WriteStateLine(loaded);
        if (LoadAndSave(descriptor, g_line) != loaded)
            std::abort();
        Exercise(descriptor);
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    if (!GxFuzzStartOnDriver(AttachPlugins))
        std::abort();
    g_assets = GxFuzzScratchPath("ferrox_object_assets");
    g_line = GxFuzzScratchPath("ferrox_object_line");
    g_saved = GxFuzzScratchPath("ferrox_object_saved");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);
    const size_t end = input.find('\n');
    const size_t assets = end == std::string::npos ? size : end + 1;
    GxFuzzScratchWrite(g_line, data, assets);
    GxFuzzScratchWrite(g_assets, data + assets, size - assets);

    FerroxModelPool models;
    FerroxAnimPool animations;
    CFerroxAssetLoaderHlpr loader;
    loader.SetTarget(&models, &animations, g_assets.c_str());
    CFerroxStream<CFerroxAssetLoaderHlpr> stream;
    if (stream.Read(g_assets.c_str(), &CFerroxAssetLoaderHlpr::LoadChunk))
        stream.Process(&loader);
    loader.GroupAssets();
    std::vector<std::unique_ptr<CFerroxAssetSet>> sets = loader.TakeAssetSets();
    // Without a set, an object without a model.
    if (sets.empty())
        sets.push_back(std::make_unique<CFerroxAssetSet>());
    Factory factory;
    for (const std::unique_ptr<CFerroxAssetSet>& set : sets)
        ExerciseSet(set.get(), &factory);
    loader.Release();
    sets.clear();
    models.Release();
    animations.Release();
    GxFuzzClearError();
    return 0;
}
