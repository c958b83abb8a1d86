// Tests of the block mesh: save text, two storeys read back identical, tile ranges, storeys and the vertices drawn.
#include "engine/navigation/blockmesh.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/data/file.h"
#include "engine/testsupport/graphics.h"

namespace {

CFerroxTileRecord gTiles[3];

int TileToText(CFerroxTileRecord* tile) { return tile == nullptr ? 0 : static_cast<int>(tile - gTiles) + 1; }

CFerroxTileRecord* TileFromText(int value, CFerroxTileRecord* defaultTile)
{
    if (value == 9) {
        return defaultTile;
    }
    return value >= 1 && value <= 3 ? &gTiles[value - 1] : nullptr;
}

std::vector<int> gVisited;
void Visit(int cell) { gVisited.push_back(cell); }

int KeepShops(CFerroxBase* occupant, int, int untiled) { return untiled ? occupant != nullptr : occupant == nullptr; }

class BlockMeshTest : public FerroxGraphicsTest {
protected:
    std::string SaveText(CFerroxBlockMesh& mesh)
    {
        const std::string path = Path("mesh.txt");
        CFerroxFile file;
        EXPECT_EQ(0, file.Open(path.c_str(), 0));
        EXPECT_EQ(1, mesh.Save(&file, TileToText));
        file.Close();
        return ReadFile(path);
    }
    int LoadText(CFerroxBlockMesh& mesh, const std::string& text)
    {
        const std::string path = Path("load.txt");
        WriteFile(path, text);
        CFerroxFile file;
        EXPECT_EQ(0, file.Open(path.c_str(), 1));
        const int result = mesh.Load(&file, TileFromText, &gTiles[2]);
        file.Close();
        return result;
    }
    // Deletes the storeys above a ground mesh.
    static void DropStoreys(CFerroxBlockMesh& ground)
    {
        for (int n = 5; n >= 1; n--) {
            delete ground.GetLinked(n);
        }
    }
};

TEST_F(BlockMeshTest, SaveTextOfEqualAndAlternatingTiles)
{
    CFerroxBlockMesh mesh;
    ASSERT_EQ(1, mesh.Create(3, 3, {0, 0, 0}, 2, 0));
    mesh.ClearArea(0, 3, 3, 1, &gTiles[1]);
    EXPECT_EQ("<MESH>\r\n0.00000\r\n<SUBMESH>\r\n2,9\r\n\r\n</SUBMESH>\r\n</MESH>\r\n", SaveText(mesh));

    CFerroxBlockMesh stripes;
    ASSERT_EQ(1, stripes.Create(3, 3, {0, 0, 0}, 2, 0));
    EXPECT_EQ(0, stripes.SetRangeTileEx(&gTiles[0], 0, 0, 0, 0, nullptr));
    EXPECT_EQ(0, stripes.SetRangeTileEx(&gTiles[0], 2, 2, 0, 0, nullptr));
    EXPECT_EQ(0, stripes.SetRangeTileEx(&gTiles[2], 1, 1, 0, 0, nullptr));
    stripes.OccupyCell(4);
    EXPECT_EQ("<MESH>\r\n0.00000\r\n<SUBMESH>\r\n1,1\r\n3,1\r\n1,1\r\n0,6\r\n4\r\n</SUBMESH>\r\n</MESH>\r\n",
              SaveText(stripes));
}

TEST_F(BlockMeshTest, SaveReportsAFailedWrite)
{
    CFerroxBlockMesh mesh;
    ASSERT_EQ(1, mesh.Create(3, 3, {0, 0, 0}, 2, 0));
    const std::string path = Path("mesh.txt");
    WriteFile(path, "old");
    CFerroxFile file;
    ASSERT_EQ(0, file.Open(path.c_str(), 0));
    {
        FerroxFailWritesAfter full(3);
        EXPECT_EQ(0, mesh.Save(&file, TileToText));
    }
    EXPECT_EQ(1, file.Close());
    EXPECT_EQ("old", ReadFile(path));
    EXPECT_EQ(0, mesh.Save(&file, TileToText));  // nothing open
}

TEST_F(BlockMeshTest, TwoStoreysReadBackIdentical)
{
    CFerroxBlockMesh ground;
    ASSERT_EQ(1, ground.Create(6, 6, {10, 3, 20}, 2, 1));
    ground.ClearArea(0, 6, 6, 1, &gTiles[0]);
    ground.SetRangeTileEx(&gTiles[1], 7, 16, 0, 0, nullptr);
    ground.OccupyCell(8);
    ground.OccupyCell(21);
    ASSERT_EQ(0, ground.BuildStoreyAbove(4.0f, &gTiles[2], nullptr));
    CFerroxBlockMesh* upper = ground.GetUpper();
    ASSERT_NE(nullptr, upper);
    upper->SetRangeTileEx(nullptr, 14, 15, 1, 0, nullptr);
    upper->SetRangeState(0, 35, FERROX_BLOCK_FREE, 0);
    upper->SetRangeState(14, 15, FERROX_BLOCK_BLOCKED, 0);
    upper->OccupyCell(22);
    const std::string text = SaveText(ground);
    EXPECT_NE(std::string::npos, text.find("\r\n4.00000\r\n"));  // the storey's height above the ground

    CFerroxBlockMesh loaded;
    ASSERT_EQ(1, loaded.Create(6, 6, {10, 3, 20}, 2, 1));
    ASSERT_EQ(1, LoadText(loaded, text));
    ASSERT_NE(nullptr, loaded.GetUpper());
    EXPECT_EQ(nullptr, loaded.GetLinked(2));
    EXPECT_EQ(1, loaded.GetUpper()->CountLinked());
    EXPECT_FLOAT_EQ(7.0f, loaded.GetUpper()->GetOrigin().y);
    for (int n = 0; n < 2; n++) {
        for (int cell = 0; cell < 36; cell++) {
            EXPECT_EQ(ground.GetLinked(n)->GetTile(cell), loaded.GetLinked(n)->GetTile(cell)) << n << " " << cell;
            EXPECT_EQ(ground.GetLinked(n)->GetBlock(cell)->m_state, loaded.GetLinked(n)->GetBlock(cell)->m_state)
                << n << " " << cell;
        }
        EXPECT_EQ(ground.GetLinked(n)->GetOccupiedList(), loaded.GetLinked(n)->GetOccupiedList());
    }
    EXPECT_EQ(text, SaveText(loaded));
    DropStoreys(ground);
    DropStoreys(loaded);
}

TEST_F(BlockMeshTest, LoadChainsAStoreyAtEachNonZeroHeightAndRefusesBadInput)
{
    // A height of 0 reads on into the mesh read last: no storey is made for it.
    CFerroxBlockMesh flat;
    ASSERT_EQ(1, flat.Create(3, 3, {0, 0, 0}, 2, 0));
    ASSERT_EQ(1, LoadText(flat, "<MESH>\r\n0.00000\r\n<SUBMESH>\r\n1,9\r\n\r\n</SUBMESH>\r\n"
                                "0.00000\r\n<SUBMESH>\r\n3,9\r\n\r\n</SUBMESH>\r\n</MESH>\r\n"));
    EXPECT_EQ(nullptr, flat.GetUpper());
    EXPECT_EQ(&gTiles[2], flat.GetTile(4));

    CFerroxBlockMesh mesh;
    ASSERT_EQ(1, mesh.Create(3, 3, {0, 0, 0}, 2, 0));
    // A storey written at height 4 has blocked holes where it has no tile.
    ASSERT_EQ(1, LoadText(mesh, "<MESH>\r\n0.00000\r\n<SUBMESH>\r\n1,9\r\n\r\n</SUBMESH>\r\n"
                                "4.00000\r\n<SUBMESH>\r\n0,4\r\n2,4\r\n9,1\r\n4\r\n</SUBMESH>\r\n</MESH>\r\n"));
    CFerroxBlockMesh* upper = mesh.GetUpper();
    ASSERT_NE(nullptr, upper);
    EXPECT_FLOAT_EQ(4.0f, upper->GetOrigin().y);
    EXPECT_EQ(FERROX_BLOCK_BLOCKED, upper->GetBlock(3)->m_state);
    EXPECT_EQ(FERROX_BLOCK_OCCUPIED, upper->GetBlock(4)->m_state);
    EXPECT_EQ(&gTiles[1], upper->GetTile(7));
    EXPECT_EQ(&gTiles[2], upper->GetTile(8));  // the caller's default
    DropStoreys(mesh);

    // Seven storeys written: five read. Bad and negative runs are ignored.
    std::string many = "<MESH>\r\n";
    for (int s = 0; s < 7; s++) {
        many += std::to_string(s * 4) + ".00000\r\n<SUBMESH>\r\nx,y\r\n1,-5\r\n1,100\r\n\r\n</SUBMESH>\r\n";
    }
    many += "</MESH>\r\n";
    CFerroxBlockMesh tall;
    ASSERT_EQ(1, tall.Create(3, 3, {0, 0, 0}, 2, 0));
    ASSERT_EQ(1, LoadText(tall, many));
    EXPECT_NE(nullptr, tall.GetLinked(4));
    EXPECT_EQ(nullptr, tall.GetLinked(5));
    EXPECT_EQ(&gTiles[0], tall.GetLinked(4)->GetTile(8));
    DropStoreys(tall);

    // Storeys that do not rise are a damaged map: refused, with nothing made at or under a storey read before.
    for (const char* second : {"-4", "4"}) {
        CFerroxBlockMesh sunk;
        ASSERT_EQ(1, sunk.Create(3, 3, {0, 0, 0}, 2, 0));
        const std::string text =
            std::string("<MESH>\r\n0\r\n<SUBMESH>\r\n1,9\r\n\r\n</SUBMESH>\r\n4\r\n<SUBMESH>\r\n1,9\r\n"
                        "\r\n</SUBMESH>\r\n") +
            second + "\r\n<SUBMESH>\r\n2,9\r\n\r\n</SUBMESH>\r\n</MESH>\r\n";
        EXPECT_EQ(0, LoadText(sunk, text)) << second;
        ASSERT_NE(nullptr, sunk.GetUpper()) << second;
        EXPECT_EQ(nullptr, sunk.GetLinked(2)) << second;
        EXPECT_EQ(&gTiles[0], sunk.GetUpper()->GetTile(4)) << second;
        DropStoreys(sunk);
    }

    // Heights with no storey body after them make no storey grids.
    std::string heights = "<MESH>\r\n0.00000\r\n<SUBMESH>\r\n1,9\r\n\r\n</SUBMESH>\r\n4\r\n8\r\n12\r\n";
    CFerroxBlockMesh bare;
    ASSERT_EQ(1, bare.Create(3, 3, {0, 0, 0}, 2, 0));
    EXPECT_EQ(1, LoadText(bare, heights));
    EXPECT_EQ(nullptr, bare.GetUpper());
    EXPECT_EQ(&gTiles[0], bare.GetTile(4));
    DropStoreys(bare);
    // The shortest body a storey can have is enough.
    CFerroxBlockMesh shortest;
    ASSERT_EQ(1, shortest.Create(3, 3, {0, 0, 0}, 2, 0));
    EXPECT_EQ(1, LoadText(shortest, "<MESH>\n0\n<SUBMESH>\n1,9\n\n</SUBMESH>\n4\n<SUBMESH>\n0,1\n\n</SUBMESH>\n"));
    EXPECT_NE(nullptr, shortest.GetUpper());
    DropStoreys(shortest);

    // Cut short anywhere: no crash, no endless loop.
    const std::string whole = "<MESH>\r\n0.00000\r\n<SUBMESH>\r\n1,9\r\n4\r\n</SUBMESH>\r\n"
                              "4.00000\r\n<SUBMESH>\r\n2,9\r\n4\r\n</SUBMESH>\r\n</MESH>\r\n";
    for (size_t cut = 0; cut < whole.size(); cut += 3) {
        CFerroxBlockMesh part;
        ASSERT_EQ(1, part.Create(3, 3, {0, 0, 0}, 2, 0));
        LoadText(part, whole.substr(0, cut));
        DropStoreys(part);
    }
    CFerroxBlockMesh none;
    EXPECT_EQ(0, none.Load(nullptr, TileFromText));
}

TEST_F(BlockMeshTest, TileRangesSkipCoveredCellsAndVacateUpperFloors)
{
    Named balcony("balcony rail"), shop("shop unit");
    CFerroxBlockMesh ground;
    ASSERT_EQ(1, ground.Create(6, 6, {0, 0, 0}, 2, 0));
    ground.PlaceObject(7, &balcony, 1, 1, 0);
    ground.PlaceObject(8, &shop, 1, 1, 1);
    gVisited.clear();
    EXPECT_EQ(0, ground.SetRangeTileEx(&gTiles[0], 7, 9, 0, 0, Visit));
    EXPECT_EQ(&gTiles[0], ground.GetTile(7));
    EXPECT_EQ(nullptr, ground.GetTile(8));
    EXPECT_EQ(&gTiles[0], ground.GetTile(9));
    EXPECT_EQ((std::vector<int>{7, 9}), gVisited);
    EXPECT_EQ(1, ground.SetRangeTileEx(&gTiles[0], 8, 8, 0, 0, nullptr));
    EXPECT_EQ(0, ground.SetRangeTileEx(&gTiles[1], 8, 8, 1, 0, nullptr));
    EXPECT_EQ(&gTiles[1], ground.GetTile(8));
    EXPECT_EQ(0, ground.SetRangeTileEx(&gTiles[2], 7, 9, 1, 1, nullptr));  // only empty cells
    EXPECT_EQ(&gTiles[0], ground.GetTile(7));
    EXPECT_EQ(1, ground.SetRangeTileEx(&gTiles[0], -1, 9, 1, 0, nullptr));
    EXPECT_EQ(1, ground.SetRangeTileEx(&gTiles[0], 9, 36, 1, 0, nullptr));
    EXPECT_EQ(1, ground.SetRangeTileEx(&gTiles[0], 36, 36, 1, 0, nullptr));
    EXPECT_EQ(1, ground.IsAreaTiled(7, 1, 3));
    EXPECT_EQ(0, ground.IsAreaTiled(7, 2, 3));
    EXPECT_EQ(1, ground.IsAreaTiled(7, 0, 3));
    EXPECT_EQ(0, ground.IsAreaTiled(34, 2, 3));

    // Shops hold up the floor above; untiled cells over them become walkable floor.
    ground.ClearArea(0, 6, 6, 1, &gTiles[0]);
    ASSERT_EQ(0, ground.BuildStoreyAbove(4.0f, &gTiles[2], KeepShops));
    CFerroxBlockMesh* upper = ground.GetUpper();
    EXPECT_EQ(1, ground.BuildStoreyAbove(4.0f, &gTiles[2], KeepShops));  // one storey above at most
    EXPECT_EQ(FERROX_BLOCK_FREE, upper->GetBlock(8)->m_state);
    EXPECT_EQ(&gTiles[2], upper->GetTile(8));
    EXPECT_EQ(FERROX_BLOCK_FREE, upper->GetBlock(20)->m_state);
    upper->OccupyCell(20);
    upper->OccupyCell(21);
    EXPECT_EQ(0, upper->SetRangeTile(20, 20, 0, nullptr));
    EXPECT_EQ(nullptr, upper->GetTile(20));
    EXPECT_EQ(FERROX_BLOCK_FREE, upper->GetBlock(20)->m_state);
    EXPECT_EQ(FERROX_BLOCK_DISPLACED, upper->GetBlock(20)->m_stamp);
    EXPECT_EQ(std::vector<int32_t>{21}, upper->GetOccupiedList());
    DropStoreys(ground);
}

// Free objects take only empty cells inside the border ring and leave the cells' states; clearing them keeps the
// floor's tiles.
TEST_F(BlockMeshTest, FreeObjectsTakeEmptyCellsAndClearWithoutTheirTiles)
{
    Named bench("bench"), plant("plant");
    CFerroxBlockMesh ground;
    ASSERT_EQ(1, ground.Create(6, 6, {0, 0, 0}, 2, 0));
    ground.ClearArea(0, 6, 6, 1, &gTiles[0]);
    ground.GetBlock(14)->SetState(FERROX_BLOCK_BLOCKED);
    EXPECT_EQ(0, ground.PlaceFreeObject(7, &bench, 2, 2));
    EXPECT_EQ(&bench, ground.GetBlock(14)->m_pOccupant);
    EXPECT_EQ(FERROX_BLOCK_BLOCKED, ground.GetBlock(14)->m_state);
    EXPECT_EQ(FERROX_BLOCK_FREE, ground.GetBlock(7)->m_state);
    EXPECT_EQ(1, ground.PlaceFreeObject(8, &plant, 1, 1)) << "taken by the bench";
    EXPECT_EQ(1, ground.PlaceFreeObject(0, &plant, 1, 1)) << "on the border ring";
    EXPECT_EQ(1, ground.ClearObjects(0, 1, 1, 0));
    EXPECT_EQ(0, ground.ClearObjects(7, 2, 2, 0));
    EXPECT_EQ(nullptr, ground.GetBlock(8)->m_pOccupant);
    EXPECT_EQ(&gTiles[0], ground.GetTile(8));
    EXPECT_EQ(0, ground.PlaceFreeObject(8, &plant, 1, 1));
}

// The strips drawn from these vertices: NavDraw.FloorStripsPerRunOfEqualTilesOnTwoStoreys.
TEST_F(BlockMeshTest, VerticesCoverTheirCells)
{
    CFerroxBlockMesh mesh;
    ASSERT_EQ(1, mesh.Create(4, 4, {0, 0, 0}, 2, 0));
    const GxIm3DVertex* v = mesh.GetVertices();
    ASSERT_NE(nullptr, v);
    // Row 1, column boundary 2: the pair spans x -1+2 .. -1+4 at z 1-4.
    const GxIm3DVertex* pair = v + (1 * 5 + 2) * 2;
    EXPECT_FLOAT_EQ(1.0f, pair[0].objVertex.x);
    EXPECT_FLOAT_EQ(3.0f, pair[1].objVertex.x);
    EXPECT_FLOAT_EQ(-3.0f, pair[0].objVertex.z);
    EXPECT_FLOAT_EQ(2.0f, pair[0].u);
    EXPECT_FLOAT_EQ(1.0f, pair[0].v);
    EXPECT_FLOAT_EQ(2.0f, pair[1].v);
    EXPECT_EQ(0xFFFFFFFFu, pair[1].color);
}

}  // namespace
