// Scalable pieces: scaled sizes, cells that balconies leave walkable, dragged rectangles.
#include "game/buildings/scalable.h"

#include "engine/testsupport/objects.h"
#include "game/buildings/building_testing.h"

namespace {

typedef BuildingTest ScalableTest;

TEST_F(ScalableTest, ScaleAndReset)
{
    Exposed<CScalableObject> piece;
    piece.SetSize(4, 4);
    piece.ResetScale();
    EXPECT_EQ(4, piece.GetSizeX()) << "reset before any scale";
    piece.SetScale({2.0f, 5.0f, 3.0f});
    EXPECT_EQ(8, piece.GetSizeX());
    EXPECT_EQ(12, piece.GetSizeZ());
    EXPECT_FLOAT_EQ(1.0f, piece.GetScale().y);
    piece.SetScale({0.0f, 1.0f, 0.0f});
    piece.ResetScale();
    EXPECT_EQ(4, piece.GetSizeX());
    EXPECT_EQ(4, piece.GetSizeZ());
    piece.SetGridPosition({8.0f, 0.0f, -8.0f}, &ground);
    EXPECT_EQ(4, piece.GetRows());
    piece.SetScale({1.5f, 1.0f, 0.5f});
    piece.UpdateFootprint();
    EXPECT_EQ(6, piece.GetRows());
    EXPECT_EQ(2, piece.GetColumns());
    piece.SetScale({3.0e30f, 1.0f, -3.0e30f});
    EXPECT_EQ(0, piece.GetSizeX());
    EXPECT_EQ(0, piece.GetSizeZ());
}

TEST_F(ScalableTest, BalconiesLeaveCellsWalkable)
{
    Exposed<CScalableObject> balcony;
    balcony.SetName("balc_edge");
    balcony.Put(&ground, Cell(4, 4), 1, 3);
    Exposed<CScalableObject> wall;
    wall.SetName("wallN");
    wall.Put(&ground, Cell(6, 4), 1, 3);
    balcony.Place(nullptr);
    wall.Place(nullptr);
    EXPECT_TRUE(ground.GetBlock(Cell(4, 5))->IsWalkable());
    EXPECT_EQ(FERROX_BLOCK_BLOCKED, ground.GetBlock(Cell(6, 5))->m_state);
    EXPECT_EQ(&wall, ground.GetBlock(Cell(6, 6))->m_pOccupant);
}

// The first cell stays at the rectangle's corner whichever way the drag ran.
TEST_F(ScalableTest, DragArea)
{
    Exposed<CScalableObject> box;
    box.SetDragArea(Cell(8, 8), &ground, {3.0f, 0.0f, 2.0f}, {1.0f, 0.0f, 1.0f});
    EXPECT_EQ(3, box.GetRows());
    EXPECT_EQ(2, box.GetColumns());
    EXPECT_EQ(Cell(6, 8), box.GetFirstCell());
    box.SetDragArea(Cell(8, 8), &ground, {3.0f, 0.0f, 2.0f}, {-1.0f, 0.0f, -1.0f});
    EXPECT_EQ(Cell(8, 7), box.GetFirstCell());
    box.SetDragArea(Cell(8, 8), &ground, {1.0e20f, 0.0f, -2.0f}, {0.0f, 0.0f, 0.0f});
    EXPECT_EQ(0, box.GetRows());
    EXPECT_EQ(0, box.GetColumns());
}

}  // namespace

// The model's geometry: scaled from the unscaled copy each time, and given back exactly by a reset,
// also after a scale of zero.
class ScalableModelTest : public FerroxObjectTest {
protected:
    static std::vector<GxV3d> Vertices(CFerroxComposite* model)
    {
        std::vector<GxV3d> out;
        GxClumpForAllAtomics(
            model->GetClump(),
            [](GxAtomic* atomic, void* data) -> GxAtomic* {
                GxGeometry* geometry = atomic->geometry;
                auto* list = static_cast<std::vector<GxV3d>*>(data);
                for (GxInt32 i = 0; i < geometry->numVertices; i++)
                    list->push_back(geometry->morphTarget[0].verts[i]);
                return atomic;
            },
            &out);
        return out;
    }
};

TEST_F(ScalableModelTest, ResetRestoresTheUnscaledGeometry)
{
    GxClump* clump = FerroxTaggedClump({"body"}, 1.0f);
    ASSERT_NE(nullptr, clump);
    std::unique_ptr<CFerroxComposite> model(FerroxModelFromClump("floor_tile", clump));
    GxClumpDestroy(clump);
    ASSERT_TRUE(model);
    FerroxModelRecord record = {1, model.get()};
    CFerroxAssetSet set;
    set.AddModel(&record);
    set.AppendList({"2", "2"}, 0);
    FerroxObjectDescriptor descriptor = {};
    descriptor.assetSet = &set;
    const std::vector<GxV3d> original = Vertices(model.get());
    ASSERT_FALSE(original.empty());
    {
        CScalableObject piece;
        piece.Setup(&descriptor);
        piece.SetScale({2.0f, 7.0f, 0.5f});
        piece.SetScale({3.0f, 1.0f, 3.0f});
        std::vector<GxV3d> scaled = Vertices(model.get());
        EXPECT_FLOAT_EQ(original[0].x * 3.0f, scaled[0].x) << "scaled from the unscaled geometry";
        EXPECT_FLOAT_EQ(original[0].y, scaled[0].y);
        piece.SetScale({0.0f, 1.0f, 0.0f});
        piece.ResetScale();
        for (int i = 0; i < 50; i++) {
            piece.SetScale({0.1f, 1.0f, 3.7f});
            piece.ResetScale();
        }
        const std::vector<GxV3d> back = Vertices(model.get());
        ASSERT_EQ(original.size(), back.size());
        for (size_t i = 0; i < back.size(); i++) {
            EXPECT_EQ(original[i].x, back[i].x) << i;
            EXPECT_EQ(original[i].z, back[i].z) << i;
        }
        piece.SetScale({4.0f, 1.0f, 4.0f});
    }
    EXPECT_EQ(original[0].x, Vertices(model.get())[0].x) << "a released piece leaves the model unscaled";
}
