// Test access to the object factories' table.
#pragma once

#include "game/world/factories.h"

// The fifteen slots in registration order.
extern ObjectFactoryEntry g_objectFactoryTable[kObjectFactoryCount];
inline const ObjectFactoryEntry* GetObjectFactoryTable() { return g_objectFactoryTable; }
