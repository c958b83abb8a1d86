// Picture tables of the panels: images made from a list of pictures, owned by their panel and freed together.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "ui/toolkit/widget.h"

template <size_t N>
void AddPictures(std::vector<std::unique_ptr<CFerroxImage>>& table, const char* const (&pictures)[N],
                 int32_t scaled = 0)
{
    for (const char* picture : pictures)
        table.emplace_back(FerroxMakeImage(picture, 0.0f, 0.0f, scaled));
}
