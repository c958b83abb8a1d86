// Helpers shared by the cards and the summaries: the figures' font, number drawing and the statistics.
#pragma once

#include <memory>
#include <string>

#include "game/world/objectmgr.h"
#include "game/world/statistics.h"
#include "ui/game/ingame.h"
#include "ui/game/pictures_local.h"
#include "ui/toolkit/font.h"

namespace popups {

constexpr int32_t kFiguresFont = 2;
constexpr float kMiddleX = 400.0f;
constexpr FerroxColour kWhite = {255, 255, 255, 255};
constexpr FerroxColour kBlue = {0, 0, 255, 255};
constexpr FerroxColour kRed = {255, 0, 0, 255};
constexpr FerroxColour kOrange = {255, 128, 0, 255};

// The figures' font of the interface; null when it has none, and then nothing is written.
inline CFerroxFont* FiguresFont()
{
    CInterface* ui = InterfaceGet();
    return ui ? ui->GetFont(kFiguresFont) : nullptr;
}

inline void DrawNumber(CFerroxFont* font, int64_t value, float x, float y, int32_t alignment = FERROX_ALIGN_RIGHT)
{
    if (!font)
        return;
    const std::string text = std::to_string(value);
    font->DrawWideText(std::u16string(text.begin(), text.end()).c_str(), x, static_cast<int>(y), 0, alignment, kMiddleX,
                       0, nullptr);
}

// Draws table entry index; an index outside the table draws nothing.
inline void DrawEntry(const std::vector<std::unique_ptr<CFerroxImage>>& table, size_t index, float x, float y)
{
    if (index < table.size() && table[index])
        table[index]->Draw(x, y);
}

}  // namespace popups
