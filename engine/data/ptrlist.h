// A list of untyped pointers with a master vector and a working vector refilled from it.
#pragma once

#include <vector>

#include "engine/data/root.h"

class CFerroxPtrList : public CFerroxBase {
public:
    CFerroxPtrList() { Init(); }
    void Init() override;
    void Release() override { Init(); }
    ~CFerroxPtrList() override {}

    virtual void Add(void* pointer);
    virtual void Remove(void* pointer);
    virtual void Flush();
    virtual int IsEmpty();
    virtual void Unused() {}

    const std::vector<void*>& GetWorking() const { return m_working; }
    const std::vector<void*>& GetMaster() const { return m_master; }

private:
    std::vector<void*> m_working;
    std::vector<void*> m_master;
};
