// Test support: the object manager's class hooks emptied between cases, and its animated textures made without
// an engine.
#pragma once

#include "game/world/objectmgr.h"

// Forgets every installed hook, so that each case (or benchmark) starts from the hooks it installs itself. The
// hooks are one plain table that the setter only fills; this empties it through the reference the game reads.
inline void ResetObjectClassHooks()
{
    const_cast<ObjectClassHooks&>(CDynamicObjectManager::GetClassHooks()) = ObjectClassHooks{};
}

// Makes the manager's animated textures with the maker (null: the engine's own again).
inline void SetObjectAnimTextureMaker(ObjectAnimTextureMaker maker)
{
    CDynamicObjectManager::s_animTextureMaker = maker;
}
