// The dynamic object manager: creation order, the update pass with objects added and removed during it,
// and deletion exactly once whatever mix of removals is asked for.
#include "engine/world/dynobject.h"

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

// An object that records its updates and its deletion in a shared log and runs an action in its update.
class Probe : public CFerroxObject {
public:
    Probe(const char* name, std::vector<std::string>* log) : m_log(log) { SetName(name); }
    ~Probe() override { m_log->push_back(std::string("delete ") + GetName()); }
    void Update(float dt) override
    {
        CFerroxObject::Update(dt);
        m_log->push_back(std::string("update ") + GetName());
        if (onUpdate) {
            std::function<void()> action = onUpdate;
            onUpdate = nullptr;  // once
            action();
        }
    }
    std::function<void()> onUpdate;

private:
    std::vector<std::string>* m_log;
};

class ProbeFactory : public CFerroxObjectFactory {
public:
    explicit ProbeFactory(std::vector<std::string>* log) : m_log(log) {}
    std::unique_ptr<CFerroxObject> CreateObject(const FerroxObjectDescriptor* descriptor) override
    {
        if (!descriptor)
            return nullptr;
        return std::make_unique<Probe>(static_cast<const char*>(descriptor->templateRecord), m_log);
    }

private:
    std::vector<std::string>* m_log;
};

class DynamicObjects : public ::testing::Test {
protected:
    Probe* Make(const char* name)
    {
        FerroxObjectDescriptor descriptor = {};
        descriptor.templateRecord = const_cast<char*>(name);
        return static_cast<Probe*>(manager.CreateObject(&factory, &descriptor));
    }
    int Deletions(const std::string& name) const
    {
        int count = 0;
        for (const std::string& line : log)
            count += line == "delete " + name ? 1 : 0;
        return count;
    }
    std::vector<std::string> log;
    ProbeFactory factory{&log};
    CFerroxDynamicObjectManager manager;
};

}  // namespace

TEST_F(DynamicObjects, ObjectsAreKeptInCreationOrderAndRemovedAtOnce)
{
    Probe* a = Make("A");
    Probe* b = Make("B");
    Probe* c = Make("C");
    EXPECT_EQ(a, manager.GetObject(0));
    EXPECT_EQ(c, manager.GetObject(2));
    EXPECT_EQ(nullptr, manager.GetObject(3));
    // A factory that makes nothing adds nothing.
    EXPECT_EQ(nullptr, manager.CreateObject(&factory, nullptr));
    EXPECT_EQ(3u, manager.GetCount());

    manager.RemoveObject(b, 1);
    EXPECT_EQ(2u, manager.GetCount());
    EXPECT_EQ(1, Deletions("B"));
    EXPECT_EQ(c, manager.GetObject(1));
    // Objects the manager does not hold are ignored.
    Probe stranger("S", &log);
    manager.RemoveObject(&stranger, 1);
    manager.RemoveObject(&stranger, 0);
    manager.RemoveObject(nullptr, 1);
    EXPECT_EQ(2u, manager.GetCount());
    EXPECT_EQ(0u, manager.GetQueuedCount());
}

// An object made during the pass is updated in it, after those before it; one that removes itself is updated,
// then deleted after the pass.
TEST_F(DynamicObjects, ThePassTakesInObjectsMadeDuringItAndDeletesThoseRemovedAfterIt)
{
    Probe* a = Make("A");
    Probe* b = Make("B");
    Probe* c = Make("C");
    a->onUpdate = [this]() { Make("D"); };
    b->onUpdate = [this, b]() { manager.RemoveObject(b, 0); };
    manager.Update(0.1f);
    const std::vector<std::string> expected = {"update A", "update B", "update C", "update D", "delete B"};
    EXPECT_EQ(expected, log);
    EXPECT_EQ(c, manager.GetObject(1));
    EXPECT_EQ(3u, manager.GetCount());
    EXPECT_EQ(0u, manager.GetQueuedCount());
}

TEST_F(DynamicObjects, EveryObjectIsDeletedExactlyOnce)
{
    // Queued twice, then removed at once while still queued: one deletion, and the next pass does not
    // reach the freed entry.
    Probe* a = Make("A");
    Probe* b = Make("B");
    Probe* c = Make("C");
    manager.RemoveObject(a, 0);
    manager.RemoveObject(a, 0);
    EXPECT_EQ(1u, manager.GetQueuedCount());
    manager.RemoveObject(b, 0);
    manager.RemoveObject(b, 1);
    EXPECT_EQ(1u, manager.GetQueuedCount());
    manager.Update(0.1f);
    EXPECT_EQ(1, Deletions("A"));
    EXPECT_EQ(1, Deletions("B"));
    EXPECT_EQ(c, manager.GetObject(0));

    // DeleteAll drops the queue with the objects; the destructor has nothing left to delete twice.
    Probe* e = Make("E");
    manager.RemoveObject(e, 0);
    manager.DeleteAll();
    EXPECT_EQ(0u, manager.GetQueuedCount());
    manager.Update(0.1f);
    EXPECT_EQ(1, Deletions("E"));
}

// During the pass a removal at once unlinks at once: an object already passed and one not yet reached are
// deleted before the pass goes on, and one not reached is not updated. Only the object being updated waits for
// the end of the pass, its update not having returned.
TEST_F(DynamicObjects, RemovalAtOnceDuringThePassDeletesAtOnceSaveTheObjectBeingUpdated)
{
    Probe* a = Make("A");
    Probe* b = Make("B");
    Probe* c = Make("C");
    b->onUpdate = [this, a, b, c]() {
        manager.RemoveObject(a, 1);
        manager.RemoveObject(b, 1);
        manager.RemoveObject(c, 1);
        log.push_back("count " + std::to_string(manager.GetCount()));
    };
    manager.Update(0.1f);
    const std::vector<std::string> expected = {"update A", "update B", "delete A", "delete C", "count 1", "delete B"};
    EXPECT_EQ(expected, log);
    EXPECT_EQ(0u, manager.GetCount());
    EXPECT_EQ(0u, manager.GetQueuedCount());

    // DeleteAll from inside the pass deletes every other object now, the one being updated after the pass.
    Probe* f = Make("F");
    Probe* g = Make("G");
    Make("H");
    g->onUpdate = [this]() {
        manager.DeleteAll();
        log.push_back("count " + std::to_string(manager.GetCount()));
    };
    (void)f;
    log.clear();
    manager.Update(0.1f);
    const std::vector<std::string> tail = {"update F", "update G", "delete F", "delete H", "count 1", "delete G"};
    EXPECT_EQ(tail, log);
    EXPECT_EQ(0u, manager.GetCount());
}

// A destructor that asks the manager about its object finds it gone, whichever way it is deleted; DeleteAll
// removes the entries after deleting every object, so the count holds until then.
TEST_F(DynamicObjects, AnObjectIsUnlistedBeforeItsDestructorRuns)
{
    struct Asking : CFerroxObject {
        Asking(CFerroxDynamicObjectManager* owner, std::vector<std::string>* seen) : manager(owner), log(seen) {}
        ~Asking() override
        {
            bool listed = false;
            for (uint32_t i = 0; i < manager->GetCount(); i++)
                listed = listed || manager->GetObject(i) == this;
            log->push_back(std::to_string(manager->GetCount()) + (listed ? " listed" : " gone"));
        }
        CFerroxDynamicObjectManager* manager;
        std::vector<std::string>* log;
    };
    auto* first = new Asking(&manager, &log);
    manager.AddObject(first);
    auto* second = new Asking(&manager, &log);
    manager.AddObject(second);
    manager.AddObject(new Asking(&manager, &log));
    manager.AddObject(new Asking(&manager, &log));
    manager.RemoveObject(second, 1);
    manager.RemoveObject(first, 0);
    manager.Update(0.1f);
    manager.DeleteAll();
    const std::vector<std::string> expected = {"3 gone", "2 gone", "2 gone", "2 gone"};
    EXPECT_EQ(expected, log);
}
