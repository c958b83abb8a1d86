// Fuzz target of a staff member's saved lines: any bytes load into each trade without harm, and what a loaded
// member saves loads into a fresh one and saves the same text again.
#include <cstdlib>
#include <string>

#include "engine/navigation/blockmesh.h"
#include "engine/testsupport/fuzz_files.h"
#include "game/figures/staff.h"

namespace {

constexpr int kSide = 16;
// Lines the object loader reads before a character's own: floor id, storeys below, model, factory.
constexpr int kLoaderLines = 4;

std::string g_input;
std::string g_output;
CFerroxBlockMesh* g_pGround = nullptr;

template <typename T>
void SetUp(T* member)
{
    FerroxObjectDescriptor descriptor = {};
    descriptor.floorObject = g_pGround;
    member->Setup(&descriptor);
}

std::string Saved(CStaff* member)
{
    CFerroxFile out;
    if (out.Open(g_output.c_str(), 0) != 0)
        std::abort();
    member->Save(&out);
    if (out.Close() != 0)
        std::abort();
    CFerroxFile in;
    std::string text;
    if (in.Open(g_output.c_str(), 1) != 0)
        std::abort();
    for (std::string line; !in.IsEof();)
        text += in.ReadLine(line) + "\n";
    in.Close();
    return text;
}

// Loads past the lines the object loader reads first.
int Load(CStaff* member, const std::string& path, int skipped)
{
    CFerroxFile file;
    if (file.Open(path.c_str(), 1) != 0)
        std::abort();
    std::string line;
    for (int i = 0; i < skipped; i++)
        file.ReadLine(line);
    const int result = member->Load(&file);
    file.Close();
    return result;
}

template <typename T>
void Check()
{
    T member;
    SetUp(&member);
    if (Load(&member, g_input, 0) != 0)
        return;
    if (!(member.m_workTimer >= 0.0f && member.m_workTimer <= member.m_workTime))
        std::abort();
    const std::string text = Saved(&member);
    T again;
    SetUp(&again);
    if (Load(&again, g_output, kLoaderLines) != 0 || Saved(&again) != text)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    if (!GxFuzzFilesStart())
        std::abort();
    g_input = GxFuzzScratchPath("ferrox_staff_in");
    g_output = GxFuzzScratchPath("ferrox_staff_out");
    g_pGround = new CFerroxBlockMesh();
    const GxV3d origin = {0.0f, 0.0f, 0.0f};
    if (g_pGround->Create(kSide, kSide, origin, 1, 1) != 1)
        std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    GxFuzzScratchWrite(g_input, data, size);
    Check<CCleaner>();
    Check<CMaintenance>();
    Check<CSecurity>();
    return 0;
}
