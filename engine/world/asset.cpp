// Asset loading: pools, animations, shared holders, asset sets, the chunk walk and the loader's handler.
//
// Sections: pools and animations; shared holders and asset sets; the chunk walk; the loader.
#include "engine/world/asset.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <unordered_set>

#include "engine/data/context.h"
#include "engine/data/convert.h"
#include "engine/data/ptrlist.h"
#include "engine/data/techtree.h"
#include "engine/world/composite.h"
#include "engine/world/spline.h"
#include "gfx/anim/anim.h"
#include "gfx/core/assert.h"
#include "gfx/core/memory.h"
#include "gfx/core/spline.h"
#include "gfx/core/texture.h"
#include "gfx/fx/fx.h"
#include "gfx/world/material.h"

// ---- pools and animations ----

template <typename T>
void CFerroxAssetPool<T>::Release()
{
    // The record is a count and a plain pointer: the pool frees the asset it points to. An asset named twice
    // has a record for each naming, and is freed once.
    std::unordered_set<T*> freed;
    for (std::unique_ptr<CFerroxAssetRecord<T>>& record : m_records) {
        if (freed.insert(record->asset).second)
            delete record->asset;
    }
    m_records.clear();
    Init();
}

void FerroxAssetPoolNoteMatch(const char* name)
{
    FerroxDebugOutput("\nFOUND MATCH in asset pool - ");
    if (name)
        FerroxDebugOutput(name);
    FerroxDebugOutput(" - incrementing ref count\n");
}

template <typename T>
CFerroxAssetRecord<T>* CFerroxAssetPool<T>::AddOrAddRef(CFerroxAssetRecord<T>* record, int append)
{
    if (!record)
        return nullptr;
    if (!append) {
        for (std::unique_ptr<CFerroxAssetRecord<T>>& held : m_records) {
            if (held->asset != record->asset)
                continue;
            FerroxAssetPoolNoteMatch(held->asset ? held->asset->GetName() : nullptr);
            held->refCount++;
            return held.get();
        }
    }
    m_records.emplace_back(record);
    return record;
}

template <typename T>
CFerroxAssetRecord<T>* CFerroxAssetPool<T>::Find(const char* name) const
{
    if (!name)
        return nullptr;
    for (const std::unique_ptr<CFerroxAssetRecord<T>>& held : m_records) {
        const char* heldName = held->asset ? held->asset->GetName() : nullptr;
        if (heldName && std::string(heldName) == name)
            return held.get();
    }
    return nullptr;
}

template class CFerroxAssetPool<CFerroxComposite>;
template class CFerroxAssetPool<CFerroxAnim>;

CFerroxAnim::CFerroxAnim() { Init(); }

CFerroxAnim::~CFerroxAnim() { Release(); }

void CFerroxAnim::Init() { m_pAnimation = nullptr; }

void CFerroxAnim::Release()
{
    if (m_pAnimation)
        GxAnimationDestroy(m_pAnimation);
    m_pAnimation = nullptr;
}

int CFerroxAnim::Read(GxStream* stream)
{
    GxAnimation* animation = stream ? GxAnimationStreamRead(stream) : nullptr;
    if (!animation)
        return 0;
    if (m_pAnimation)
        GxAnimationDestroy(m_pAnimation);
    m_pAnimation = animation;
    return 1;
}

int CFerroxAnim::Load(const FerroxAssetDescriptor& descriptor)
{
    SetName(descriptor.name);
    return descriptor.stream ? Read(descriptor.stream) : 0;
}

// ---- shared resources and asset sets ----

namespace {

// The deleters of the shared dictionaries: a dictionary that goes stops being the current one.
void DestroyTexDictionary(GxTexDictionary* dictionary)
{
    if (GxTexDictionaryGetCurrent() == dictionary)
        GxTexDictionarySetCurrent(nullptr);
    GxTexDictionaryDestroy(dictionary);
}

void DestroyUVAnimDictionary(GxUVAnimDictionary* dictionary)
{
    if (GxUVAnimGetCurrentDictionary() == dictionary)
        GxUVAnimSetCurrentDictionary(nullptr);
    GxUVAnimDictionaryDestroy(dictionary);
}

// Splines with fewer points than this cannot be walked by the game.
const int kMinSplinePoints = 4;

// The running game's technology tree, which keeps the asset sets' lists of technologies up to date; or null.
CFerroxTechTree* GameTechTree() { return g_pFerroxGameContext ? g_pFerroxGameContext->GetTechTree() : nullptr; }

}  // namespace

CFerroxAssetSet::CFerroxAssetSet() { Init(); }

CFerroxAssetSet::~CFerroxAssetSet() { Release(); }

void CFerroxAssetSet::Init()
{
    m_pPtrList = nullptr;
    m_pTexDictionary = nullptr;
    m_pUVAnimDictionary = nullptr;
}

void CFerroxAssetSet::Release()
{
    // The records stay with their pools.
    m_models.clear();
    m_animations.clear();
    m_owned.clear();
    m_values.clear();
    m_pUVAnimDictionary.reset();
    m_pTexDictionary.reset();
    ForgetPtrList();
    Init();
}

void CFerroxAssetSet::AppendList(const std::vector<std::string>& list, int skipFirst)
{
    for (size_t i = skipFirst ? 1 : 0; i < list.size(); i++)
        m_values.push_back(list[i]);
}

void CFerroxAssetSet::AddToPtrList(const std::vector<std::string>& list)
{
    if (!m_pPtrList)
        m_pPtrList = std::make_unique<CFerroxPtrList>();
    for (const std::string& entry : list) {
        unsigned short id = 0;
        if (FromString<unsigned short>(entry, id))
            m_pPtrList->Add(FerroxTechIdToPointer(id));
    }
    if (CFerroxTechTree* tree = GameTechTree())
        tree->AddListener(m_pPtrList.get());
}

void CFerroxAssetSet::AddOwned(std::shared_ptr<CFerroxSpline> spline)
{
    if (spline)
        m_owned.push_back(std::move(spline));
}

void CFerroxAssetSet::SetTexDictionary(std::shared_ptr<GxTexDictionary> dictionary)
{
    m_pTexDictionary = std::move(dictionary);
}

void CFerroxAssetSet::SetUVAnimDictionary(std::shared_ptr<GxUVAnimDictionary> dictionary)
{
    m_pUVAnimDictionary = std::move(dictionary);
}

// The technology tree stops updating the list before it goes.
void CFerroxAssetSet::ForgetPtrList()
{
    CFerroxTechTree* tree = GameTechTree();
    if (m_pPtrList && tree)
        tree->RemoveListener(m_pPtrList.get());
    m_pPtrList.reset();
}

void CFerroxAssetSet::SetPtrList(std::unique_ptr<CFerroxPtrList> list)
{
    ForgetPtrList();
    m_pPtrList = std::move(list);
}

std::vector<CFerroxSpline*> CFerroxAssetSet::GetSplines() const
{
    std::vector<CFerroxSpline*> splines;
    for (const std::shared_ptr<CFerroxSpline>& owned : m_owned)
        splines.push_back(owned.get());
    return splines;
}

// ---- the chunk walk ----

bool FerroxIsHandledChunk(GxUInt32 type)
{
    static const GxUInt32 kHandled[] = {5,  6,  7,  11, 12, 13, 15, 16, 18, 20, 22,
                                        24, 27, 28, 30, 34, 35, 37, 40, 43, 45};
    for (GxUInt32 handled : kHandled) {
        if (handled == type)
            return true;
    }
    return false;
}

CFerroxStreamBase::CFerroxStreamBase() : m_pFile(nullptr), m_pStream(nullptr), m_unread(0) { Init(); }

CFerroxStreamBase::~CFerroxStreamBase() { CloseAll(); }

void CFerroxStreamBase::Init()
{
    m_pFile = nullptr;
    m_pStream = nullptr;
    m_header = GxChunkHeaderInfo{};
    m_unread = 0;
}

void CFerroxStreamBase::Release()
{
    CloseAll();
    CFerroxBase::Release();
}

int CFerroxStreamBase::SkipChunk()
{
    if (m_pStream) {
        const GxUInt32 left = GxStreamBytesLeft(m_pStream);
        return left == 0 || GxStreamSkip(m_pStream, left) ? 1 : 0;
    }
    if (m_unread == 0)
        return 1;
    if (!m_pFile || !GxStreamCanSupply(m_pFile, m_unread) || !GxStreamSkip(m_pFile, m_unread))
        return 0;
    m_unread = 0;
    return 1;
}

const char* CFerroxStreamBase::GetGroupName() const { return m_groups.empty() ? "" : m_groups.front()->name; }

void CFerroxStreamBase::CloseAll()
{
    for (GxNameRecord* record : m_groups)
        GxNameRecordDestroy(record);
    m_groups.clear();
    if (m_pFile)
        GxStreamClose(m_pFile, nullptr);
    m_pFile = nullptr;
    m_pStream = nullptr;
    m_unread = 0;
}

int CFerroxStreamBase::OpenFile(const char* fileName)
{
    CloseAll();
    if (!fileName)
        return 0;
    m_pFile = GxStreamOpen(gxSTREAMFILENAME, gxSTREAMREAD, fileName);
    return m_pFile ? 1 : 0;
}

namespace {

// Reads a chunk's body and opens a stream over it; the caller closes the stream and frees the block.
GxStream* OpenBody(GxStream* file, GxUInt32 length, GxUInt8** block)
{
    *block = GxStreamReadBlock(file, length);
    if (!*block)
        return nullptr;
    GxMemory memory = {*block, length};
    GxStream* body = GxStreamOpen(gxSTREAMMEMORY, gxSTREAMREAD, &memory);
    if (!body) {
        GxFree(*block);
        *block = nullptr;
    }
    return body;
}

}  // namespace

int CFerroxStreamBase::Walk(const std::function<int()>& handler)
{
    if (!m_pFile)
        return 0;
    int whole = 1;
    while (GxStreamBytesLeft(m_pFile) != 0) {
        GxUInt32 type = 0, length = 0, version = 0, build = 0;
        if (!GxStreamReadChunkHeader(m_pFile, &type, &length, &version, &build)) {
            whole = 0;
            break;
        }
        m_header = GxChunkHeaderInfo{type, length, version, build, 0};
        m_unread = length;
        if (type != kFerroxChunkGroupStart && type != kFerroxChunkGroupEnd && !FerroxIsHandledChunk(type)) {
            if (!SkipChunk()) {
                whole = 0;
                break;
            }
            continue;
        }
        // Every handled body is read whole first, so the file stands at the chunk's end whatever is read
        // from it, and no reader can run past the chunk into the next one.
        GxUInt8* block = nullptr;
        GxStream* body = OpenBody(m_pFile, length, &block);
        m_unread = 0;
        if (!body) {
            whole = 0;
            break;
        }
        int go = 1;
        if (type == kFerroxChunkGroupStart) {
            GxNameRecord* record = GxNameRecordStreamRead(body);
            if (record)
                m_groups.insert(m_groups.begin(), record);
        } else if (type == kFerroxChunkGroupEnd) {
            if (!m_groups.empty()) {
                GxNameRecordDestroy(m_groups.front());
                m_groups.erase(m_groups.begin());
            }
        } else {
            m_pStream = body;
            go = handler();
            m_pStream = nullptr;
        }
        GxStreamClose(body, nullptr);
        GxFree(block);
        if (!go) {
            whole = 0;
            break;
        }
    }
    CloseAll();
    return whole;
}

// ---- the loader ----

CFerroxAssetLoaderHlpr::CFerroxAssetLoaderHlpr() : m_pModelPool(nullptr), m_pAnimPool(nullptr) { Init(); }

CFerroxAssetLoaderHlpr::~CFerroxAssetLoaderHlpr() { Release(); }

void CFerroxAssetLoaderHlpr::Init()
{
    m_pTexDictionary = nullptr;
    m_pUVAnimDictionary = nullptr;
    m_loadedCount = 0;
    m_firstModel = 0;
    m_firstAnimation = 0;
    m_firstSpline = 0;
}

void CFerroxAssetLoaderHlpr::Release()
{
    // The records belong to the pools and the sets keep their own holds: only this loader's holds go.
    m_pTexDictionary.reset();
    m_pUVAnimDictionary.reset();
    m_splines.clear();
    m_models.clear();
    m_animations.clear();
    m_assetSets.clear();
    m_setName.clear();
    m_folderName.clear();
    Init();
}

void CFerroxAssetLoaderHlpr::SetTarget(FerroxModelPool* modelPool, FerroxAnimPool* animPool, const char* name)
{
    m_pModelPool = modelPool;
    m_pAnimPool = animPool;
    m_setName = name ? name : "";
    // The name's last folder: the text between its last two slashes.
    m_folderName.clear();
    const size_t last = m_setName.rfind('/');
    if (last != std::string::npos && last > 0) {
        const size_t before = m_setName.rfind('/', last - 1);
        if (before != std::string::npos)
            m_folderName = m_setName.substr(before + 1, last - before - 1);
    }
}

int CFerroxAssetLoaderHlpr::LoadChunk(CFerroxStream<CFerroxAssetLoaderHlpr>* stream)
{
    if (!stream || !stream->GetStream())
        return 0;
    GxStream* body = stream->GetStream();
    switch (stream->GetChunkHeader().type) {
    case kFerroxChunkImageDictionary: {
        m_pTexDictionary.reset();
        GxTexDictionary* dictionary = GxTexDictionaryStreamReadImages(body);
        if (dictionary) {
            m_pTexDictionary = std::shared_ptr<GxTexDictionary>(dictionary, DestroyTexDictionary);
            GxTexDictionarySetCurrent(dictionary);
        }
        return 1;
    }
    case kFerroxChunkUVAnimDictionary: {
        if (GxMaterialGetPluginOffset(gxPLUGINUVANIM) < 0)
            return 1;
        m_pUVAnimDictionary.reset();
        GxUVAnimDictionary* dictionary = GxUVAnimDictionaryStreamRead(body);
        if (dictionary) {
            m_pUVAnimDictionary = std::shared_ptr<GxUVAnimDictionary>(dictionary, DestroyUVAnimDictionary);
            GxUVAnimSetCurrentDictionary(dictionary);
        }
        return 1;
    }
    case kFerroxChunkSpline: {
        GxSpline* read = GxSplineStreamRead(body);
        std::unique_ptr<CFerroxSpline> spline = read ? std::make_unique<CFerroxSpline>() : nullptr;
        if (!spline || !spline->Attach(read, stream->GetGroupName())) {
            if (read)
                GxSplineDestroy(read);
            return 1;
        }
        if (spline->GetPointCount() < kMinSplinePoints) {
            char note[128];
            std::snprintf(note, sizeof(note), "\n\t***** %s has too few Control Points *****\n", spline->GetName());
            FerroxDebugOutput(note);
        }
        m_splines.push_back(std::move(spline));
        return 1;
    }
    case kFerroxChunkClump:
        return LoadModel(stream->GetName(), body);
    case kFerroxChunkAnimation:
        return LoadAnimation(stream->GetGroupName(), body);
    default:
        stream->SkipChunk();
        return 1;
    }
}

int CFerroxAssetLoaderHlpr::LoadModel(const char* name, GxStream* body)
{
    GX_ASSERT(m_pModelPool && name, "the loader has its pools and the stream its name");
    FerroxModelRecord* held = m_pModelPool->Find(name);
    if (held) {
        // A model named twice is read once: the body is dropped and a record of its own points to the model
        // read before. The pool keeps that record too, so that it lives as long as the model.
        m_models.push_back(m_pModelPool->AddOrAddRef(new FerroxModelRecord{1, held->asset}, 1));
        m_loadedCount++;
        return 1;
    }
    auto model = std::make_unique<CFerroxComposite>();
    const FerroxLODSetup setup = {name, body, nullptr, 0, nullptr, nullptr};
    if (!model->SetupLOD(&setup))
        return 1;
    FerroxModelRecord* record = new FerroxModelRecord{1, model.release()};
    m_models.push_back(m_pModelPool->AddOrAddRef(record, 1));
    m_loadedCount++;
    return 1;
}

int CFerroxAssetLoaderHlpr::LoadAnimation(const char* name, GxStream* body)
{
    GX_ASSERT(m_pAnimPool && name, "the loader has its pools and the stream its name");
    FerroxAnimRecord* held = m_pAnimPool->Find(name);
    if (held) {
        m_animations.push_back(m_pAnimPool->AddOrAddRef(new FerroxAnimRecord{1, held->asset}, 1));
        m_loadedCount++;
        return 1;
    }
    auto animation = std::make_unique<CFerroxAnim>();
    if (!animation->Load(FerroxAssetDescriptor{name, body}))
        return 1;
    FerroxAnimRecord* record = new FerroxAnimRecord{1, animation.release()};
    m_animations.push_back(m_pAnimPool->AddOrAddRef(record, 1));
    m_loadedCount++;
    return 1;
}

namespace {

const char* const kLODTag = "LOD";

// The text a level group is known by: between the name's first "/" and "LOD".
std::string LevelGroupKey(const std::string& name)
{
    const size_t lod = name.find(kLODTag);
    const size_t slash = name.find('/');
    const size_t start = slash != std::string::npos && slash < lod ? slash + 1 : 0;
    return name.substr(start, lod - start);
}

std::string ModelName(const FerroxModelRecord* record)
{
    const char* name = record->asset ? record->asset->GetName() : nullptr;
    return name ? name : "";
}

}  // namespace

void CFerroxAssetLoaderHlpr::GroupAssets()
{
    std::vector<FerroxModelRecord*> single;
    std::vector<std::vector<FerroxModelRecord*>> levels;
    for (size_t i = m_firstModel; i < m_models.size(); i++) {
        FerroxModelRecord* record = m_models[i];
        const std::string name = ModelName(record);
        if (name.find(kLODTag) == std::string::npos) {
            single.push_back(record);
            continue;
        }
        const std::string key = LevelGroupKey(name);
        bool joined = false;
        for (std::vector<FerroxModelRecord*>& group : levels) {
            if (ModelName(group.front()).find(key) != std::string::npos) {
                group.push_back(record);
                joined = true;
                break;
            }
        }
        if (!joined)
            levels.push_back({record});
    }
    // Without animations the stand-alone models make one set and level groups none (their models stay in
    // the pool); with animations each stand-alone model and each level group makes a set.
    std::vector<std::vector<FerroxModelRecord*>> sets;
    if (m_firstAnimation == m_animations.size()) {
        sets.push_back(single);
    } else {
        for (FerroxModelRecord* record : single)
            sets.push_back({record});
        for (const std::vector<FerroxModelRecord*>& group : levels)
            sets.push_back(group);
    }

    m_assetSets.clear();
    for (const std::vector<FerroxModelRecord*>& models : sets) {
        auto set = std::make_unique<CFerroxAssetSet>();
        for (FerroxModelRecord* record : models)
            set->AddModel(record);
        for (size_t i = m_firstAnimation; i < m_animations.size(); i++)
            set->AddAnimation(m_animations[i]);
        for (size_t i = m_firstSpline; i < m_splines.size(); i++)
            set->AddOwned(m_splines[i]);
        set->SetPtrList(std::make_unique<CFerroxPtrList>());
        set->SetTexDictionary(m_pTexDictionary);
        set->SetUVAnimDictionary(m_pUVAnimDictionary);
        m_assetSets.push_back(std::move(set));
    }
    m_firstModel = m_models.size();
    m_firstAnimation = m_animations.size();
    m_firstSpline = m_splines.size();
}
