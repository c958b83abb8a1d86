// The engine's A* path finder against a plain array-based A* on the same grids, measured in the same run.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "engine/data/random.h"
#include "engine/navigation/astar.h"
#include "engine/navigation/blockgrid.h"
#include "gfx/core/engine.h"
#include "gfx/testsupport/engine_fixture.h"

namespace {

constexpr int kSearches = 1000;
constexpr int kWallPercent = 30;

struct Query {
    int start;
    int goal;
};

// Plain A* with the engine's rules (unit moves, no corner cutting, row-plus-column estimate,
// the same heap discipline and search limit) over per-cell arrays reused between searches.
class ReferenceAStar {
public:
    explicit ReferenceAStar(const std::vector<uint8_t>& walkable, int side)
        : m_walkable(walkable), m_side(side), m_g(walkable.size()), m_f(walkable.size()), m_parent(walkable.size()),
          m_stamp(walkable.size(), 0), m_state(walkable.size())
    {}

    // Fills the path and returns true when the goal was reached.
    bool Search(int start, int goal, std::vector<int>& path)
    {
        path.clear();
        m_generation++;
        m_open.clear();
        m_closed = 0;
        const int cells = m_side * m_side;
        Touch(start, 0, -1, goal);
        Push(start);
        while (!m_open.empty()) {
            if (m_closed > cells / 2) {
                return false;
            }
            std::pop_heap(m_open.begin(), m_open.end(), [this](int a, int b) { return m_f[a] > m_f[b]; });
            const int current = m_open.back();
            m_open.pop_back();
            if (current == goal) {
                for (int c = goal; c != -1; c = m_parent[c])
                    path.push_back(c);
                std::reverse(path.begin(), path.end());
                return true;
            }
            for (int d = 0; d < 8; d++) {
                const int next = Move(d, current);
                if (next >= 0)
                    Relax(current, next, goal);
            }
            m_state[current] = 2;
            m_closed++;
        }
        return false;
    }

private:
    static constexpr int kRow[8] = {0, 1, 1, 1, 0, -1, -1, -1};
    static constexpr int kColumn[8] = {1, 1, 0, -1, -1, -1, 0, 1};

    bool Walkable(int row, int column) const
    {
        return row >= 0 && row < m_side && column >= 0 && column < m_side && m_walkable[row * m_side + column];
    }
    int Move(int d, int cell) const
    {
        const int row = cell / m_side, column = cell % m_side;
        const int r = row + kRow[d], c = column + kColumn[d];
        if (!Walkable(r, c))
            return -1;
        if (d % 2 == 1 && (!Walkable(row, c) || !Walkable(r, column)))
            return -1;
        return r * m_side + c;
    }
    uint32_t Estimate(int cell, int goal) const
    {
        return std::abs(cell / m_side - goal / m_side) + std::abs(cell % m_side - goal % m_side);
    }
    void Touch(int cell, uint32_t g, int parent, int goal)
    {
        m_stamp[cell] = m_generation;
        m_g[cell] = g;
        m_f[cell] = g + Estimate(cell, goal);
        m_parent[cell] = parent;
        m_state[cell] = 1;
    }
    void Push(int cell)
    {
        m_open.push_back(cell);
        std::push_heap(m_open.begin(), m_open.end(), [this](int a, int b) { return m_f[a] > m_f[b]; });
    }
    void Relax(int current, int next, int goal)
    {
        const uint32_t g = m_g[current] + 1;
        const bool seen = m_stamp[next] == m_generation;
        if (seen && m_g[next] <= g)
            return;
        if (seen && m_state[next] == 1) {
            m_open.erase(std::find(m_open.begin(), m_open.end(), next));
            std::make_heap(m_open.begin(), m_open.end(), [this](int a, int b) { return m_f[a] > m_f[b]; });
        } else if (seen) {
            m_closed--;  // a closed cell reached more cheaply is open again
        }
        Touch(next, g, current, goal);
        Push(next);
    }

    const std::vector<uint8_t>& m_walkable;
    int m_side;
    std::vector<uint32_t> m_g, m_f;
    std::vector<int> m_parent;
    std::vector<uint32_t> m_stamp;
    std::vector<uint8_t> m_state;
    std::vector<int> m_open;
    int m_closed = 0;
    uint32_t m_generation = 0;
};

struct Scene {
    int side;
    CFerroxBlockGrid grid;
    std::vector<uint8_t> walkable;
    std::vector<Query> queries;

    Scene(int n, uint32_t seed) : side(n)
    {
        FerroxSrand(seed);
        grid.Create(n, n, {0, 0, 0}, 2, 0);
        walkable.assign(n * n, 1);
        std::vector<int> free;
        for (int cell = 0; cell < n * n; cell++) {
            if (FerroxRand() % 100 < kWallPercent) {
                grid.GetBlock(cell)->SetState(FERROX_BLOCK_BLOCKED);
                walkable[cell] = 0;
            } else {
                free.push_back(cell);
            }
        }
        for (int i = 0; i < kSearches; i++) {
            queries.push_back({free[FerroxRand() % free.size()], free[FerroxRand() % free.size()]});
        }
    }
};

int RunEngine(CFerroxAStar& finder, Scene& scene, const Query& q, std::vector<int>& path)
{
    int status = finder.Start(q.start, q.goal, &scene.grid, 0);
    while (status == FERROX_ASTAR_STARTED || status == FERROX_ASTAR_SEARCHING) {
        status = finder.Step();
    }
    finder.GetPath(path, 0);
    finder.ClearMap();
    return status;
}

// Both finders must give the same path (hence the same cost) for every query.
bool SamePaths(Scene& scene, CFerroxAStar& finder, ReferenceAStar& reference, int* found)
{
    std::vector<int> a, b;
    *found = 0;
    for (const Query& q : scene.queries) {
        const bool engineFound = RunEngine(finder, scene, q, a) == FERROX_ASTAR_FOUND;
        const bool referenceFound = reference.Search(q.start, q.goal, b);
        if (engineFound != referenceFound || (engineFound && a != b))
            return false;
        *found += engineFound;
    }
    return true;
}

// The engine initialised for the finder's allocations.
GxTestEngineSetup InitialisedEngine()
{
    GxTestEngineSetup setup = GxTestRecordingSetup();
    setup.arenaSize = 0;
    setup.start = false;
    return setup;
}

void BM_EngineAStar(benchmark::State& state)
{
    GxTestEngine engine(InitialisedEngine());
    Scene scene(static_cast<int>(state.range(0)), 1000 + static_cast<uint32_t>(state.range(0)));
    CFerroxAStar finder;
    finder.SetGrid(nullptr);
    ReferenceAStar reference(scene.walkable, scene.side);
    int found = 0;
    if (!SamePaths(scene, finder, reference, &found)) {
        state.SkipWithError("the engine's paths differ from the reference's");
        return;
    }
    std::vector<int> path;
    for (auto _ : state) {
        for (const Query& q : scene.queries) {
            benchmark::DoNotOptimize(RunEngine(finder, scene, q, path));
        }
    }
    state.counters["found"] = found;
    state.counters["us_per_path"] =
        benchmark::Counter(state.iterations() * kSearches, benchmark::Counter::kIsRate | benchmark::Counter::kInvert,
                           benchmark::Counter::kIs1000);
    finder.Release();
}
BENCHMARK(BM_EngineAStar)->Arg(64)->Arg(128)->Unit(benchmark::kMillisecond);

void BM_ReferenceAStar(benchmark::State& state)
{
    Scene scene(static_cast<int>(state.range(0)), 1000 + static_cast<uint32_t>(state.range(0)));
    ReferenceAStar reference(scene.walkable, scene.side);
    std::vector<int> path;
    for (auto _ : state) {
        for (const Query& q : scene.queries) {
            benchmark::DoNotOptimize(reference.Search(q.start, q.goal, path));
        }
    }
    state.counters["us_per_path"] =
        benchmark::Counter(state.iterations() * kSearches, benchmark::Counter::kIsRate | benchmark::Counter::kInvert,
                           benchmark::Counter::kIs1000);
}
BENCHMARK(BM_ReferenceAStar)->Arg(64)->Arg(128)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
