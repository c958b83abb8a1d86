// The pointers the application publishes for the rooms below it.
#include "engine/data/context.h"

CFerroxGameContext* g_pFerroxGameContext = nullptr;
CFerroxTagTree* g_pFerroxSetupTree = nullptr;
