// What the scripted runs read of a game's ending; see playtest/ending.h.
#include "playtest/ending.h"

#include "engine/data/locale.h"
#include "game/shell/game.h"
#include "game/shell/sound.h"
#include "ui/frontend/endgame.h"
#include "ui/game/ingame.h"

namespace {

constexpr const char* kEndGameTexts = "endgamemessages";

bool EndsWith(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

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

uint32_t EndingSoundStarts(const char* fileName)
{
    CSoundManager* sound = g_pGame ? g_pGame->GetSoundManager() : nullptr;
    uint32_t starts = 0;
    if (!sound || !fileName)
        return 0;
    for (const auto& effect : sound->m_effects) {
        if (effect && EndsWith(effect->path, std::string("/") + fileName))
            starts += effect->starts;
    }
    return starts;
}
