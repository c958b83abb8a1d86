// Checks of a save or scenario file that the content tests make; the program does not link it.
#include <string>

#include "engine/data/convert.h"
#include "engine/data/file.h"
#include "game/shell/savegame.h"
#include "game/shell/savegame_local.h"
#include "game/world/levelmanager.h"
#include "game/world/statistics.h"

int GameFileHoldsSection(CFerroxTagFile* file)
{
    for (const char* tag : kSectionTags) {
        if (file->SeekTag(tag) == 0)
            return 1;
    }
    return 0;
}

int GameFileRefusedValues(CFerroxTagFile* file)
{
    if (!file)
        return 0;
    CLevelManager levels;
    int refused = levels.LoadLevel(file) ? 0 : 1;
    if (file->SeekTag(kGameDataTag) == 0) {
        std::string line;
        for (int i = 0; i < kGameDataValues; i++) {
            unsigned short value = 0;
            refused += !file->IsEof() && FromString<unsigned short>(file->ReadLine(line), value) ? 0 : 1;
        }
    }
    CStatistics statistics;
    statistics.Load(file, &refused);
    return refused;
}
