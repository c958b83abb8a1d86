// Fuzz target of the asset loader and the model file reader: any graphics stream file loads, groups into
// asset sets, gives objects with shared, cloned and copied models, and is freed without harm.
#include <cstdlib>
#include <memory>
#include <string>

#include "engine/testsupport/fuzz_files.h"
#include "engine/testsupport/plugins.h"
#include "engine/world/asset.h"
#include "engine/world/composite.h"
#include "engine/world/object.h"
#include "gfx/testsupport/fuzz.h"

namespace {

std::string g_input;

void AttachPlugins()
{
    if (!FerroxTestAttachLevelPlugins())
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    if (!GxFuzzStartOnDriver(AttachPlugins))
        std::abort();
    g_input = GxFuzzScratchPath("ferrox_asset_in");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    GxFuzzScratchWrite(g_input, data, size);
    FerroxModelPool models;
    FerroxAnimPool animations;
    CFerroxAssetLoaderHlpr loader;
    loader.SetTarget(&models, &animations, g_input.c_str());
    CFerroxStream<CFerroxAssetLoaderHlpr> stream;
    if (stream.Read(g_input.c_str(), &CFerroxAssetLoaderHlpr::LoadChunk))
        stream.Process(&loader);
    loader.GroupAssets();
    std::vector<std::unique_ptr<CFerroxAssetSet>> sets = loader.TakeAssetSets();
    for (const std::unique_ptr<CFerroxAssetSet>& set : sets) {
        for (int32_t mode : {FERROX_MODEL_SHARED, FERROX_MODEL_CLONE, FERROX_MODEL_COPY}) {
            FerroxObjectDescriptor descriptor = {};
            descriptor.assetSet = set.get();
            descriptor.modelMode = mode;
            CFerroxObject object;
            object.Setup(&descriptor);
            object.PlayAnimation("", 1, 0.0f);
            object.Update(0.1f);
        }
    }
    loader.Release();
    sets.clear();
    models.Release();
    animations.Release();

    // The same bytes as a model file with a table of contents.
    CFerroxComposite model;
    model.Load({g_input.c_str(), g_input.c_str()});
    model.Release();
    GxFuzzClearError();
    return 0;
}
