// The animated textures of the mall's objects.
#include "game/levelanim.h"

CObjectAnimTexture* MakeLevelAnimTexture() { return new CLevelAnimTexture(); }
