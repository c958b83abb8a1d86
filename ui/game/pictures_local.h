// Picture tables of the panels: images made from a list of pictures, owned by their panel and freed together.
#pragma once

#include <cstddef>
#include <vector>

#include "ui/toolkit/widget.h"

template <size_t N>
void AddPictures(std::vector<CFerroxImage*>& table, const char* const (&pictures)[N], int32_t scaled = 0)
{
    for (const char* picture : pictures)
        table.push_back(FerroxMakeImage(picture, 0.0f, 0.0f, scaled));
}

inline void DeletePictures(std::vector<CFerroxImage*>& table)
{
    for (CFerroxImage* image : table)
        delete image;
    table.clear();
}
