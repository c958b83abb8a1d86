// Tests of the Direct3D 9 lights: index allocation and reuse, local and spot set-up, per-object enabling, the
// light limit and the ambient sum of global lights.
#include "gfx/d3d9/lights.h"

#include <cmath>

#include "gfx/d3d9/atomicpipe.h"
#include "gfx/d3d9/renderstate.h"
#include "gfx/testsupport/software_fixture.h"
#include "gfx/world/clump.h"
#include "gfx/world/world.h"
#include "gfx/world/world_testing.h"

namespace {

class D3D9Lights : public GxD3D9SoftwareTest {
protected:
    void AttachPlugins() override
    {
        ASSERT_TRUE(GxWorldPluginAttach());
        ASSERT_TRUE(GxD3D9LightPluginAttach());
    }
    void SetUp() override
    {
        GxD3D9SoftwareTest::SetUp();
        ASSERT_TRUE(GxD3D9LightResourcesOpen());
    }
    void TearDown() override
    {
        for (GxLight* light : lights) {
            GxFrame* frame = static_cast<GxFrame*>(light->object.object.parent);
            GxLightDestroy(light);
            GxFrameDestroy(frame);
        }
        GxD3D9LightResourcesClose();
        GxD3D9SoftwareTest::TearDown();
    }

    GxLight* Make(GxInt32 type, GxReal radius = 10.0f)
    {
        GxLight* light = GxLightCreate(type);
        GxFrame* frame = GxFrameCreate();
        GxLightSetFrame(light, frame);
        light->radius = radius;
        lights.push_back(light);
        return light;
    }
    void Destroy(GxLight* light)
    {
        lights.erase(std::find(lights.begin(), lights.end(), light));
        GxFrame* frame = static_cast<GxFrame*>(light->object.object.parent);
        GxLightDestroy(light);
        GxFrameDestroy(frame);
    }
    GxInt32 IndexOf(GxLight* light) { return GxD3D9LightGetData(light)->index; }
    bool Enabled(GxInt32 index)
    {
        BOOL on = FALSE;
        return SUCCEEDED(gxD3D9State.device->GetLightEnable(index, &on)) && on;
    }
    D3DLIGHT9 DeviceLight(GxInt32 index)
    {
        D3DLIGHT9 light = {};
        gxD3D9State.device->GetLight(index, &light);
        return light;
    }

    std::vector<GxLight*> lights;
};

}  // namespace

TEST_F(D3D9Lights, FreedIndexesAreReused)
{
    GxLight* a = Make(gxLIGHTPOINT);
    GxLight* b = Make(gxLIGHTPOINT);
    EXPECT_EQ(IndexOf(a), -1);
    ASSERT_TRUE(GxD3D9LocalLightSetup(a));
    ASSERT_TRUE(GxD3D9LocalLightSetup(b));
    ASSERT_TRUE(GxD3D9LocalLightSetup(a));  // keeps its index
    EXPECT_EQ(IndexOf(a), 0);
    EXPECT_EQ(IndexOf(b), 1);
    Destroy(a);
    GxLight* c = Make(gxLIGHTSPOT);
    ASSERT_TRUE(GxD3D9LocalLightSetup(c));
    EXPECT_EQ(IndexOf(c), 0);
    GxLight* d = Make(gxLIGHTPOINT);
    ASSERT_TRUE(GxD3D9LocalLightSetup(d));
    EXPECT_EQ(IndexOf(d), 2);
    // With every index given back, numbering starts again at 0.
    Destroy(b);
    Destroy(c);
    Destroy(d);
    GxLight* e = Make(gxLIGHTPOINT);
    ASSERT_TRUE(GxD3D9LocalLightSetup(e));
    EXPECT_EQ(IndexOf(e), 0);
    GxD3D9LightsEnable(1);
}

TEST_F(D3D9Lights, CopyGetsAnIndexOfItsOwn)
{
    GxLight* source = Make(gxLIGHTPOINT);
    GxLight* other = Make(gxLIGHTPOINT);
    ASSERT_TRUE(GxD3D9LocalLightSetup(source));
    ASSERT_TRUE(GxD3D9LocalLightSetup(other));
    GxD3D9LightGetData(source)->linearAttenuation = 2.0f;
    GxLight* copy = Make(gxLIGHTPOINT);
    ASSERT_NE(GxPluginRegistryCopyObject(&gxLightTKList, copy, source), nullptr);
    EXPECT_EQ(IndexOf(copy), -1);
    EXPECT_FLOAT_EQ(GxD3D9LightGetData(copy)->linearAttenuation, 2.0f);
    ASSERT_TRUE(GxD3D9LocalLightSetup(copy));
    EXPECT_NE(IndexOf(copy), IndexOf(source));
    EXPECT_NE(IndexOf(copy), IndexOf(other));
    // Each gives back only its own index: new lights never get the one still held by the third.
    Destroy(source);
    Destroy(copy);
    GxLight* a = Make(gxLIGHTPOINT);
    GxLight* b = Make(gxLIGHTPOINT);
    ASSERT_TRUE(GxD3D9LocalLightSetup(a));
    ASSERT_TRUE(GxD3D9LocalLightSetup(b));
    EXPECT_NE(IndexOf(a), IndexOf(b));
    EXPECT_NE(IndexOf(a), IndexOf(other));
    EXPECT_NE(IndexOf(b), IndexOf(other));
    GxD3D9LightsEnable(1);
}

TEST_F(D3D9Lights, LocalAndSpotSetUp)
{
    // A radius of 0 or a type without a position sets nothing, though each light has taken its index.
    GxLight* none = Make(gxLIGHTPOINT, 0.0f);
    EXPECT_FALSE(GxD3D9LocalLightSetup(none));
    EXPECT_EQ(IndexOf(none), 0);
    GxLight* ambient = Make(gxLIGHTAMBIENT);
    EXPECT_FALSE(GxD3D9LocalLightSetup(ambient));
    EXPECT_EQ(IndexOf(ambient), 1);
    GxD3D9LightsEnable(1);
    EXPECT_FALSE(Enabled(0));
    EXPECT_FALSE(Enabled(1));

    GxLight* point = Make(gxLIGHTPOINT, 4.0f);
    const GxV3d at = {1, 2, 3};
    GxFrameTranslate(static_cast<GxFrame*>(point->object.object.parent), &at, 0);
    ASSERT_TRUE(GxD3D9LocalLightSetup(point));
    D3DLIGHT9 l = DeviceLight(IndexOf(point));
    EXPECT_EQ(l.Type, D3DLIGHT_POINT);
    EXPECT_FLOAT_EQ(l.Position.y, 2.0f);
    EXPECT_FLOAT_EQ(l.Range, 4.0f);
    EXPECT_FLOAT_EQ(l.Attenuation0, 1.0f);
    EXPECT_FLOAT_EQ(l.Attenuation2, 5.0f / 16.0f);

    GxLight* wide = Make(gxLIGHTSPOT);
    wide->minusCosAngle = -std::cos(3.1415927f / 2);  // 90 degrees
    ASSERT_TRUE(GxD3D9LocalLightSetup(wide));
    l = DeviceLight(IndexOf(wide));
    EXPECT_EQ(l.Type, D3DLIGHT_SPOT);
    EXPECT_NEAR(l.Phi, 3.1415927f, 1e-5f);
    EXPECT_NEAR(l.Theta, 3.1415927f - 0.001f, 1e-5f);
    GxLight* narrow = Make(gxLIGHTSPOT);
    narrow->minusCosAngle = -std::cos(3.1415927f / 6);  // 30 degrees
    ASSERT_TRUE(GxD3D9LocalLightSetup(narrow));
    l = DeviceLight(IndexOf(narrow));
    EXPECT_NEAR(l.Phi, 3.1415927f / 3, 1e-5f);
    EXPECT_FLOAT_EQ(l.Theta, l.Phi);
    GxLight* soft = Make(gxLIGHTSPOTSOFT);
    soft->minusCosAngle = -std::cos(3.1415927f / 6);
    ASSERT_TRUE(GxD3D9LocalLightSetup(soft));
    EXPECT_EQ(DeviceLight(IndexOf(soft)).Theta, 0.0f);
    GxD3D9LightsEnable(1);
}

TEST_F(D3D9Lights, EnablingFollowsTheObjectDrawn)
{
    GxLight* a = Make(gxLIGHTPOINT);
    GxLight* b = Make(gxLIGHTPOINT);
    GxD3D9LocalLightSetup(a);
    GxD3D9LocalLightSetup(b);
    GxD3D9LightsEnable(1);
    EXPECT_TRUE(Enabled(IndexOf(a)));
    EXPECT_TRUE(Enabled(IndexOf(b)));
    GxUInt32 lighting = 0;
    GxD3D9GetRenderState(D3DRS_LIGHTING, &lighting);
    EXPECT_EQ(lighting, 1u);
    // The next object is lit by b alone.
    GxD3D9LocalLightSetup(b);
    GxD3D9LightsEnable(1);
    EXPECT_FALSE(Enabled(IndexOf(a)));
    EXPECT_TRUE(Enabled(IndexOf(b)));
    // An unlit object turns lighting off and leaves the device lights as they were.
    GxD3D9LightsEnable(0);
    GxD3D9GetRenderState(D3DRS_LIGHTING, &lighting);
    EXPECT_EQ(lighting, 0u);
    EXPECT_TRUE(Enabled(IndexOf(b)));
}

TEST_F(D3D9Lights, NoMoreLightsThanTheDeviceAllows)
{
    const DWORD saved = gxD3D9State.caps.MaxActiveLights;
    gxD3D9State.caps.MaxActiveLights = 2;
    ASSERT_TRUE(GxD3D9LightResourcesOpen());
    gxD3D9State.caps.MaxActiveLights = saved;
    GxLight* ls[3] = {Make(gxLIGHTPOINT), Make(gxLIGHTPOINT), Make(gxLIGHTPOINT)};
    for (GxLight* light : ls) {
        ASSERT_TRUE(GxD3D9LocalLightSetup(light));
    }
    GxD3D9LightsEnable(1);
    EXPECT_TRUE(Enabled(IndexOf(ls[0])));
    EXPECT_TRUE(Enabled(IndexOf(ls[1])));
    EXPECT_FALSE(Enabled(IndexOf(ls[2])));
}

// The current world's global lights, as the world-lights query hands them over.
GxLink* worldLights = nullptr;
GxLink* WorldLights(GxWorld*) { return worldLights; }

TEST_F(D3D9Lights, WorldLightsSumAmbientAndSetDirectional)
{
    GxLink list;
    GxLinkInit(&list);
    GxLink empty;
    GxLinkInit(&empty);
    worldLights = &list;
    GxD3D9SetWorldLightsQuery(WorldLights);
    GxWorld* const saved = GxEngineInstance->curWorld;
    GxEngineInstance->curWorld = reinterpret_cast<GxWorld*>(&empty);  // any world: the query ignores it
    GxLight* ambient1 = Make(gxLIGHTAMBIENT);
    GxLight* ambient2 = Make(gxLIGHTAMBIENT);
    GxLight* sun = Make(gxLIGHTDIRECTIONAL);
    GxLight* sectorsOnly = Make(gxLIGHTAMBIENT);
    const GxRGBAReal grey = {0.25f, 0.25f, 0.25f, 1};
    const GxRGBAReal red = {0.5f, 0, 0, 1};
    GxLightSetColor(ambient1, &grey);
    GxLightSetColor(ambient2, &red);
    sectorsOnly->object.object.flags = gxLIGHTLIGHTWORLD;
    for (GxLight* light : {ambient1, ambient2, sun, sectorsOnly}) {
        GxLinkAddAfter(&list, &light->inWorld);
    }
    ASSERT_TRUE(GxD3D9WorldLightsSetup(gxLIGHTLIGHTATOMICS));
    GxD3D9LightsEnable(1);
    EXPECT_TRUE(Enabled(IndexOf(sun)));
    EXPECT_EQ(DeviceLight(IndexOf(sun)).Type, D3DLIGHT_DIRECTIONAL);
    // The material's ambient colour is the ambient sum.
    const GxSurfaceProperties props = {1.0f, 0.0f, 1.0f};
    const GxRGBA white = {255, 255, 255, 255};
    ASSERT_TRUE(GxD3D9SetSurfaceProperties(&props, &white, 0));
    D3DMATERIAL9 material = {};
    gxD3D9State.device->GetMaterial(&material);
    EXPECT_FLOAT_EQ(material.Ambient.r, 0.75f);
    EXPECT_FLOAT_EQ(material.Ambient.g, 0.25f);
    // Nothing that lights atomics: ambient off.
    worldLights = &empty;
    EXPECT_FALSE(GxD3D9WorldLightsSetup(gxLIGHTLIGHTATOMICS));
    GxUInt32 ambientState = 1;
    GxD3D9GetRenderState(D3DRS_AMBIENT, &ambientState);
    EXPECT_EQ(ambientState, 0u);
    GxEngineInstance->curWorld = saved;
    GxD3D9SetWorldLightsQuery(nullptr);
    for (GxLight* light : {ambient1, ambient2, sun, sectorsOnly}) {
        GxLinkRemove(&light->inWorld);
    }
}

TEST_F(D3D9Lights, LightWithoutFrameIsNotSet)
{
    GxLight* light = GxLightCreate(gxLIGHTDIRECTIONAL);
    EXPECT_FALSE(GxD3D9DirectionalLightSetup(light));
    light->object.object.subType = gxLIGHTPOINT;
    light->radius = 5.0f;
    EXPECT_FALSE(GxD3D9LocalLightSetup(light));
    GxD3D9LightsEnable(1);
    EXPECT_FALSE(Enabled(IndexOf(light)));
    GxLightDestroy(light);
}

namespace {

class D3D9LightsMemory : public D3D9Lights {
protected:
    void SetUp() override
    {
        memoryFunctions = GxTestMemoryReset();
        D3D9Lights::SetUp();
    }
};

}  // namespace

// A list or free stack that memory refuses to grow stays as it was: the light is set but not counted, and a
// released index it cannot hold is never handed out again.
TEST_F(D3D9LightsMemory, GrowthMemoryRefusesLeavesTheListsAsTheyWere)
{
    // Nine lights first, so that the device's table holds them; the list then starts again empty.
    std::vector<GxLight*> set;
    for (int i = 0; i < 9; i++) {
        set.push_back(Make(gxLIGHTPOINT));
        ASSERT_TRUE(GxD3D9LocalLightSetup(set.back()));
    }
    GxD3D9LightsEnable(1);
    for (int i = 0; i < 8; i++) {
        ASSERT_TRUE(GxD3D9LocalLightSetup(set[i]));
    }
    GxLight* ninth = set[8];
    gxTestMemory.reallocFailures = 1;
    EXPECT_FALSE(GxD3D9LocalLightSetup(ninth));
    gxTestMemory.reallocFailures = 0;
    GxD3D9LightsEnable(1);
    EXPECT_TRUE(Enabled(IndexOf(set[7])));
    EXPECT_FALSE(Enabled(IndexOf(ninth)));

    gxTestMemory.mallocFailAfter = 0;
    Destroy(set[0]);
    gxTestMemory.mallocFailAfter = -1;
    GxLight* next = Make(gxLIGHTPOINT);
    ASSERT_TRUE(GxD3D9LocalLightSetup(next));
    EXPECT_EQ(IndexOf(next), 9);
    GxD3D9LightsEnable(1);
}
