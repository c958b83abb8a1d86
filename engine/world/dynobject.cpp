// The dynamic object manager: creation through factories, the update pass and deferred removal.
#include "engine/world/dynobject.h"

#include <algorithm>

#include "gfx/core/assert.h"

CFerroxDynamicObjectManager::CFerroxDynamicObjectManager() : m_count(0), m_queuedCount(0), m_inPass(false) { Init(); }

CFerroxDynamicObjectManager::~CFerroxDynamicObjectManager()
{
    GX_ASSERT(!m_inPass, "the manager is not destroyed by an object it is updating");
    DeleteAll();
    m_removals.clear();
    m_queuedCount = 0;
}

void CFerroxDynamicObjectManager::DeleteAll()
{
    if (m_inPass) {
        for (auto position = m_objects.begin(); position != m_objects.end(); ++position)
            Queue(position);
        return;
    }
    // A queued position would outlive its entry: drop the queue with the objects.
    m_removals.clear();
    m_queuedCount = 0;
    // Unlinked before deletion, so a destructor that asks the manager about its object finds it gone.
    while (!m_objects.empty()) {
        std::unique_ptr<CFerroxObject> object = std::move(m_objects.front());
        m_objects.pop_front();
        m_count--;
    }
    m_count = 0;
}

CFerroxObject* CFerroxDynamicObjectManager::CreateObject(CFerroxObjectFactory* factory,
                                                         const FerroxObjectDescriptor* descriptor)
{
    if (!factory)
        return nullptr;
    std::unique_ptr<CFerroxObject> object = factory->CreateObject(descriptor);
    CFerroxObject* made = object.get();
    AddObject(object.release());
    return made;
}

void CFerroxDynamicObjectManager::AddObject(CFerroxObject* object)
{
    if (!object)
        return;
    m_objects.emplace_back(object);
    m_count++;
}

void CFerroxDynamicObjectManager::Unlink(Position position)
{
    std::unique_ptr<CFerroxObject> object = std::move(*position);
    // Any queued request for this entry goes with it.
    const size_t before = m_removals.size();
    m_removals.remove(position);
    m_queuedCount -= static_cast<uint32_t>(before - m_removals.size());
    m_objects.erase(position);
    m_count--;
}

void CFerroxDynamicObjectManager::RemoveObject(CFerroxObject* object, int atOnce)
{
    const auto position =
        std::find_if(m_objects.begin(), m_objects.end(),
                     [object](const std::unique_ptr<CFerroxObject>& held) { return held.get() == object; });
    if (!object || position == m_objects.end())
        return;
    if (atOnce && !m_inPass) {
        Unlink(position);
        return;
    }
    Queue(position);
}

void CFerroxDynamicObjectManager::Queue(Position position)
{
    // A second request for the same entry would delete it twice.
    if (std::find(m_removals.begin(), m_removals.end(), position) != m_removals.end())
        return;
    m_removals.push_back(position);
    m_queuedCount++;
}

void CFerroxDynamicObjectManager::Update(float dt)
{
    // The end is tested after every step: objects appended by an update are updated in this pass. While
    // the pass runs, removals are only queued, so no object is deleted under a running update.
    GX_ASSERT(!m_inPass, "an object's update does not start another update pass");
    m_inPass = true;
    for (auto position = m_objects.begin(); position != m_objects.end(); ++position)
        (*position)->Update(dt);
    m_inPass = false;
    while (!m_removals.empty())
        Unlink(m_removals.front());
    m_queuedCount = 0;
}

CFerroxObject* CFerroxDynamicObjectManager::GetObject(uint32_t index)
{
    if (index >= m_count)
        return nullptr;
    auto position = m_objects.begin();
    std::advance(position, index);
    return position->get();
}
