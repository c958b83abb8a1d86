// The floor manager drawing five storeys of 64 x 64 cells with debris on the software device (log off), against a
// baseline that draws the same cells and debris one strip per cell, measured in the same run. Target: under 2 ms.
#include <benchmark/benchmark.h>

#include <vector>

#include "engine/world/object.h"
#include "game/world/floors.h"
#include "game/world/floors_testing.h"
#include "gfx/core/frame.h"
#include "gfx/core/raster.h"
#include "gfx/d3d9/d3d9_testing.h"
#include "gfx/d3d9/im3d.h"
#include "gfx/testsupport/demo_scene.h"
#include "gfx/testsupport/engine_fixture.h"
#include "gfx/world/world.h"
#include "platform/testsupport/softdevice.h"

namespace {

constexpr int kSide = 64;
constexpr int kCellSize = 2;
constexpr int kTileTypes = 4;
// Tiles change every eight cells along a row; one cell in sixteen shows debris.
constexpr int kTileRun = 8;
constexpr int kDebrisEvery = 16;
constexpr GxInt32 kView = 160;
constexpr float kCameraHeight = 150.0f;
constexpr GxUInt32 kWhite = 0xFFFFFFFFu;

GxCamera* g_camera = nullptr;

bool Started()
{
    static const bool started = [] {
        GxTestEngineSetup setup;
        setup.width = kView;
        setup.height = kView;
        setup.arenaSize = 0x1000000;
        setup.firstVideoMode = true;
        setup.files = false;
        setup.plugins = [] { return GxWorldPluginAttach() != 0; };
        if (!GxTestProcessEngineStart(setup)) {
            return false;
        }
        D3D9SoftSetLogging(GxD3D9Device(), false);
        g_camera = GxTestCameraCreate(kView, kView);
        if (!g_camera)
            return false;
        // Above the middle of the grid, looking down.
        GxFrame* frame = static_cast<GxFrame*>(g_camera->object.object.parent);
        const GxV3d xAxis = {1.0f, 0.0f, 0.0f};
        const GxV3d above = {kSide * kCellSize / 2.0f, kCameraHeight, -kSide * kCellSize / 2.0f};
        GxFrameRotate(frame, &xAxis, 90.0f, 0);
        GxFrameTranslate(frame, &above, 2);
        return true;
    }();
    return started;
}

// A small flat square at the position it was moved to, standing in for a debris model.
class Debris : public CFerroxObject {
public:
    void Translate(const GxV3d* vector, int) override { m_at = *vector; }
    int Render() override
    {
        GxIm3DVertex v[4] = {};
        const float h = 0.3f;
        const float corners[4][2] = {{-h, -h}, {h, -h}, {-h, h}, {h, h}};
        for (int i = 0; i < 4; i++) {
            v[i].objVertex = {m_at.x + corners[i][0], m_at.y + 0.05f, m_at.z + corners[i][1]};
            v[i].color = kWhite;
        }
        if (GxIm3DTransform(v, 4, nullptr, 0)) {
            GxIm3DRenderPrimitive(gxPRIMTYPETRISTRIP);
            GxIm3DEnd();
        }
        return 1;
    }

private:
    GxV3d m_at = {0, 0, 0};
};

struct Mall {
    CFloorManager floors;
    std::vector<CFloorTile> tiles;
    std::vector<GxRaster*> rasters;

    bool Build()
    {
        for (int i = 0; i < kTileTypes; i++) {
            GxRaster* raster = GxRasterCreate(4, 4, 32, gxRASTERTYPETEXTURE | gxRASTERFORMAT8888);
            if (!raster)
                return false;
            rasters.push_back(raster);
            CFloorTile tile = {};
            tile.raster = raster;
            tiles.push_back(tile);
        }
        if (!floors.AddBaseFloor(kSide, kSide, {1.0f, 0.0f, -1.0f}, kCellSize, 1))
            return false;
        for (int storey = 0; storey < kMaxFloors; storey++) {
            CFerroxBlockMesh* mesh = floors.FindBaseFloor(1)->GetLinked(storey);
            for (int cell = 0; cell < kSide * kSide; cell += kTileRun)
                mesh->SetRangeTileEx(&tiles[(cell / kTileRun + storey) % kTileTypes], cell, cell + kTileRun - 1, 1, 0,
                                     nullptr);
            for (int cell = kSide + 1; cell < kSide * (kSide - 1); cell += kDebrisEvery)
                mesh->OccupyCell(cell);
            if (storey + 1 < kMaxFloors)
                floors.AddFloor();
        }
        for (int i = 0; i < kDebrisModels; i++)
            CFloorManagerTesting::SetDebrisObject(&floors, static_cast<size_t>(i), std::make_unique<Debris>());
        floors.GoToFloor(kMaxFloors - 1, nullptr);
        return floors.GetBuiltFloors() == kMaxFloors;
    }
    ~Mall()
    {
        floors.Clear();
        for (GxRaster* raster : rasters)
            GxRasterDestroy(raster);
    }
};

// The same storeys drawn one strip per cell, and the same debris.
void DrawCellByCell(CFloorManager& floors)
{
    for (CFerroxBlockMesh* storey = floors.FindBaseFloor(1); storey; storey = storey->GetUpper()) {
        const GxIm3DVertex* vertices = storey->GetVertices();
        const int pairs = kSide + 1;
        for (int cell = 0; cell < kSide * kSide; cell++) {
            CFerroxTileRecord* tile = storey->GetTile(cell);
            if (!tile)
                continue;
            const int row = cell / kSide;
            const int column = cell % kSide;
            GxRenderStateSet(gxRENDERSTATETEXTURERASTER, tile->raster);
            GxIm3DVertex quad[4];
            for (int k = 0; k < 4; k++)
                quad[k] = vertices[(row * pairs + column) * 2 + k];
            if (GxIm3DTransform(quad, 4, nullptr, gxIM3DVERTEXUV)) {
                GxIm3DRenderPrimitive(gxPRIMTYPETRISTRIP);
                GxIm3DEnd();
            }
        }
        for (int32_t cell : storey->GetOccupiedList()) {
            GxV3d position;
            if (storey->GetCellPosition(cell, &position, 0)) {
                CFerroxObject* debris = floors.GetDebris()[CFloorManager::DebrisFor(cell)].get();
                debris->Translate(&position, 0);
                debris->Render();
            }
        }
    }
}

// Frames of the five storeys, drawn cell by cell for the baseline or by the floors themselves.
void DrawFrames(benchmark::State& state, bool cellByCell)
{
    if (!Started()) {
        state.SkipWithError("engine did not start on the software device");
        return;
    }
    Mall mall;
    if (!mall.Build()) {
        state.SkipWithError("the storeys were not built");
        return;
    }
    for (auto _ : state) {
        GxCameraBeginUpdate(g_camera);
        if (cellByCell)
            DrawCellByCell(mall.floors);
        else
            mall.floors.Render();
        GxCameraEndUpdate(g_camera);
    }
    state.counters["storeys"] = mall.floors.GetBuiltFloors();
}

void BM_FloorsCellByCellBaseline(benchmark::State& state) { DrawFrames(state, true); }

void BM_FloorsFiveStoreysWithDebris(benchmark::State& state) { DrawFrames(state, false); }

}  // namespace

BENCHMARK(BM_FloorsCellByCellBaseline)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FloorsFiveStoreysWithDebris)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
