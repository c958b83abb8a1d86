// Technology tree: categories of technologies developed in shared game time, with completion callbacks and listeners.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/data/ptrlist.h"
#include "engine/data/root.h"

class CFerroxTagTree;
class CFerroxFile;
class CFerroxTagFile;

enum FerroxTechState {
    FERROX_TECH_WAITING = 1,
    FERROX_TECH_DEVELOPING = 2,
    FERROX_TECH_COMPLETE = 3,
};

struct FerroxTechEntry {
    uint16_t id;
    std::string name;
    uint16_t duration;
    uint16_t progress;
    uint16_t extra;
    int32_t state;
    std::unique_ptr<CFerroxPtrList> prerequisites;  // ids as pointer-sized integers
};

struct FerroxTechCategory {
    std::string name;
    std::vector<std::unique_ptr<FerroxTechEntry>> entries;
};

typedef void (*FerroxTechUnlockCallback)(uint16_t id);

// Prerequisite ids travel through the pointer lists as integers.
inline void* FerroxTechIdToPointer(uint16_t id) { return reinterpret_cast<void*>(static_cast<uintptr_t>(id)); }

class CFerroxTechTree : public CFerroxBase {
public:
    CFerroxTechTree();
    void Init() override;
    void Release() override;
    ~CFerroxTechTree() override;

    // A waiting entry with every number 0 and no prerequisites.
    virtual std::unique_ptr<FerroxTechEntry> CreateEntry();
    virtual std::unique_ptr<FerroxTechCategory> CreateCategory();
    // Lists of waiting technology ids; each is told of completions and refilled at Reset until removed (a list
    // that goes away is removed first, or the tree would reach it freed).
    virtual void AddListener(CFerroxPtrList* listener);
    void RemoveListener(CFerroxPtrList* listener);
    virtual void Reset();
    // Reads the "<TECHTREE>" section of an open tag file; 1 when the section was found.
    virtual int Load(CFerroxTagFile* file);
    // Writes the section; 0 when a write to the file has failed.
    virtual int Save(CFerroxFile* file);
    virtual FerroxTechEntry* FindEntry(uint16_t id);
    // Puts the entry into development whatever its state; 1. The caller offers an entry only when it is waiting
    // with no prerequisites left.
    virtual int Activate(FerroxTechEntry* entry);
    virtual int LoadTechnologies(CFerroxTagTree* tree, FerroxTechUnlockCallback callback);
    virtual void Update(float dt);
    virtual uint16_t GetCategoryCount();

    const std::vector<std::unique_ptr<FerroxTechCategory>>& GetCategories() const { return m_categories; }
    const std::vector<FerroxTechEntry*>& GetActive() const { return m_active; }
    const std::vector<FerroxTechEntry*>& GetCompleted() const { return m_completed; }
    int32_t GetActiveCount() const { return m_activeCount; }

private:
    void ReadCategory(CFerroxTagTree* tree);
    void ReadEntry(CFerroxTagTree* tree, FerroxTechCategory* category);
    // 0 when the entry is already complete.
    int Complete(FerroxTechEntry* entry);
    void FreeCategories();

    std::vector<std::unique_ptr<FerroxTechCategory>> m_categories;
    uint16_t m_categoryCount;
    std::vector<FerroxTechEntry*> m_active;
    std::vector<FerroxTechEntry*> m_completed;
    std::vector<CFerroxPtrList*> m_listeners;
    int32_t m_activeCount;
    uint16_t m_seconds;
    float m_time;
    FerroxTechUnlockCallback m_unlockCallback;
};
