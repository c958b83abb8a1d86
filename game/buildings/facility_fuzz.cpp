// Fuzz target of what facilities, scenery and atria read: the input's lines up to the first empty one are the
// template's values (size, cost, kind or decoration, price), the rest a facility's saved lines. Each class sets
// up from the values and is placed in the middle of a 12 x 12 ground with a storey above where it fits: a placed
// object covers cells inside the grid, each placement adds its cost once, and a scenery object's release takes
// back the rating its placement gave. The saved lines load into a facility whose saved state then loads into a
// fresh one as the same.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "engine/navigation/blockmesh.h"
#include "engine/testsupport/fuzz_files.h"
#include "engine/world/asset.h"
#include "game/buildings/facility.h"
#include "game/world/objectmgr.h"
#include "game/world/statistics.h"

namespace {

constexpr int kSide = 12;
constexpr int kCell = 2;
constexpr float kStoreyHeight = 4.0f;
// Lines the object loader reads before an object's own: floor id, storeys below, model, factory, position.
constexpr int kLoaderLines = 5;

std::string g_input;
std::string g_output;

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

// Splits the input at its first empty line: the template values before it, the saved lines after it.
std::vector<std::string> TemplateValues(const uint8_t* data, size_t size, size_t* rest)
{
    std::vector<std::string> values;
    std::string line;
    size_t i = 0;
    for (; i < size; i++) {
        const char c = static_cast<char>(data[i]);
        if (c == '\r')
            continue;
        if (c != '\n') {
            line += c;
            continue;
        }
        if (line.empty()) {
            i++;
            break;
        }
        values.push_back(line);
        line.clear();
    }
    if (i >= size && !line.empty())
        values.push_back(line);
    *rest = i;
    return values;
}

// Sets the object up from the template and places it in the middle of the ground where it fits.
void PlaceInTheMiddle(CPathableObject* object, CFerroxAssetSet* set, CFerroxBlockMesh* ground)
{
    FerroxObjectDescriptor descriptor = {};
    descriptor.assetSet = set;
    descriptor.floorObject = ground;
    object->Setup(&descriptor);
    GxV3d middle = {};
    Check(ground->GetCellPosition(ground->GetCellIndex(kSide / 2, kSide / 2, 1), &middle, 1) != nullptr);
    if (object->SetGridPosition(middle, ground) != 0 || !object->CanPlace(nullptr, ground->GetUpper()))
        return;
    CStatistics* statistics = CDynamicObjectManager::PeekStatistics();
    const uint32_t costs = statistics->m_buildingCosts;
    CPlacementRecord record = {nullptr, nullptr, set, 1, ground};
    if (!object->Place(&record))
        return;
    Check(object->IsPlaced() &&
          ground->IsAreaInside(object->GetFirstCell(), object->GetRows(), object->GetColumns(), 1));
    Check(statistics->m_buildingCosts == costs + static_cast<uint16_t>(object->GetValue()));
}

// Saves the facility and loads what it wrote into a fresh one, past the loader's lines.
void CheckReload(CUsableObject* facility)
{
    CFerroxFile out;
    Check(out.Open(g_output.c_str(), 0) == 0);
    facility->Save(&out);
    Check(out.Close() == 0);
    CFerroxFile in;
    Check(in.Open(g_output.c_str(), 1) == 0);
    std::string line;
    for (int i = 0; i < kLoaderLines; i++)
        in.ReadLine(line);
    CUsableObject again;
    again.SetEffectKind(kEffectFire);
    again.Load(&in);
    in.Close();
    Check(again.GetUseCount() == facility->GetUseCount() && again.GetDayStamp() == facility->GetDayStamp() &&
          again.IsEffectOn() == facility->IsEffectOn());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    if (!GxFuzzFilesStart())
        std::abort();
    g_input = GxFuzzScratchPath("ferrox_facility_in");
    g_output = GxFuzzScratchPath("ferrox_facility_out");
    CDynamicObjectManager::Instance();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    size_t rest = 0;
    CFerroxAssetSet set;
    set.GetValues() = TemplateValues(data, size, &rest);
    GxFuzzScratchWrite(g_input, data + rest, size - rest);

    CFerroxTileRecord tile = {nullptr};
    CFerroxBlockMesh ground;
    Check(ground.Create(kSide, kSide, {0.0f, 0.0f, 0.0f}, kCell, 1) != 0);
    ground.SetRangeTileEx(&tile, 0, kSide * kSide - 1, 1, 0, nullptr);
    Check(ground.BuildStoreyAbove(kStoreyHeight, &tile, nullptr) == 0);
    std::unique_ptr<CFerroxBlockMesh> upper(ground.GetUpper());
    CStatistics* statistics = CDynamicObjectManager::PeekStatistics();
    statistics->Init();

    {
        CSceneryObject scenery;
        const int16_t rating = statistics->m_ratingPlus;
        PlaceInTheMiddle(&scenery, &set, &ground);
        const bool placed = scenery.IsPlaced() != 0;
        const int32_t decoration = scenery.GetDecoration();
        scenery.Release();
        // The rating saturates: a decoration past its range does not come back whole.
        if (placed && rating + decoration <= INT16_MAX)
            Check(statistics->m_ratingPlus == rating);
    }
    {
        CAtriumObject atrium;
        PlaceInTheMiddle(&atrium, &set, &ground);
    }
    CUsableObject facility;
    facility.SetEffectKind(kEffectFire);
    PlaceInTheMiddle(&facility, &set, &ground);
    CFerroxFile file;
    Check(file.Open(g_input.c_str(), 1) == 0);
    facility.Load(&file);
    file.Close();
    CheckReload(&facility);
    return 0;
}
