// The game's level manager: the game's world, the game type, and the "<LEVEL>" section.
#include "game/world/levelmanager.h"

#include <cctype>
#include <cstdint>
#include <memory>
#include <set>
#include <string>

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

// The numbers from 0 to `highest` whose decimal text some child's name contains.
std::set<int> NumbersNamed(const CFerroxTagNode* block, int highest)
{
    std::set<int> numbers;
    for (const CFerroxTagNode* child : block->children) {
        const std::string& name = child->name;
        for (size_t first = 0; first < name.size(); first++) {
            if (!std::isdigit(static_cast<unsigned char>(name[first])))
                continue;
            // A number's text starts with no 0 unless it is 0.
            int64_t value = 0;
            for (size_t i = first; i < name.size() && std::isdigit(static_cast<unsigned char>(name[i])); i++) {
                value = value * 10 + (name[i] - '0');
                if (value > highest)
                    break;
                numbers.insert(static_cast<int>(value));
                if (name[first] == '0')
                    break;
            }
        }
    }
    return numbers;
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
    const std::string type = WithoutLineEnd(setup->GetValue(0));
    if (type.empty() || !setup->FindChild(type.c_str()))
        return 1;
    int level = 0;
    if (FromString<int>(WithoutLineEnd(setup->GetValue(0)), level))
        m_level = level;
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
    int total = -1;
    if (!setup->FindChild(kLevelTotalNode) || !FromString<int>(WithoutLineEnd(setup->GetValue(0)), total))
        return true;
    // Only the numbers some entry's name holds can be found: those, from the total down, stand for the whole
    // count, which may be far larger than the block.
    const std::set<int> numbers = NumbersNamed(block, total);
    for (auto n = numbers.rbegin(); n != numbers.rend(); ++n) {
        setup->SetCursor(block);
        if (!setup->FindChild(std::to_string(*n).c_str()))
            continue;
        if (WithoutLineEnd(setup->GetValue(0)).find(saved) != std::string::npos) {
            m_level = *n;
            return true;
        }
    }
    return false;
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
