// Level-manager setters that fill what a level's load would, for fuzz targets and tests; the program does not
// link them.
#include "engine/world/level.h"

#include "engine/world/world.h"

void CFerroxLevelManager::SetWorld(std::unique_ptr<CFerroxWorld> world) { m_pWorld = std::move(world); }
