// The plugins the game attaches for its levels, in the application's order, for test fixtures above the driver.
#pragma once

// Levels of detail, worlds and sectors, animation and skins, collision, user data, splines, the clump extension,
// material effects, texture-coordinate animation and particles; false when one does not attach.
bool FerroxTestAttachLevelPlugins();
