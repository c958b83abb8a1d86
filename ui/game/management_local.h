// Shared helpers of the management panels: the statistics, the interface's fonts and numbers drawn with them.
#pragma once

#include <string>

#include "engine/application/mouse.h"
#include "engine/data/locale.h"
#include "game/world/objectmgr.h"
#include "game/world/statistics.h"
#include "ui/game/ingame.h"
#include "ui/game/pictures_local.h"
#include "ui/toolkit/font.h"

namespace management {

constexpr FerroxColour kWhite = {255, 255, 255, 255};
constexpr FerroxColour kGrey = {190, 190, 190, 255};
constexpr FerroxColour kRed = {255, 0, 0, 255};
constexpr FerroxColour kGreen = {0, 255, 0, 255};
constexpr FerroxColour kYellow = {255, 255, 0, 255};
constexpr FerroxColour kOrange = {255, 128, 0, 255};
constexpr float kMiddleX = 400.0f;
constexpr int32_t kFullVolume = 255;
constexpr const char* kBarPicture = "./images/panels/main/base/bar.png";

inline CFerroxFont* Font(int32_t index)
{
    CInterface* ui = InterfaceGet();
    return ui ? ui->GetFont(index) : nullptr;
}

inline int16_t FindList(const char* name)
{
    CFerroxLocale* locale = FerroxGameLocale();
    return locale ? locale->FindTextList(name) : kFerroxNoTextList;
}

// Draws the text with the interface's font; a missing font draws nothing.
inline void DrawString(int32_t font, const std::string& text, float x, float y, int32_t alignment)
{
    CFerroxFont* chosen = Font(font);
    if (!chosen)
        return;
    chosen->DrawWideText(std::u16string(text.begin(), text.end()).c_str(), x, static_cast<int>(y), 0, alignment,
                         kMiddleX, 0, nullptr);
}

inline void DrawNumber(int32_t font, int64_t value, float x, float y, int32_t alignment)
{
    DrawString(font, std::to_string(value), x, y, alignment);
}

// Catalogue text through the locale, which draws nothing without a font.
inline void DrawListText(int32_t font, int16_t list, uint16_t index, float x, float y)
{
    if (CFerroxLocale* locale = FerroxGameLocale())
        locale->DrawText(Font(font), list, index, x, static_cast<int>(y), 0, FERROX_ALIGN_LEFT, kMiddleX, 0, nullptr);
}

// The per-category level k, -1 past the end of the list.
inline int32_t CategoryLevel(const CStatistics* stats, size_t k)
{
    return stats && k < stats->m_categories.size() ? stats->m_categories[k] : -1;
}

}  // namespace management
