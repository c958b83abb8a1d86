// Interface base: tooltip selection, reset and the 2D render states.
#include "ui/toolkit/interface.h"

#include "gfx/core/renderstate.h"
#include "ui/toolkit/toolkit_testing.h"

namespace {

using InterfaceTest = UiTest;

TEST_F(InterfaceTest, TooltipKeepsItsListForNegativeRequestsUntilReset)
{
    CFerroxInterface* ui = Interface();
    ui->SetTooltip(3, 4);
    ui->SetTooltip(5, -1);
    EXPECT_EQ(ui->m_tooltipText, 5);
    EXPECT_EQ(ui->m_tooltipList, 4);
    ui->m_tooltipX = 7.0f;
    ui->Reset();
    EXPECT_LT(ui->m_tooltipList, 0);
    EXPECT_LT(ui->m_defaultTooltipList, 0);
    EXPECT_EQ(ui->m_tooltipText, 0xFFFF);
    EXPECT_EQ(ui->m_lastText, 0xFFFF);
    EXPECT_EQ(ui->m_tooltipX, 0.0f);
}

TEST_F(InterfaceTest, RenderTurnsDepthAndFogOffBeforeTheCanvases)
{
    for (GxInt32 state : {gxRENDERSTATEZWRITEENABLE, gxRENDERSTATEZTESTENABLE, gxRENDERSTATEFOGENABLE})
        GxRenderStateSet(state, GxRenderStateValue(1));
    Interface()->Render();
    GxRenderStateGetFunction get = GxEngineInstance->dOpenDevice.fpRenderStateGet;
    ASSERT_NE(get, nullptr);
    for (GxInt32 state : {gxRENDERSTATEZWRITEENABLE, gxRENDERSTATEZTESTENABLE, gxRENDERSTATEFOGENABLE}) {
        GxUInt32 value = 1;
        get(state, &value);
        EXPECT_EQ(value, 0u) << "state " << state;
    }
}

TEST_F(InterfaceTest, StackUpdatesAndDrawsOpenCanvases)
{
    CFerroxCanvas canvas;
    FerroxWidgetRecord record = {};
    std::filesystem::create_directories(dir);
    ASSERT_TRUE(UiPicture(4, 4, {1, 2, 3, 255}).Write(Path("pic.png")));
    const std::string name = Path("pic.png");
    record.name = name.c_str();
    auto* image = new CFerroxImage();
    image->Configure(&record);
    canvas.AddWidget(image);
    Interface()->GetStack().Push(&canvas, 0);
    Interface()->Render();
    EXPECT_EQ(uiDrawRecords.size(), 1u);
    // Each update asks the canvases afresh whether a button lies under the pointer; a background is none.
    PointAt(2.0f, 2.0f);
    mouse->GetPosition()->overButton = 1;
    Interface()->Update(0.0f);
    EXPECT_EQ(mouse->GetPosition()->overButton, 0);
    EXPECT_EQ(mouse->GetPosition()->overInterface, 1);
    Interface()->GetStack().Remove(&canvas);
    canvas.Release();
}

}  // namespace
