// Test support for the object manager: objects that say which list they belong to, what kind they are and
// where their entrance is, a factory of them, the class hooks that read them and a floor seam over a map.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "engine/data/file.h"
#include "engine/navigation/blockgrid.h"
#include "engine/world/object.h"
#include "game/world/objectmgr.h"

struct TestObjectSpec {
    ObjectListKind list = OBJECT_LIST_KIND_COUNT;  // none
    int32_t kind = 0;
    int32_t cell = 0;
    int available = 1;
    int dirty = 0;
    std::string tag;
};

class TestObject;
typedef void (*TestObjectUpdate)(TestObject* object);

// Every test object's destructor counts here, and clean-ups and visible floors are recorded.
struct TestObjectLog {
    int deleted = 0;
    std::vector<std::string> cleaned;
    std::vector<std::pair<std::string, int32_t>> visibleFloors;
    std::vector<std::string> effects;
};

TestObjectLog& TestLog();

class TestObject : public CFerroxIOObject {
public:
    explicit TestObject(const TestObjectSpec& objectSpec) : spec(objectSpec) {}
    ~TestObject() override { TestLog().deleted++; }
    void Update(float) override
    {
        if (onUpdate)
            onUpdate(this);
    }
    int Save(CFerroxFile* file) override
    {
        file->WriteLine(spec.tag + "\r\n");
        return 0;
    }
    TestObjectSpec spec;
    TestObjectUpdate onUpdate = nullptr;
    int placed = 1;
};

class TestObjectFactory : public CFerroxObjectFactory {
public:
    std::unique_ptr<CFerroxObject> CreateObject(const FerroxObjectDescriptor* descriptor) override
    {
        lastFloorObject = descriptor ? descriptor->floorObject : nullptr;
        lastFactory = descriptor ? descriptor->factory : nullptr;
        return std::make_unique<TestObject>(next);
    }
    TestObjectSpec next;
    void* lastFloorObject = nullptr;
    CFerroxBase* lastFactory = nullptr;
};

template <int K>
int TestIsOfKind(CFerroxObject* object)
{
    TestObject* test = dynamic_cast<TestObject*>(object);
    return test && test->spec.list == K ? 1 : 0;
}

inline TestObject* AsTest(CFerroxObject* object) { return dynamic_cast<TestObject*>(object); }

inline ObjectClassHooks TestClassHooks()
{
    ObjectClassHooks hooks = {};
    hooks.isOfKind[OBJECT_LIST_SHOPS] = &TestIsOfKind<OBJECT_LIST_SHOPS>;
    hooks.isOfKind[OBJECT_LIST_STAIRS] = &TestIsOfKind<OBJECT_LIST_STAIRS>;
    hooks.isOfKind[OBJECT_LIST_DOORS] = &TestIsOfKind<OBJECT_LIST_DOORS>;
    hooks.isOfKind[OBJECT_LIST_SHOPPERS] = &TestIsOfKind<OBJECT_LIST_SHOPPERS>;
    hooks.isOfKind[OBJECT_LIST_CRIMINALS] = &TestIsOfKind<OBJECT_LIST_CRIMINALS>;
    hooks.isOfKind[OBJECT_LIST_CLEANERS] = &TestIsOfKind<OBJECT_LIST_CLEANERS>;
    hooks.isOfKind[OBJECT_LIST_MAINTENANCE] = &TestIsOfKind<OBJECT_LIST_MAINTENANCE>;
    hooks.isOfKind[OBJECT_LIST_SECURITY] = &TestIsOfKind<OBJECT_LIST_SECURITY>;
    hooks.isOfKind[OBJECT_LIST_USABLE] = &TestIsOfKind<OBJECT_LIST_USABLE>;
    hooks.isOfKind[OBJECT_LIST_SCALABLE] = &TestIsOfKind<OBJECT_LIST_SCALABLE>;
    hooks.isOfKind[OBJECT_LIST_SCENERY] = &TestIsOfKind<OBJECT_LIST_SCENERY>;
    hooks.isAvailable = [](CFerroxObject* object, CFerroxBlockGrid*) { return AsTest(object)->spec.available; };
    hooks.isDirty = [](CFerroxObject* object, CFerroxBlockGrid*, const GxV3d*) { return AsTest(object)->spec.dirty; };
    hooks.getKind = [](CFerroxObject* object) { return AsTest(object)->spec.kind; };
    hooks.getEntranceCell = [](CFerroxObject* object, int32_t) { return AsTest(object)->spec.cell; };
    hooks.isPlaced = [](CFerroxObject* object) { return AsTest(object)->placed; };
    hooks.renderEffect = [](CFerroxObject* object) { TestLog().effects.push_back(AsTest(object)->spec.tag); };
    hooks.cleanUpCharacter = [](CFerroxObject* object) { TestLog().cleaned.push_back(AsTest(object)->spec.tag); };
    hooks.setVisibleFloor = [](CFerroxObject* object, int32_t floor) {
        TestLog().visibleFloors.push_back({AsTest(object)->spec.tag, floor});
    };
    return hooks;
}

// Storeys by pointer; the world name as set.
class TestFloorSeam : public CObjectManagerSeam {
public:
    uint16_t GetFloorIndex(CFerroxBlockGrid* storey) override
    {
        auto found = floors.find(storey);
        return found == floors.end() ? kNoFloorIndex : found->second;
    }
    const char* GetWorldName() override { return worldName.empty() ? nullptr : worldName.c_str(); }
    std::map<CFerroxBlockGrid*, uint16_t> floors;
    std::string worldName;
};
