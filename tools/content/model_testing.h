// Test support of the model, character and level writers: the engine on the software device with the host's
// files and a scratch folder of the test's own (derived fixtures attach the plugins their files need), and the
// colour plan the tests paint their humanoid with.
#pragma once

#include <filesystem>
#include <optional>

#include "gfx/anim/anim.h"
#include "gfx/core/filesys.h"
#include "gfx/core/spline.h"
#include "gfx/fx/fx.h"
#include "gfx/testsupport/headless.h"
#include "gfx/testsupport/software_fixture.h"
#include "gfx/testsupport/temp_dir.h"
#include "gfx/world/clump.h"
#include "gfx/world/lod.h"
#include "gfx/world/userdata.h"
#include "gfx/world/world.h"
#include "tools/content/humanoid_writer.h"

inline const ContentHumanoidPlan kContentTestPlan = {
    {230, 190, 160, 255}, {40, 90, 200, 255}, {60, 60, 70, 255}, {30, 20, 10, 255}, {90, 60, 20, 255}};

class ContentModelTest : public GxD3D9SoftwareTest {
protected:
    void SetUp() override
    {
        GxD3D9SoftwareTest::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        ASSERT_TRUE(GxTestFileSystemOpen());
        m_opened = true;
        m_scratch.emplace("content_model");
        dir = m_scratch->Dir();
    }
    void TearDown() override
    {
        if (m_opened) {
            GxFileSystemManagerClose();
        }
        GxD3D9SoftwareTest::TearDown();
        m_scratch.reset();
    }

    std::filesystem::path dir;

private:
    bool m_opened = false;
    std::optional<GxTestTempDir> m_scratch;
};

// The plugins of a character file: skeleton, skin, the user data that tags its materials and the UV animation
// the game's loading asks about.
class ContentCharacterTest : public ContentModelTest {
protected:
    void AttachPlugins() override
    {
        ASSERT_TRUE(GxWorldPluginAttach() && GxLODAtomicPluginAttach() && GxUserDataPluginAttach() &&
                    GxAnimPluginAttach() && GxAnimHierarchyPluginAttach() && GxSkinPluginAttach() &&
                    GxUVAnimPluginAttach());
    }
};

// The plugins of an object model: its atomics' levels of detail, tags, paths and UV animation.
class ContentObjectTest : public ContentModelTest {
protected:
    void AttachPlugins() override
    {
        ASSERT_TRUE(GxWorldPluginAttach() && GxLODAtomicPluginAttach() && GxUserDataPluginAttach() &&
                    GxSplinePluginAttach() && GxAnimPluginAttach() && GxUVAnimPluginAttach());
    }
};
