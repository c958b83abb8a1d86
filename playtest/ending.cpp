// What the scripted runs read of a game's ending; see playtest/ending.h.
#include "playtest/ending.h"

#include "engine/data/locale.h"
#include "game/shell/game.h"
#include "game/shell/sound.h"
#include "platform/fmod/fmod_testing.h"
#include "ui/frontend/endgame.h"
#include "ui/game/ingame.h"

namespace {

constexpr const char* kEndGameTexts = "endgamemessages";

}  // namespace

EndingShown EndingRead()
{
    EndingShown ending;
    CInterface* ui = InterfaceGet();
    auto* canvas = ui ? dynamic_cast<CEndGameCanvas*>(ui->m_pEndGameCanvas.get()) : nullptr;
    if (!canvas || !ui->GetStack().HasModal() || ui->GetStack().GetTopModal() != canvas)
        return ending;
    ending.shown = true;
    ending.message = canvas->m_messageIndex;
    auto* locale = g_pGame ? dynamic_cast<CLocale*>(g_pGame->GetLocale()) : nullptr;
    if (locale)
        ending.text = locale->GetText(locale->FindTextList(kEndGameTexts), static_cast<uint16_t>(ending.message));
    return ending;
}

uint32_t EndingSoundStarts(int32_t effect)
{
    CSoundManager* sound = g_pGame ? g_pGame->GetSoundManager() : nullptr;
    if (!sound || effect < 0 || static_cast<size_t>(effect) >= sound->m_effects.size())
        return 0;
    return FSOUND_SampleStarts(sound->m_effects[static_cast<size_t>(effect)]->sample);
}
