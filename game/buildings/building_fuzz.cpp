// Fuzz target of a building object's saved lines: any bytes load into a shop and a facility without harm, and
// what each then saves loads into a fresh one as the same state.
#include <cstdlib>
#include <string>

#include "engine/testsupport/fuzz_files.h"
#include "game/buildings/facility.h"
#include "game/buildings/shop.h"

namespace {

// Lines the object loader reads before an object's own: floor id, storeys below, model, factory, position.
constexpr int kLoaderLines = 5;

std::string g_input;
std::string g_output;

bool SameShop(CShop& a, CShop& b)
{
    const ShopRecord& x = a.GetRecord();
    const ShopRecord& y = b.GetRecord();
    return a.GetDayStamp() == b.GetDayStamp() && a.IsEffectOn() == b.IsEffectOn() && x.balance == y.balance &&
           x.salesCount == y.salesCount && x.chargeAdjust == y.chargeAdjust && x.takingsTotal == y.takingsTotal &&
           x.chargesPaid == y.chargesPaid && x.paymentCount == y.paymentCount && x.shopNumber == y.shopNumber;
}

// Saves the object and loads what it wrote into the fresh one, past the loader's lines.
void Reload(CBaseObject* object, CBaseObject* fresh)
{
    CFerroxFile out;
    if (out.Open(g_output.c_str(), 0) != 0)
        std::abort();
    object->Save(&out);
    if (out.Close() != 0)
        std::abort();
    CFerroxFile in;
    if (in.Open(g_output.c_str(), 1) != 0)
        std::abort();
    std::string line;
    for (int i = 0; i < kLoaderLines; i++)
        in.ReadLine(line);
    fresh->Load(&in);
    in.Close();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    if (!GxFuzzFilesStart())
        std::abort();
    g_input = GxFuzzScratchPath("ferrox_building_in");
    g_output = GxFuzzScratchPath("ferrox_building_out");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    GxFuzzScratchWrite(g_input, data, size);
    CShop shop;
    shop.SetEffectKind(kEffectFire);
    CUsableObject facility;
    facility.SetEffectKind(kEffectFire);
    for (CBaseObject* object : {static_cast<CBaseObject*>(&shop), static_cast<CBaseObject*>(&facility)}) {
        CFerroxFile file;
        if (file.Open(g_input.c_str(), 1) != 0)
            std::abort();
        object->Load(&file);
        file.Close();
    }

    CShop shopAgain;
    shopAgain.SetEffectKind(kEffectFire);
    Reload(&shop, &shopAgain);
    if (!SameShop(shop, shopAgain))
        std::abort();
    CUsableObject facilityAgain;
    facilityAgain.SetEffectKind(kEffectFire);
    Reload(&facility, &facilityAgain);
    if (facility.GetUseCount() != facilityAgain.GetUseCount() ||
        facility.GetDayStamp() != facilityAgain.GetDayStamp() || facility.IsEffectOn() != facilityAgain.IsEffectOn())
        std::abort();
    return 0;
}
