// The dynamic object manager: every live world object of a game in creation order, updated once a frame,
// deleted at once or after the frame's update pass.
//
// Ownership: the manager owns the objects in its list and deletes each exactly once, when it is removed or
// when the manager is emptied or destroyed. One thread.
#pragma once

#include <cstdint>
#include <list>
#include <memory>

#include "engine/data/root.h"
#include "engine/world/object.h"

// Makes one object class from a creation descriptor; found by its name.
class CFerroxObjectFactory : public CFerroxBase {
public:
    CFerroxObjectFactory() : m_pWorld(nullptr) {}
    // The new object, or null when the factory makes none.
    virtual std::unique_ptr<CFerroxObject> CreateObject(const FerroxObjectDescriptor* descriptor) = 0;
    virtual CFerroxWorld* SetOwner(CFerroxWorld* world)
    {
        m_pWorld = world;
        return world;
    }
    CFerroxWorld* GetWorld() const { return m_pWorld; }

protected:
    CFerroxWorld* m_pWorld;
};

class CFerroxDynamicObjectManager : public CFerroxBase {
public:
    CFerroxDynamicObjectManager();
    void Init() override {}
    void Release() override { DeleteAll(); }
    ~CFerroxDynamicObjectManager() override;

    // Deletes every object; queued removals of them are dropped. During Update's pass the object being
    // updated is deleted after the pass.
    virtual void DeleteAll();
    // The factory's object, appended to the list; null when the factory made none.
    virtual CFerroxObject* CreateObject(CFerroxObjectFactory* factory, FerroxObjectDescriptor* descriptor);
    // atOnce 0: deleted after the next Update's pass (a second request changes nothing); otherwise now,
    // except the object being updated, deleted after the pass. An object that is not managed is ignored.
    virtual void RemoveObject(CFerroxObject* object, int atOnce);
    virtual void Update(float dt);
    virtual void RegisterFactories() {}
    virtual CFerroxObject* GetObject(uint32_t index);

    // Appends an object the caller made; the manager owns it from now on.
    void AddObject(CFerroxObject* object);
    uint32_t GetCount() const { return m_count; }
    uint32_t GetQueuedCount() const { return m_queuedCount; }
    const std::list<std::unique_ptr<CFerroxObject>>& GetObjects() const { return m_objects; }

private:
    typedef std::list<std::unique_ptr<CFerroxObject>>::iterator Position;
    void Unlink(Position position);
    void Queue(Position position);
    bool IsUpdating(Position position) const;

    std::list<std::unique_ptr<CFerroxObject>> m_objects;
    uint32_t m_count;
    std::list<Position> m_removals;
    uint32_t m_queuedCount;
    Position m_updating;  // the entry whose update runs, while m_inPass
    bool m_inPass;
};
