// The game's level manager: the game's world, the game type, and the "<LEVEL>" section.
#include "game/world/levelmanager.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/application/base.h"
#include "engine/data/convert.h"
#include "engine/data/file.h"
#include "engine/data/tagtree.h"
#include "game/world/floors.h"
#include "game/world/world.h"

namespace {

const char* const kLineEnd = "\r\n";

std::string WithoutLineEnd(const char* value)
{
    std::string text = value ? value : "";
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return text;
}

// A number whose decimal text a child's name holds, with that child's place in the block.
struct NamedNumber {
    int64_t value;
    size_t child;
};

size_t DigitCount(int64_t value)
{
    size_t digits = 1;
    for (; value >= 10; value /= 10)
        digits++;
    return digits;
}

// Every number of `digits` digits from 0 to `highest` that `name` holds as a number's text (no leading 0 unless
// it is 0), as far as a text search of the name reaches (its first NUL).
void AppendNamed(const char* name, size_t child, size_t digits, int64_t highest, std::vector<NamedNumber>* out)
{
    const size_t length = std::strlen(name);
    size_t run = 0;  // digits ending at `end`
    for (size_t end = 0; end < length; end++) {
        run = std::isdigit(static_cast<unsigned char>(name[end])) ? run + 1 : 0;
        if (run < digits)
            continue;
        const size_t first = end + 1 - digits;
        if (digits > 1 && name[first] == '0')
            continue;
        int64_t value = 0;
        for (size_t i = first; i <= end; i++)
            value = value * 10 + (name[i] - '0');
        if (value <= highest)
            out->push_back({value, child});
    }
}

// The level the scan from `highest` down to 0 picks: the first number whose child (the first one whose name holds
// its text, as the tag tree's search finds it) has a path holding `saved`; -1 when none does. Only a number that
// the name of a child with such a path holds can be picked, and a longer text is a larger number: so the names
// are read once for each length, longest first, and only those numbers sorted with the first child holding each,
// which costs what the block holds however large the total.
int PickLevel(const CFerroxTagNode* block, int highest, const std::string& saved)
{
    const std::vector<CFerroxTagNode*>& children = block->children;
    std::vector<bool> holdsSaved(children.size());
    for (size_t child = 0; child < children.size(); child++) {
        const CFerroxTagValues& values = children[child]->values;
        holdsSaved[child] = !values.empty() && WithoutLineEnd(values[0].c_str()).find(saved) != std::string::npos;
    }
    const auto byValueThenChild = [](const NamedNumber& a, const NamedNumber& b) {
        return a.value != b.value ? a.value > b.value : a.child < b.child;
    };
    for (size_t digits = DigitCount(highest); highest >= 0 && digits >= 1; digits--) {
        std::vector<NamedNumber> wanted;
        for (size_t child = 0; child < children.size(); child++) {
            if (holdsSaved[child])
                AppendNamed(children[child]->name.c_str(), child, digits, highest, &wanted);
        }
        if (wanted.empty())
            continue;
        std::sort(wanted.begin(), wanted.end(), byValueThenChild);
        std::vector<NamedNumber> numbers;
        for (size_t child = 0; child < children.size(); child++)
            AppendNamed(children[child]->name.c_str(), child, digits, highest, &numbers);
        const auto unwanted = [&wanted](const NamedNumber& number) {
            return !std::binary_search(wanted.begin(), wanted.end(), NamedNumber{number.value, 0},
                                       [](const NamedNumber& a, const NamedNumber& b) { return a.value > b.value; });
        };
        numbers.erase(std::remove_if(numbers.begin(), numbers.end(), unwanted), numbers.end());
        std::sort(numbers.begin(), numbers.end(), byValueThenChild);
        for (size_t i = 0; i < numbers.size(); i++) {
            const bool first = i == 0 || numbers[i].value != numbers[i - 1].value;
            if (first && holdsSaved[numbers[i].child])
                return static_cast<int>(numbers[i].value);
        }
    }
    return -1;
}

}  // namespace

CLevelManager::~CLevelManager() {}

int CLevelManager::CreateWorld() { return Create(); }

int CLevelManager::Create()
{
    if (!m_pWorld)
        m_pWorld = std::make_unique<CWorld>();
    return CFerroxLevelManager::Create();
}

int CLevelManager::ReadGameType()
{
    CFerroxTagTree* setup = g_pFerroxSetupTree;
    if (!setup || !setup->FindNode(kGameDataNode, 1) || !setup->FindChild(kGameTypeNode))
        return 1;
    const char* value = setup->GetValue(0);
    if (!value)
        return 1;
    std::string type = value;
    if (!type.empty() && type.back() == '\n')
        type.pop_back();
    if (!setup->FindChild(type.c_str()) || !setup->GetValue(0))
        return 1;
    FromString<int>(setup->GetValue(0), m_level);
    return 1;
}

void CLevelManager::Save(CFerroxFile* file)
{
    if (!file)
        return;
    const char* name = m_pWorld ? m_pWorld->GetName() : nullptr;
    file->WriteLine(std::string(kLevelTag) + kLineEnd);
    file->WriteLine(std::string(name ? name : "") + kLineEnd);
    file->WriteLine(std::string(kLevelEndTag) + kLineEnd);
}

void CLevelManager::Load(CFerroxFile* file) { LoadLevel(file); }

bool CLevelManager::LoadLevel(CFerroxFile* file)
{
    CFerroxTagFile* tagFile = dynamic_cast<CFerroxTagFile*>(file);
    if (!tagFile || tagFile->SeekTag(kLevelTag) != 0)
        return true;
    std::string saved;
    tagFile->ReadLine(saved);
    saved = WithoutLineEnd(saved.c_str());
    // Without a level list no name can be judged. An empty name is held by every path: the highest level.
    CFerroxTagTree* setup = g_pFerroxSetupTree;
    if (!setup || !setup->FindNode(kLevelDataNode, 1))
        return true;
    CFerroxTagNode* block = setup->GetCursor();
    // A "total" that is missing or holds no number reads as 0: the scan looks at level 0 alone.
    int total = 0;
    if (setup->FindChild(kLevelTotalNode) && setup->GetValue(0))
        FromString<int>(setup->GetValue(0), total);
    const int level = PickLevel(block, total, saved);
    if (level < 0)
        return false;
    m_level = level;
    return true;
}

uint16_t CGameObjectSeam::GetFloorIndex(CFerroxBlockGrid* storey)
{
    return m_pFloors ? m_pFloors->GetFloorIndex(dynamic_cast<CFerroxBlockMesh*>(storey)) : kNoFloorIndex;
}

const char* CGameObjectSeam::GetWorldName()
{
    CFerroxWorld* world = m_pLevel ? m_pLevel->GetWorld() : nullptr;
    return world ? world->GetName() : nullptr;
}
