// The start-up table the program hands the application: the driver it picks, the driver's plugins and readers.
#pragma once

#include "gfx/core/startup.h"

// The table start-up reads (null: none, every entry passed over); it must outlive the application.
void FerroxSetStartup(const GxStartup* startup);
// The table set, or an empty one.
const GxStartup& FerroxGetStartup();

// Makes the texture read try the table's reader first and fall back to the read installed before it; 1 once it is
// in place (also when it already was).
int FerroxInstallTextureReader();
