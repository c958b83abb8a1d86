// The start-up table of the driver the tests run on, for tests that start the whole application.
#pragma once

#include "gfx/core/startup.h"

const GxStartup* GxTestDriverStartup(void);
