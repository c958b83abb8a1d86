// Test support of the path finder: what it holds that no caller reads.
#pragma once

#include "engine/navigation/astar.h"

struct FerroxAStarTesting {
    // Nodes taken from the finder's node free list and not yet given back.
    static int LiveNodes(const CFerroxAStar& finder) { return finder.m_liveNodes; }
};
