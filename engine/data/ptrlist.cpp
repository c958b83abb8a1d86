// Pointer list: Remove and IsEmpty act on the working vector, Add and Init on both.
#include "engine/data/ptrlist.h"

#include <algorithm>

void CFerroxPtrList::Init()
{
    m_working.clear();
    m_master.clear();
}

void CFerroxPtrList::Add(void* pointer)
{
    m_working.push_back(pointer);
    m_master.push_back(pointer);
}

void CFerroxPtrList::Remove(void* pointer)
{
    auto it = std::find(m_working.begin(), m_working.end(), pointer);
    if (it != m_working.end())
        m_working.erase(it);
}

void CFerroxPtrList::Flush() { m_working = m_master; }

int CFerroxPtrList::IsEmpty() { return m_working.empty() ? 1 : 0; }
