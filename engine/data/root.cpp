// The root class's name and lifecycle slots, and the debugger output.
#include "engine/data/root.h"

#include "platform/win32/winbase.h"

void FerroxDebugOutput(const char* text)
{
    if (text)
        OutputDebugStringA(text);
}

CFerroxBase::CFerroxBase() = default;

const char* CFerroxBase::GetName() { return m_pName ? m_pName->c_str() : nullptr; }

// The copy is made before the old name goes: the text may be part of it.
void CFerroxBase::SetName(const char* name)
{
    std::unique_ptr<std::string> copy = name ? std::make_unique<std::string>(name) : nullptr;
    ClearName();
    m_pName = std::move(copy);
}

void CFerroxBase::ClearName() { m_pName.reset(); }

void CFerroxBase::Init() { m_pName = nullptr; }

void CFerroxBase::Release()
{
    ClearName();
    Init();
}

CFerroxBase::~CFerroxBase() = default;
