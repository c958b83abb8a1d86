// Test support of the character writers: the engine on the software device with the plugins a character file
// needs and the host's files, and the colour plan the tests paint their humanoid with.
#pragma once

#include "gfx/anim/anim.h"
#include "gfx/core/filesys.h"
#include "gfx/testsupport/headless.h"
#include "gfx/testsupport/software_fixture.h"
#include "gfx/world/clump.h"
#include "gfx/world/lod.h"
#include "gfx/world/userdata.h"
#include "tools/content/humanoid_writer.h"

inline const ContentHumanoidPlan kContentTestPlan = {
    {230, 190, 160, 255}, {40, 90, 200, 255}, {60, 60, 70, 255}, {30, 20, 10, 255}, {90, 60, 20, 255}};

class ContentCharacterTest : public GxD3D9SoftwareTest {
protected:
    void AttachPlugins() override
    {
        ASSERT_TRUE(GxWorldObjectsPluginAttach() && GxLODAtomicPluginAttach() && GxUserDataPluginAttach() &&
                    GxAnimHierarchyPluginAttach() && GxSkinPluginAttach());
    }
    void SetUp() override
    {
        GxD3D9SoftwareTest::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        ASSERT_TRUE(GxTestFileSystemOpen());
    }
    void TearDown() override
    {
        GxFileSystemManagerClose();
        GxD3D9SoftwareTest::TearDown();
    }
};
