// The level manager base: level number, world file lookup in the settings and the world's lifetime.
#include "engine/world/level.h"

#include "engine/data/context.h"
#include "engine/data/tagtree.h"
#include "engine/world/world.h"
#include "gfx/core/assert.h"

namespace {

constexpr int32_t kFirstLevel = 1;
const char* const kLevelBlock = "Level_Data";
const char* const kFallbackLevel = "0";

}  // namespace

bool FerroxLevelPath(CFerroxTagTree* setup, int32_t level, std::string* path)
{
    if (!setup || !path || !setup->FindNode(kLevelBlock, 1))
        return false;
    CFerroxTagNode* block = setup->GetCursor();
    if (!setup->FindChild(std::to_string(level).c_str())) {
        setup->SetCursor(block);
        if (!setup->FindChild(kFallbackLevel))
            return false;
    }
    const char* value = setup->GetValue(0);
    if (!value)
        return false;
    *path = value;
    if (!path->empty() && path->back() == '\n')
        path->pop_back();
    return true;
}

CFerroxLevelManager::CFerroxLevelManager() : m_level(kFirstLevel) {}

CFerroxLevelManager::~CFerroxLevelManager() { CFerroxLevelManager::Release(); }

void CFerroxLevelManager::Load(CFerroxFile*) {}
void CFerroxLevelManager::Save(CFerroxFile*) {}
CFerroxWorld* CFerroxLevelManager::GetWorld() { return m_pWorld.get(); }
void CFerroxLevelManager::SetLevel(int32_t level) { m_level = level; }
int32_t CFerroxLevelManager::GetLevel() { return m_level; }
int CFerroxLevelManager::ReservedSlot7() { return 0; }
int CFerroxLevelManager::ReservedSlot8() { return 0; }
int CFerroxLevelManager::ReadGameType() { return 0; }

int CFerroxLevelManager::Create()
{
    std::string path;
    if (!m_pWorld || !FerroxLevelPath(g_pFerroxSetupTree, m_level, &path))
        return 0;
    return m_pWorld->Create(path.c_str(), nullptr);
}

int CFerroxLevelManager::UnloadLevel()
{
    m_pWorld.reset();
    return 1;
}

void CFerroxLevelManager::Update(float dt)
{
    GX_ASSERT(m_pWorld, "a level is loaded before it is updated");
    m_pWorld->Update(dt);
}

void CFerroxLevelManager::Release() { UnloadLevel(); }

// A world still held is deleted, not lost.
void CFerroxLevelManager::Init()
{
    m_pWorld = nullptr;
    m_level = kFirstLevel;
}
