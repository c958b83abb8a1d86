// Test support: the object manager's class hooks emptied between cases.
#pragma once

#include "game/world/objectmgr.h"

// Forgets every installed hook, so that each case (or benchmark) starts from the hooks it installs itself. The
// hooks are one plain table that the setter only fills; this empties it through the reference the game reads.
inline void ResetObjectClassHooks()
{
    const_cast<ObjectClassHooks&>(CDynamicObjectManager::GetClassHooks()) = ObjectClassHooks{};
}
