// Fuzz target of the level a save names: the input's first line is the saved world name, the rest the settings
// file. The level picked is the one the scan from the total down to 0 finds (where the total is small enough to
// scan), else the level stays; it is never above the total.
#include <cstdlib>
#include <string>

#include "engine/data/convert.h"
#include "engine/data/file.h"
#include "engine/data/tagtree.h"
#include "engine/testsupport/fuzz_files.h"
#include "game/world/levelmanager.h"

namespace {

constexpr int kUnchanged = -5;
// Totals up to this are checked against the scan; larger ones only against their range.
constexpr int kScanLimit = 4096;

std::string g_save;

// The scan as it reads: from the total down to 0, the first child whose name holds the number's text, when it
// has a path and that path holds the saved name.
int ScanFromTotal(CFerroxTagTree* setup, CFerroxTagNode* block, int total, const std::string& saved)
{
    for (int n = total; n >= 0; n--) {
        setup->SetCursor(block);
        if (!setup->FindChild(std::to_string(n).c_str()) || !setup->GetValue(0))
            continue;
        std::string path = setup->GetValue(0);
        while (!path.empty() && (path.back() == '\n' || path.back() == '\r'))
            path.pop_back();
        if (path.find(saved) != std::string::npos)
            return n;
    }
    return kUnchanged;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    if (!GxFuzzFilesStart())
        std::abort();
    g_save = GxFuzzScratchPath("ferrox_levelmanager_save");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);
    const size_t end = input.find('\n');
    std::string saved;
    for (char c : input.substr(0, end))
        if (c != '\r' && c != '\0')
            saved += c;
    const std::string settings = end == std::string::npos ? std::string() : input.substr(end + 1);
    CFerroxTagTree setup;
    setup.LoadFromMemory(settings.data(), settings.size());
    g_pFerroxSetupTree = &setup;

    const std::string save = std::string(kLevelTag) + "\r\n" + saved + "\r\n";
    GxFuzzScratchWrite(g_save, reinterpret_cast<const uint8_t*>(save.data()), save.size());
    CLevelManager manager;
    manager.SetLevel(kUnchanged);
    CFerroxTagFile file;
    if (file.Open(g_save.c_str(), 1) != 0)
        std::abort();
    manager.Load(&file);
    file.Close();
    const int level = manager.GetLevel();

    if (!setup.FindNode(kLevelDataNode, 1)) {
        if (level != kUnchanged)
            std::abort();
    } else {
        CFerroxTagNode* block = setup.GetCursor();
        int total = 0;
        if (setup.FindChild(kLevelTotalNode) && setup.GetValue(0))
            FromString<int>(setup.GetValue(0), total);
        if (level != kUnchanged && (level < 0 || level > total))
            std::abort();
        if (total <= kScanLimit && level != ScanFromTotal(&setup, block, total, saved))
            std::abort();
    }
    g_pFerroxSetupTree = nullptr;
    return 0;
}
