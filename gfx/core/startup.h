// The start-up table: what a program hands the application to start the graphics on the driver it picks.
#pragma once

#include "gfx/core/engine.h"
#include "gfx/core/texture.h"

// Every entry may be null: a missing plugin is passed over, a missing reader reads nothing.
struct GxStartup {
    const GxDriver* driver;                 // installed before the engine initialises
    void (*setRefreshRate)(GxUInt32 rate);  // caps the full-screen refresh rate
    // The driver's plugins, each attached in its place among the application's own.
    GxBool (*attachWorldPipelines)(void);  // after the world plugin, whose registries it needs
    GxBool (*attachSkin)(void);
    GxBool (*attachMaterialEffects)(void);
    GxBool (*attachParticleTanks)(void);
    // Reads the driver's own texture files; tried before the texture read installed before it.
    GxTextureCallBackRead readTexture;
};
