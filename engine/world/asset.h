// Asset loading: graphics stream files read chunk by chunk, reference-counted pools of shared models and
// animations, and the asset sets that hand a file's models to the objects made from it.
//
// Ownership: a pool owns every record it holds and the asset in it, and frees them all when it is released,
// whatever their counts (the counts are bookkeeping for the objects that share an asset); an asset named
// twice has two records and is freed once. A loader's record
// lists only point into the pools. Texture dictionaries, animation dictionaries and splines that a file
// gives several asset sets are held by shared_ptr and freed when their last holder lets go.
// An asset set owns only its parameter values and its technology list. One thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/data/root.h"
#include "gfx/core/stream.h"

struct GxAnimation;
struct GxTexDictionary;
struct GxUVAnimDictionary;
class CFerroxComposite;
class CFerroxSpline;
class CFerroxPtrList;

// Chunk types the asset stream acts on.
constexpr GxUInt32 kFerroxChunkSpline = 12;
constexpr GxUInt32 kFerroxChunkClump = 16;
constexpr GxUInt32 kFerroxChunkAnimation = 27;
constexpr GxUInt32 kFerroxChunkTexDictionary = 22;
constexpr GxUInt32 kFerroxChunkImageDictionary = 35;
constexpr GxUInt32 kFerroxChunkTOC = 36;
constexpr GxUInt32 kFerroxChunkGroupStart = 41;
constexpr GxUInt32 kFerroxChunkGroupEnd = 42;
constexpr GxUInt32 kFerroxChunkUVAnimDictionary = 43;

// The unit of sharing: a count followed by the asset. Made with count 1.
template <typename T>
struct CFerroxAssetRecord {
    int32_t refCount;
    T* asset;
};

// What an asset's Load reads: its name and, when it has one, the stream holding its chunk body.
struct FerroxAssetDescriptor {
    const char* name;
    GxStream* stream;
};

// A keyframe animation under a name.
class CFerroxAnim : public CFerroxBase {
public:
    CFerroxAnim();
    void Init() override;
    void Release() override;
    ~CFerroxAnim() override;

    // Reads an animation chunk body; 1 when it was read.
    virtual int Read(GxStream* stream);
    // Virtual slot 7, between Read and Load: reserved, does nothing.
    virtual void ReservedSlot7() {}
    virtual int Load(const FerroxAssetDescriptor& descriptor);

    GxAnimation* GetAnimation() const { return m_pAnimation; }

private:
    GxAnimation* m_pAnimation;
};

typedef CFerroxAssetRecord<CFerroxComposite> FerroxModelRecord;
typedef CFerroxAssetRecord<CFerroxAnim> FerroxAnimRecord;

// Shared assets of one kind by name; see the ownership rules above.
template <typename T>
class CFerroxAssetPool : public CFerroxBase {
public:
    CFerroxAssetPool() { Init(); }
    void Init() override { m_records.clear(); }
    void Release() override;
    ~CFerroxAssetPool() override { Release(); }

    // append non-zero: the record joins the pool. Otherwise a record already holding the same asset gets
    // one more count and the given record is not stored (the caller still owns it); with none it joins and
    // the pool owns it from then on.
    // Returns the record the pool holds for the asset.
    CFerroxAssetRecord<T>* AddOrAddRef(CFerroxAssetRecord<T>* record, int append);
    // The first record whose asset is named exactly `name`, or null.
    CFerroxAssetRecord<T>* Find(const char* name) const;
    size_t GetCount() const { return m_records.size(); }
    CFerroxAssetRecord<T>* GetRecord(size_t index) const
    {
        return index < m_records.size() ? m_records[index].get() : nullptr;
    }

private:
    std::vector<std::unique_ptr<CFerroxAssetRecord<T>>> m_records;
};

typedef CFerroxAssetPool<CFerroxComposite> FerroxModelPool;
typedef CFerroxAssetPool<CFerroxAnim> FerroxAnimPool;

// What one kind of object is made from: the models and animations (records in the pools), the splines and
// dictionaries of the file, and the template's parameter values and technology prerequisites.
class CFerroxAssetSet {
public:
    CFerroxAssetSet();
    virtual void Init();
    virtual void Release();
    virtual ~CFerroxAssetSet();

    // Appends the list's entries (without the first when skipFirst is non-zero) to the parameter values.
    void AppendList(const std::vector<std::string>& list, int skipFirst);
    // Adds each entry as a technology id to the prerequisite list and registers the list with the game's
    // technology tree, which strikes ids out as they are gained.
    void AddToPtrList(const std::vector<std::string>& list);

    // Records are not counted here (objects count them); the splines and dictionaries are shared.
    void AddModel(FerroxModelRecord* record) { m_models.push_back(record); }
    void AddAnimation(FerroxAnimRecord* record) { m_animations.push_back(record); }
    void AddOwned(std::shared_ptr<CFerroxSpline> spline);
    void SetTexDictionary(std::shared_ptr<GxTexDictionary> dictionary);
    void SetUVAnimDictionary(std::shared_ptr<GxUVAnimDictionary> dictionary);
    void SetPtrList(std::unique_ptr<CFerroxPtrList> list);

    const std::vector<FerroxAnimRecord*>& GetAnimations() const { return m_animations; }
    const std::vector<FerroxModelRecord*>& GetModels() const { return m_models; }
    // The splines of the file the set came from.
    std::vector<CFerroxSpline*> GetSplines() const;
    std::vector<std::string>& GetValues() { return m_values; }
    CFerroxPtrList* GetPtrList() const { return m_pPtrList.get(); }
    GxTexDictionary* GetTexDictionary() const { return m_pTexDictionary.get(); }
    GxUVAnimDictionary* GetUVAnimDictionary() const { return m_pUVAnimDictionary.get(); }

private:
    void ForgetPtrList();
    std::vector<FerroxAnimRecord*> m_animations;
    std::vector<FerroxModelRecord*> m_models;
    std::vector<std::shared_ptr<CFerroxSpline>> m_owned;
    std::vector<std::string> m_values;
    std::unique_ptr<CFerroxPtrList> m_pPtrList;
    std::shared_ptr<GxTexDictionary> m_pTexDictionary;
    std::shared_ptr<GxUVAnimDictionary> m_pUVAnimDictionary;
};

// The chunk walk shared by every kind of loader; CFerroxStream below binds it to the loader's handler.
class CFerroxStreamBase : public CFerroxBase {
public:
    CFerroxStreamBase();
    void Init() override;
    void Release() override;
    ~CFerroxStreamBase() override;

    // Skips what is left of the current chunk: inside a handler the rest of its body, between a chunk's header
    // and its body the body in the file. 1 when done (nothing left counts), 0 when the file ends first.
    virtual int SkipChunk();

    // The stream a handler reads the current chunk's body from: it holds that body and nothing else.
    GxStream* GetStream() const { return m_pStream; }
    const GxChunkHeaderInfo& GetChunkHeader() const { return m_header; }
    // Name of the innermost open chunk group; empty outside every group.
    const char* GetGroupName() const;
    size_t GetGroupCount() const { return m_groups.size(); }

protected:
    // Opens the file; non-zero when it opened.
    int OpenFile(const char* fileName);
    // Reads the chunks until none is left or the handler returns 0, then closes the file. The handler sees
    // each chunk of a handled type with the body in GetStream(); the file then stands at the chunk's end
    // whatever the handler read. 1 when the walk ended at the end of a whole file.
    int Walk(const std::function<int()>& handler);

private:
    void CloseAll();

    GxStream* m_pFile;
    GxStream* m_pStream;
    GxChunkHeaderInfo m_header;
    GxUInt32 m_unread;                    // bytes of the current chunk's body still in the file
    std::vector<GxNameRecord*> m_groups;  // innermost first
};

// True for the chunk types the walk hands to the handler.
bool FerroxIsHandledChunk(GxUInt32 type);

template <typename T>
class CFerroxStream : public CFerroxStreamBase {
public:
    typedef int (T::*Handler)(CFerroxStream<T>* stream);

    CFerroxStream() : m_handler(nullptr) {}
    virtual int Process(T* loader)
    {
        if (!loader || !m_handler)
            return 0;
        return Walk([this, loader]() { return (loader->*m_handler)(this); });
    }
    // Names the stream after the file and opens it; non-zero when it opened.
    virtual int Read(const char* fileName, Handler handler)
    {
        SetName(fileName);
        m_handler = handler;
        return OpenFile(fileName);
    }

private:
    Handler m_handler;
};

// Receives the chunks of one or more files and groups each file's assets into asset sets.
class CFerroxAssetLoaderHlpr {
public:
    CFerroxAssetLoaderHlpr();
    virtual void Init();
    virtual void Release();
    virtual ~CFerroxAssetLoaderHlpr();

    // The pools to share through and the name of the set being loaded.
    void SetTarget(FerroxModelPool* modelPool, FerroxAnimPool* animPool, const char* name);
    // The chunk handler: 1 to go on with the next chunk.
    int LoadChunk(CFerroxStream<CFerroxAssetLoaderHlpr>* stream);
    // Builds asset sets from what was loaded since the last grouping; they replace the sets not taken.
    void GroupAssets();
    // Hands the grouped sets over, leaving none.
    std::vector<std::unique_ptr<CFerroxAssetSet>> TakeAssetSets() { return std::move(m_assetSets); }
    const std::vector<FerroxModelRecord*>& GetModels() const { return m_models; }
    const std::vector<FerroxAnimRecord*>& GetAnimations() const { return m_animations; }
    const std::vector<std::shared_ptr<CFerroxSpline>>& GetSplines() const { return m_splines; }
    GxTexDictionary* GetTexDictionary() const { return m_pTexDictionary.get(); }
    GxUVAnimDictionary* GetUVAnimDictionary() const { return m_pUVAnimDictionary.get(); }
    const std::string& GetSetName() const { return m_setName; }
    const std::string& GetFolderName() const { return m_folderName; }
    int32_t GetLoadedCount() const { return m_loadedCount; }

private:
    int LoadModel(const char* name, GxStream* body);
    int LoadAnimation(const char* name, GxStream* body);

    std::vector<FerroxModelRecord*> m_models;
    std::vector<FerroxAnimRecord*> m_animations;
    std::vector<std::shared_ptr<CFerroxSpline>> m_splines;
    FerroxModelPool* m_pModelPool;
    FerroxAnimPool* m_pAnimPool;
    std::shared_ptr<GxTexDictionary> m_pTexDictionary;
    std::shared_ptr<GxUVAnimDictionary> m_pUVAnimDictionary;
    std::string m_setName;
    std::string m_folderName;
    int32_t m_loadedCount;
    std::vector<std::unique_ptr<CFerroxAssetSet>> m_assetSets;
    // Where the assets of the file being grouped next begin in the three lists.
    size_t m_firstModel;
    size_t m_firstAnimation;
    size_t m_firstSpline;
};

// The two pools are built once, in asset.cpp, where both asset classes are complete.
extern template class CFerroxAssetPool<CFerroxComposite>;
extern template class CFerroxAssetPool<CFerroxAnim>;
