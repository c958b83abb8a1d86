// Test fixture: the file fixture with the graphics core started on the test device and the spline plugin attached.
#pragma once

#include "engine/application/base.h"
#include "engine/testsupport/files.h"
#include "gfx/core/spline.h"

// A plain named object to occupy grid cells with.
class Named : public CFerroxBase {
public:
    explicit Named(const char* name) { SetName(name); }
};

class FerroxGraphicsTest : public FerroxTestFiles {
protected:
    FerroxGraphicsTest()
    {
        engineSetup.start = true;
        engineSetup.plugins = [] { return GxSplinePluginAttach() != 0; };
    }
};
