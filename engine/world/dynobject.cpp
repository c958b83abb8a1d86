// The dynamic object manager: creation through factories, the update pass and deferred removal.
#include "engine/world/dynobject.h"

#include <algorithm>

#include "gfx/core/assert.h"

CFerroxDynamicObjectManager::CFerroxDynamicObjectManager() : m_count(0), m_queuedCount(0), m_updating(), m_inPass(false)
{
    Init();
}

CFerroxDynamicObjectManager::~CFerroxDynamicObjectManager()
{
    GX_ASSERT(!m_inPass, "the manager is not destroyed by an object it is updating");
    DeleteAll();
    m_removals.clear();
    m_queuedCount = 0;
}

bool CFerroxDynamicObjectManager::IsUpdating(Position position) const { return m_inPass && position == m_updating; }

void CFerroxDynamicObjectManager::DeleteAll()
{
    // Deleted in list order, then the entries go. An entry is emptied before its object is deleted, so a
    // destructor that asks the manager finds no deleted object. The object whose update runs is kept to the
    // end of the pass: its update has not returned yet.
    for (auto position = m_objects.begin(); position != m_objects.end(); ++position) {
        if (!IsUpdating(position))
            position->reset();
    }
    for (auto position = m_objects.begin(); position != m_objects.end();)
        position = IsUpdating(position) ? std::next(position) : m_objects.erase(position);
    m_count = static_cast<uint32_t>(m_objects.size());
    // A queued position would outlive its entry: the queue goes with the objects.
    m_removals.clear();
    m_queuedCount = 0;
    if (m_inPass && !m_objects.empty())
        Queue(m_updating);
}

CFerroxObject* CFerroxDynamicObjectManager::CreateObject(CFerroxObjectFactory* factory,
                                                         FerroxObjectDescriptor* descriptor)
{
    GX_ASSERT(factory, "an object is created through a factory");
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
    // The object whose update runs is deleted after the pass, whatever was asked: its update has not returned.
    if (atOnce && !IsUpdating(position)) {
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
    // The end is tested after every step: objects appended by an update are updated in this pass.
    GX_ASSERT(!m_inPass, "an object's update does not start another update pass");
    m_inPass = true;
    for (m_updating = m_objects.begin(); m_updating != m_objects.end(); ++m_updating)
        (*m_updating)->Update(dt);
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
