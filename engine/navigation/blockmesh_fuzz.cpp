// Fuzz target of the block mesh reader: any "<MESH>" text loads into at most five storeys, each above the one
// below it, without harm.
#include <cstdlib>
#include <string>

#include "engine/data/file.h"
#include "engine/navigation/blockmesh.h"
#include "engine/testsupport/fuzz_files.h"

namespace {

std::string g_input;
CFerroxTileRecord g_tiles[4];

CFerroxTileRecord* FromText(int value, CFerroxTileRecord* defaultTile)
{
    return value >= 0 && value < 4 ? &g_tiles[value] : defaultTile;
}

int ToText(CFerroxTileRecord* tile) { return tile == nullptr ? -1 : static_cast<int>(tile - g_tiles); }

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    if (!GxFuzzFilesStart())
        std::abort();
    g_input = GxFuzzScratchPath("ferrox_mesh_in");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    GxFuzzScratchWrite(g_input, data, size);
    CFerroxBlockMesh ground;
    if (!ground.Create(6, 6, {0, 0, 0}, 2, 0))
        std::abort();
    CFerroxFile file;
    if (file.Open(g_input.c_str(), 1) != 0)
        std::abort();
    ground.Load(&file, FromText, nullptr);
    file.Close();
    if (ground.GetLinked(FERROX_MAX_STOREYS) != nullptr)
        std::abort();
    // Every storey read stands above the one below it.
    for (int n = 1; ground.GetLinked(n) != nullptr; n++) {
        if (!(ground.GetLinked(n)->GetOrigin().y > ground.GetLinked(n - 1)->GetOrigin().y))
            std::abort();
    }
    if (file.Open(g_input.c_str(), 0) != 0)
        std::abort();
    ground.Save(&file, ToText);
    file.Close();
    for (int n = FERROX_MAX_STOREYS - 1; n >= 1; n--)
        delete ground.GetLinked(n);
    return 0;
}
