// Test support of the block grid: grids drawn as text.
#pragma once

#include <string>
#include <vector>

#include "engine/navigation/blockgrid.h"

// A square grid of cells of size 2 drawn one row per line: '#' blocked, 'S' start, 'G' goal, anything else free.
struct FerroxDrawnGrid {
    CFerroxBlockGrid grid;
    int start = -1;
    int goal = -1;
    explicit FerroxDrawnGrid(const std::vector<std::string>& rows)
    {
        const int n = static_cast<int>(rows.size());
        grid.Create(n, n, {0, 0, 0}, 2, 0);
        for (int cell = 0; cell < n * n; cell++) {
            const char ch = rows[cell / n][cell % n];
            if (ch == '#')
                grid.GetBlock(cell)->SetState(FERROX_BLOCK_BLOCKED);
            start = ch == 'S' ? cell : start;
            goal = ch == 'G' ? cell : goal;
        }
    }
    int Cell(int row, int column) { return row * grid.GetColumns() + column; }
};
