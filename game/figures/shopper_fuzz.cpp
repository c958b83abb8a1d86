// Fuzz target of a shopper's inputs: the template values its set-up reads and the saved lines its load reads.
// The input's lines up to the first empty one are the template's values; the lines after it are read by Load
// into the shopper set up from them, as the object loader does. Whatever they hold, the set-up starts the
// shopper with full needs and patience and money in its range, and on a floor without objects its needs run
// down and its decisions go on without harm: running down never raises a need, deciding never raises patience.
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/navigation/blockmesh.h"
#include "engine/testsupport/fuzz_files.h"
#include "engine/world/asset.h"
#include "game/figures/shopper.h"

namespace {

constexpr int kSide = 8;
constexpr int kSteps = 64;
constexpr uint16_t kMoneyLow = 250;
constexpr uint16_t kMoneyHigh = 1250;
constexpr uint16_t kStarSigns = 12;
constexpr uint16_t kArrivalModes = 4;

std::string g_input;
CFerroxBlockMesh* g_pFloor = nullptr;

bool SetUpFully(const ShopperRecord& r)
{
    return r.S == kNeedFull && r.E == kNeedFull && r.B == kNeedFull && r.H == kPatienceFull && r.M >= kMoneyLow &&
           r.M < kMoneyHigh && r.starSign < kStarSigns && r.arrival < kArrivalModes && r.visits == 0;
}

bool RanDown(const ShopperRecord& before, const ShopperRecord& after)
{
    return after.S <= before.S && after.E <= before.E && after.B <= before.B && after.H <= before.H &&
           after.M == before.M;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    if (!GxFuzzFilesStart())
        std::abort();
    g_input = GxFuzzScratchPath("ferrox_shopper_in");
    g_pFloor = new CFerroxBlockMesh();
    const GxV3d origin = {0.0f, 0.0f, 0.0f};
    if (g_pFloor->Create(kSide, kSide, origin, 1, 1) != 1)
        std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    GxFuzzScratchWrite(g_input, data, size);
    CFerroxFile file;
    if (file.Open(g_input.c_str(), 1) != 0)
        std::abort();
    std::vector<std::string> values;
    for (std::string line; !file.IsEof() && !file.ReadLine(line).empty();)
        values.push_back(line);
    CFerroxAssetSet set;
    set.AppendList(values, 0);
    FerroxObjectDescriptor descriptor = {};
    descriptor.assetSet = &set;
    descriptor.floorObject = g_pFloor;
    CShopper shopper;
    shopper.Setup(&descriptor);
    if (!SetUpFully(shopper.m_record))
        std::abort();
    const bool loaded = file.IsEof() || shopper.Load(&file) == 0;
    file.Close();
    if (!loaded)
        return 0;
    for (int step = 0; step < kSteps; step++) {
        const ShopperRecord before = shopper.m_record;
        shopper.UpdateNeeds();
        if (!RanDown(before, shopper.m_record))
            std::abort();
        const uint16_t patience = shopper.m_record.H;
        shopper.ChooseTarget();
        if (shopper.m_record.H > patience || shopper.m_plan < SHOPPER_PLAN_DECIDE ||
            shopper.m_plan > SHOPPER_PLAN_IMPATIENT)
            std::abort();
    }
    return 0;
}
