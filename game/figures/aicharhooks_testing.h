// Test support: the characters' seam emptied between cases, so that one case's hooks never reach the next.
#pragma once

#include "game/figures/aichar.h"

// Every entry back to null (the defaults noted in aichar.h). The seam is one plain global that the setter only
// fills; tests empty it through the reference the game reads.
inline void ResetAICharacterHooks() { const_cast<AICharacterHooks&>(GetAICharacterHooks()) = AICharacterHooks{}; }
