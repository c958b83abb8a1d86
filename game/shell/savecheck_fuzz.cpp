// Fuzz target of the check of a loaded game's save: any two texts (split at the first NUL byte, else the input
// and its first half) are compared without a crash, over a storey with cells no one stands on, and a text always
// keeps what it holds.
#include <cstdlib>
#include <memory>
#include <string>

#include "engine/navigation/blockmesh.h"
#include "game/shell/savecheck.h"
#include "game/world/floors.h"

namespace {

constexpr int kSide = 8;
constexpr int kCellSize = 2;
constexpr int kFloorId = 1;
constexpr int kBlockedEvery = 3;

std::unique_ptr<CFloorManager> g_floors;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    g_floors = std::make_unique<CFloorManager>();
    if (!g_floors->AddBaseFloor(kSide, kSide, {0.0f, 0.0f, 0.0f}, kCellSize, kFloorId))
        std::abort();
    CFerroxBlockMesh* ground = g_floors->FindBaseFloor(kFloorId);
    for (int cell = 0; cell < kSide * kSide; cell += kBlockedEvery)
        ground->GetBlock(cell)->SetState(FERROX_BLOCK_BLOCKED);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);
    const size_t split = input.find('\0');
    const std::string saved = split == std::string::npos ? input : input.substr(0, split);
    const std::string resaved = split == std::string::npos ? input.substr(0, size / 2) : input.substr(split + 1);
    SavedGameChange(saved, resaved, g_floors.get());
    SavedGameChange(resaved, saved, nullptr);
    if (!SavedGameChange(saved, saved, g_floors.get()).empty())
        std::abort();
    return 0;
}
