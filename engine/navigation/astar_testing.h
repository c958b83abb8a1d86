// Test support of the path finder: what it holds that no caller reads.
#pragma once

#include "engine/navigation/astar.h"
#include "gfx/core/memory.h"

struct FerroxAStarTesting {
    // Nodes taken from the finder's node free list and not yet given back.
    static int LiveNodes(const CFerroxAStar& finder)
    {
        if (!finder.NodeListAlive())
            return 0;
        int count = 0;
        GxFreeListForAllUsed(
            finder.m_pNodeList, [](void*, void* data) { ++*static_cast<int*>(data); }, &count);
        return count;
    }
};
