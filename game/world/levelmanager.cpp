// The game's level manager: the game's world, the game type, and the "<LEVEL>" section.
#include "game/world/levelmanager.h"

#include <memory>
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

}  // namespace

CLevelManager::~CLevelManager() {}

CWorld* CLevelManager::GetGameWorld() { return dynamic_cast<CWorld*>(m_pWorld.get()); }

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
    // No level number can exceed the entries the block has.
    const int entries = static_cast<int>(block->children.size());
    for (int n = total < entries ? total : entries; n >= 0; n--) {
        setup->SetCursor(block);
        if (!setup->FindChild(std::to_string(n).c_str()))
            continue;
        if (WithoutLineEnd(setup->GetValue(0)).find(saved) != std::string::npos) {
            m_level = n;
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
