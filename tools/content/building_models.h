// The buildings of the build menus: six kinds of shop unit in two sizes, the cash machine, toilets, seats and
// phone, the stairs, the atrium, the mall door, the plants and the statue, and the city landmark with its
// variants. Each stands on its footprint with its origin at the footprint's centre and its front to +z, and
// carries the entrance dummies and the slot paths the building code reads.
#pragma once

#include "tools/content/misc_models_local.h"

// Appends the recipe of every building model, keyed by its template path.
void ContentAddBuildingRecipes(content_parts::RecipeList* list);
