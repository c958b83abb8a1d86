// The level's plugins for the tests.
#include "engine/testsupport/plugins.h"

#include "engine/world/clumpext.h"
#include "gfx/anim/anim.h"
#include "gfx/core/spline.h"
#include "gfx/fx/fx.h"
#include "gfx/fx/particles.h"
#include "gfx/testsupport/plugins.h"
#include "gfx/world/collision.h"
#include "gfx/world/lod.h"
#include "gfx/world/userdata.h"
#include "gfx/world/world.h"

bool FerroxTestAttachLevelPlugins()
{
    return GxLODAtomicPluginAttach() && GxWorldPluginAttach() && GxTestSectorPluginAttach() && GxAnimPluginAttach() &&
           GxAnimHierarchyPluginAttach() && GxTestSkinPluginAttach() && GxCollisionPluginAttach() &&
           GxUserDataPluginAttach() && GxSplinePluginAttach() && AttachClumpExtension() &&
           GxMaterialEffectsPluginAttach() && GxUVAnimPluginAttach() && GxParticleTankPluginAttach() &&
           GxParticlePluginAttach();
}
