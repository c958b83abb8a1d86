// Fuzz target of composite models: any model file loads through its table of contents or loads nothing; a loaded
// model finds each part by its tag, shows, tints, scales and moves them, and is copied, cloned and made into
// levels of detail. The same bytes give a model from their first clump chunk and dictionaries from their first
// chunk. Everything is freed without harm.
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/testsupport/fuzz_files.h"
#include "engine/testsupport/plugins.h"
#include "engine/world/asset.h"
#include "engine/world/clump_local.h"
#include "engine/world/composite.h"
#include "gfx/core/image.h"
#include "gfx/core/texture.h"
#include "gfx/testsupport/fuzz.h"

namespace {

// Collision test and render flags, as objects show and hide parts.
constexpr GxUInt8 kPartFlags = 0x05;
const GxRGBA kTint = {200, 100, 50, 255};
const FerroxScaleRecord kScale = {2.0f, 0.5f, 1.0f, 2.0f};
const GxV3d kStep = {1.0f, 0.0f, -2.0f};
const GxV3d kUp = {0.0f, 1.0f, 0.0f};

std::string g_input;
GxTexDictionary* g_startDictionary = nullptr;

void AttachPlugins()
{
    if (!FerroxTestAttachLevelPlugins())
        std::abort();
}

std::string TagText(GxAtomic* atomic)
{
    const char* tag = FerroxFrameTag(GxFramedObjectGetFrame(&atomic->object));
    return tag ? tag : "";
}

// Each atomic's tag finds an atomic of that tag; shown by its tag, a part keeps the flags it was given.
void CheckParts(CFerroxComposite& model)
{
    std::vector<GxAtomic*> atomics;
    FerroxForEachAtomic(model.GetClump(), [&](GxAtomic* atomic) { atomics.push_back(atomic); });
    for (GxAtomic* atomic : atomics) {
        const std::string tag = TagText(atomic);
        GxAtomic* found = model.FindPart(tag.c_str());
        if (!found || TagText(found) != tag)
            std::abort();
        model.ShowPartVariant(tag.c_str(), kPartFlags, 1);
    }
    model.ShowPartVariant("", kPartFlags, 0);
    for (GxAtomic* atomic : atomics) {
        const bool tagged = FerroxFrameTag(GxFramedObjectGetFrame(&atomic->object)) != nullptr;
        if (tagged && (atomic->object.object.flags & kPartFlags) != kPartFlags)
            std::abort();
    }
}

void Exercise(CFerroxComposite& model)
{
    CheckParts(model);
    const std::vector<FerroxTint> table = {{"", kTint}, {"skin", kTint}};
    model.TintMaterials(table, nullptr, nullptr);
    model.TintMaterials({}, &kTint, model.FindPart(""));
    model.SetMaterialColour(&kTint);
    const FerroxGeometryFlags flags = {0x40};
    model.OrGeometryFlags(&flags);
    model.ScaleGeometry(&kScale);
    std::vector<GxFrame*> frames;
    model.AttachTo(&frames);
    model.AttachTo(&frames, "");
    model.AdvanceAnimation(0.1f);
    model.Translate(&kStep, 0);
    model.Rotate(&kUp, 30.0f, 1);
    model.GetPosition();
    model.GetWorldPosition();
    if (GxAtomic* first = model.FindPart(""))
        CFerroxComposite::LODSelect(first);
}

// Copies (shared geometry, then own), and levels of detail built from the model and its two copies.
void ExerciseCopies(CFerroxComposite& model)
{
    model.SetName("fuzz");
    FerroxModelRecord source = {1, &model};
    const std::vector<FerroxModelRecord*> one = {&source};
    CFerroxComposite clone;
    const FerroxLODSetup cloneSetup = {"fuzz_LOD_1", nullptr, &one, 1, nullptr, nullptr};
    clone.SetupLOD(&cloneSetup);
    CFerroxComposite copy;
    const FerroxLODSetup copySetup = {"fuzz_LOD_2", nullptr, &one, 0, nullptr, nullptr};
    copy.SetupLOD(&copySetup);
    // A clump that was read writes itself out and reads back, so a full copy always has one.
    if (!clone.GetClump() || !copy.GetClump() ||
        GxClumpGetNumAtomics(copy.GetClump()) != GxClumpGetNumAtomics(model.GetClump()))
        std::abort();
    Exercise(copy);

    model.SetName("fuzz_LOD_0");
    FerroxModelRecord first = {1, &clone};
    FerroxModelRecord second = {1, &copy};
    const std::vector<FerroxModelRecord*> levels = {&source, &first, &second};
    for (int32_t shared : {0, 1}) {
        CFerroxComposite lod;
        const FerroxLODSetup lodSetup = {"fuzz_lod", nullptr, &levels, shared, nullptr, nullptr};
        lod.SetupLOD(&lodSetup);
        lod.AdvanceAnimation(0.1f);
    }
}

// The first clump chunk of the bytes, read as a pooled model is.
void ExerciseClumpChunk(const uint8_t* data, size_t size)
{
    GxMemory memory = {const_cast<GxUInt8*>(data), static_cast<GxUInt32>(size)};
    GxStream* stream = GxStreamOpen(gxSTREAMMEMORY, gxSTREAMREAD, &memory);
    if (!stream)
        return;
    GxUInt32 length = 0, version = 0;
    if (GxStreamFindChunk(stream, gxID_CLUMP, &length, &version)) {
        CFerroxComposite model;
        const FerroxLODSetup setup = {"chunk", stream, nullptr, 0, nullptr, nullptr};
        if (model.SetupLOD(&setup) != (model.GetClump() ? 1 : 0))
            std::abort();
        Exercise(model);
    }
    GxStreamClose(stream, nullptr);
}

// A model made its dictionaries current and destroyed them with itself: none of them may stay current.
void CheckNoDictionaryLeftCurrent()
{
    GxTexDictionary* current = GxTexDictionaryGetCurrent();
    if (current && current != g_startDictionary)
        std::abort();
    GxTexDictionarySetCurrent(g_startDictionary);
}

// The first chunk of the bytes as each kind of dictionary; what reads is the model's and goes with it.
void ExerciseDictionaries(const uint8_t* data, size_t size)
{
    for (int images : {0, 1}) {
        GxMemory memory = {const_cast<GxUInt8*>(data), static_cast<GxUInt32>(size)};
        GxStream* stream = GxStreamOpen(gxSTREAMMEMORY, gxSTREAMREAD, &memory);
        if (!stream)
            return;
        CFerroxComposite model;
        if (images)
            model.ReadImageDictionary(stream);
        else
            model.ReadTexDictionary(stream);
        GxStreamClose(stream, nullptr);
    }
    CheckNoDictionaryLeftCurrent();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    if (!GxFuzzStartOnDriver(AttachPlugins))
        std::abort();
    const std::filesystem::path folder = GxFuzzScratchPath("ferrox_composite");
    std::filesystem::create_directories(folder);
    g_input = (folder / "model.gxs").string();
    g_startDictionary = GxTexDictionaryGetCurrent();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    GxFuzzScratchWrite(g_input, data, size);
    {
        CFerroxComposite model;
        if (model.Load({g_input.c_str(), g_input.c_str()}) != (model.GetClump() ? 1 : 0))
            std::abort();
        if (model.GetClump()) {
            Exercise(model);
            ExerciseCopies(model);
        }
    }
    CheckNoDictionaryLeftCurrent();
    ExerciseClumpChunk(data, size);
    ExerciseDictionaries(data, size);
    GxImageSetPath("");
    GxFuzzClearError();
    return 0;
}
