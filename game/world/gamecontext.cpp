// The published game context and the notice seam's default sound.
#include "game/world/gamecontext.h"

CGameContext* g_pGameContext = nullptr;

void CGameNotices::PlaySample(int32_t sample, int32_t volume)
{
    if (g_pGameContext)
        g_pGameContext->PlaySoundManagerSample(sample, volume);
}
