// Fuzz target of the "<MAP>" section: any file loads into a level's ground floor with the built storeys held
// within the storeys read and the maximum, and what is then saved reads into a fresh level as the same section.
#include <cstdlib>
#include <string>

#include "engine/data/file.h"
#include "engine/testsupport/fuzz_files.h"
#include "game/world/floors.h"

namespace {

constexpr int kSide = 6;
constexpr int kCell = 2;

std::string g_input;
std::string g_output;

void AddGround(CFloorManager* floors)
{
    if (!floors->AddBaseFloor(kSide, kSide, {0.0f, 0.0f, 0.0f}, kCell, 1))
        std::abort();
}

std::string Save(CFloorManager& floors)
{
    return FerroxFuzzSavedText(g_output, nullptr, [&](CFerroxFile* file) { return floors.Save(file) == 0; });
}

int Storeys(CFloorManager& floors)
{
    int count = 0;
    for (CFerroxBlockMesh* s = floors.GetBaseFloors()[0].get(); s; s = s->GetUpper())
        count++;
    return count;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    if (!GxFuzzFilesStart())
        std::abort();
    g_input = GxFuzzScratchPath("ferrox_map_in");
    g_output = GxFuzzScratchPath("ferrox_map_out");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    GxFuzzScratchWrite(g_input, data, size);
    CFloorManager floors;
    AddGround(&floors);
    CFerroxTagFile file;
    if (file.Open(g_input.c_str(), 1) != 0)
        std::abort();
    floors.Load(&file);
    file.Close();
    const int storeys = Storeys(floors);
    if (floors.GetBuiltFloors() < 1 || floors.GetBuiltFloors() > kMaxFloors || floors.GetBuiltFloors() > storeys ||
        storeys > kMaxFloors)
        std::abort();
    floors.GoToFloor(kMaxFloors, nullptr);
    floors.UpdatePick({2.0f, 0.0f, -2.0f});
    floors.AddFloor();

    const std::string first = Save(floors);
    CFloorManager again;
    AddGround(&again);
    CFerroxTagFile saved;
    if (saved.Open(g_output.c_str(), 1) != 0)
        std::abort();
    again.Load(&saved);
    saved.Close();
    if (Save(again) != first)
        std::abort();
    return 0;
}
