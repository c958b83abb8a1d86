// Direct3D 9 lights: the graphics core's lights as device lights, each with a device index of its own, enabled
// per drawn object, with the ambient lights summed into one colour.
//
// A light gets its index at its first set-up and gives it back when destroyed; freed indexes are reused.
// The lighting callbacks set up the lights that touch an object and then call GxD3D9LightsEnable, which
// enables exactly those and disables the previous object's others. One thread.
#pragma once

#include "gfx/core/gx.h"
#include "gfx/world/material.h"

constexpr GxUInt32 gxPLUGIND3D9LIGHT = 0x505;

// The light extension (four words on every light).
struct GxD3D9LightData {
    GxInt32 index;  // device light index, -1 until first set up
    GxReal constantAttenuation;
    GxReal linearAttenuation;     // divided by the radius when set
    GxReal quadraticAttenuation;  // divided by the radius squared when set
};

// Registers the extension; before GxEngineOpen, after the light module. Non-zero on success.
GxBool GxD3D9LightPluginAttach(void);
GxD3D9LightData* GxD3D9LightGetData(GxLight* light);

// Between the creation and destruction of the default pipelines.
GxBool GxD3D9LightResourcesOpen(void);
void GxD3D9LightResourcesClose(void);

// Sets up the current world's global lights (as the world-lights query gives them for the current world, or for
// none) whose flags meet mask:
// directional lights as device lights, ambient ones into the ambient sum. Non-zero when any was used.
GxBool GxD3D9WorldLightsSetup(GxUInt32 mask);
// Non-zero when the light was set on the device.
GxBool GxD3D9DirectionalLightSetup(GxLight* light);
GxBool GxD3D9LocalLightSetup(GxLight* light);
// Starts an object's ambient sum at black.
void GxD3D9AmbientReset(void);
void GxD3D9AmbientAdd(const GxLight* light);
// Ends one object's light set-up: with enable false only lighting goes off.
void GxD3D9LightsEnable(GxBool enable);
