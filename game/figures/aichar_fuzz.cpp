// Fuzz target of the characters' saved lines: any bytes load into a shopper and a criminal on a floor without
// harm, and a shopper that loaded saves text that loads and saves again as the same text.
#include <cstdlib>
#include <memory>
#include <string>

#include "engine/navigation/blockmesh.h"
#include "engine/testsupport/fuzz_files.h"
#include "game/figures/criminal.h"
#include "game/figures/shopper.h"

namespace {

// Lines the object loader reads before a character's own: floor id, storeys below, model, factory.
constexpr int kLoaderLines = 4;
constexpr int kSide = 8;

std::string g_input;
std::string g_output;
CFerroxBlockMesh* g_floor = nullptr;
std::unique_ptr<CFerroxObject> g_wall;
std::unique_ptr<CFerroxObject> g_mat;

std::string SaveText(CAICharacter& character)
{
    CFerroxFile out;
    if (out.Open(g_output.c_str(), 0) != 0)
        std::abort();
    character.Save(&out);
    if (out.Close() != 0)
        std::abort();
    CFerroxFile in;
    if (in.Open(g_output.c_str(), 1) != 0)
        std::abort();
    std::string text;
    for (std::string line; !in.IsEof();)
        text += in.ReadLine(line) + "\n";
    in.Close();
    return text;
}

int LoadSaved(CAICharacter& character)
{
    CFerroxFile in;
    if (in.Open(g_output.c_str(), 1) != 0)
        std::abort();
    std::string line;
    for (int i = 0; i < kLoaderLines; i++)
        in.ReadLine(line);
    const int result = character.Load(&in);
    in.Close();
    return result;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    if (!GxFuzzFilesStart())
        std::abort();
    g_input = GxFuzzScratchPath("ferrox_aichar_in");
    g_output = GxFuzzScratchPath("ferrox_aichar_out");
    g_floor = new CFerroxBlockMesh();
    const GxV3d origin = {0.0f, 0.0f, 0.0f};
    if (g_floor->Create(kSide, kSide, origin, 1, 1) != 1)
        std::abort();
    // Occupants that are no walk-to objects: one blocking a cell, one lying on a walkable cell.
    g_wall.reset(new CFerroxObject());
    g_mat.reset(new CFerroxObject());
    g_floor->PlaceObject(10, g_wall.get(), 1, 1, 1);
    g_floor->PlaceObject(12, g_mat.get(), 1, 1, 0);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    GxFuzzScratchWrite(g_input, data, size);
    CShopper shopper;
    shopper.SetBlockGrid(g_floor);
    CCriminal criminal;
    criminal.SetBlockGrid(g_floor);
    int shopperResult = 1;
    for (CAICharacter* character : {static_cast<CAICharacter*>(&shopper), static_cast<CAICharacter*>(&criminal)}) {
        CFerroxFile file;
        if (file.Open(g_input.c_str(), 1) != 0)
            std::abort();
        const int result = character->Load(&file);
        file.Close();
        if (character == &shopper)
            shopperResult = result;
        character->HandleEvent(-1);
    }
    if (shopperResult != 0 || shopper.m_removeFlag)
        return 0;
    const std::string second = SaveText(shopper);
    // A character that keeps itself out of saves (one leaving, say) writes nothing to read back.
    if (second.empty())
        return 0;
    CShopper again;
    again.SetBlockGrid(g_floor);
    if (LoadSaved(again) != 0)
        std::abort();
    again.HandleEvent(-1);
    if (SaveText(again) != second)
        std::abort();
    return 0;
}
