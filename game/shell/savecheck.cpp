// Whether a loaded game saves what its save held; see game/shell/savecheck.h.
#include "game/shell/savecheck.h"

#include <sstream>
#include <vector>

#include "engine/data/convert.h"
#include "engine/navigation/blockmesh.h"
#include "game/buildings/objectsreader.h"
#include "game/figures/aichar.h"
#include "game/world/factories.h"
#include "game/world/floors.h"

namespace {

// A character's lines counted from its factory's name, which ends its record's header: the floor id and the
// storey before it, then the lines the character writes, in their order.
constexpr size_t kFloorIdBack = 3;
constexpr size_t kStoreyBack = 2;
enum CharacterLine : int {
    kKeptLine = 0,
    kPositionLine,
    kCellLine,
    kStateLine,
    kAfterWalkLine,
    kTargetCellLine,
    kVisitPhaseLine,
    kSlotLine,
    kPathLine,
};
const char* const kLineNames[] = {"",       "position",    "cell", "state",        "state after its walk",
                                  "target", "visit phase", "slot", "path progress"};

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

// The saved lines, each with the character line it is (or kKeptLine) and the index of its record's factory line.
struct Roles {
    std::vector<int> line;
    std::vector<size_t> record;
};

Roles CharacterLines(const std::vector<std::string>& lines)
{
    Roles roles = {std::vector<int>(lines.size(), kKeptLine), std::vector<size_t>(lines.size(), 0)};
    bool inside = false;
    for (size_t i = 0; i < lines.size(); i++) {
        if (lines[i] == kObjectsSectionTag || lines[i] == kObjectsSectionEndTag) {
            inside = lines[i] == kObjectsSectionTag;
            continue;
        }
        if (!inside || i < kFloorIdBack || !IsCharacterFactoryName(lines[i]))
            continue;
        for (size_t at = i + kPositionLine; at <= i + kPathLine && at < lines.size(); at++) {
            roles.line[at] = static_cast<int>(at - i);
            roles.record[at] = i;
        }
    }
    return roles;
}

// Whether the cell the character at `record` was saved on is one a character may stand on in the loaded game.
bool SavedOnWalkableCell(const std::vector<std::string>& saved, size_t record, CFloorManager* floors)
{
    int id = 0, storey = 0, cell = 0;
    if (!floors || record + kCellLine >= saved.size() || !FromString<int>(saved[record - kFloorIdBack], id) ||
        !FromString<int>(saved[record - kStoreyBack], storey) || !FromString<int>(saved[record + kCellLine], cell))
        return true;
    CFerroxBlockMesh* ground = floors->FindBaseFloor(id);
    CFerroxBlockMesh* mesh = ground && storey >= 0 ? ground->GetLinked(storey) : nullptr;
    return !mesh || !mesh->IsValidCell(cell, 0) || mesh->GetBlock(cell)->IsWalkable();
}

// Whether a load may have given the line of the character at `record` the value `now`.
bool Replanned(const std::vector<std::string>& saved, size_t record, int line, const std::string& now,
               CFloorManager* floors)
{
    const bool guard = saved[record] == kSecurityFactoryName;
    int target = -1;
    switch (line) {
    case kPositionLine:
    case kCellLine:
        return !SavedOnWalkableCell(saved, record, floors);
    case kStateLine:
        // A walk or a visit starts again from the pause, or from the path search when the target is kept.
        if (now == ToString<unsigned short>(AI_STATE_PAUSE))
            return true;
        return !guard && now == ToString<unsigned short>(AI_STATE_FIND_PATH) &&
               record + kTargetCellLine < saved.size() && FromString<int>(saved[record + kTargetCellLine], target) &&
               target >= 0;
    case kAfterWalkLine:
        return now == ToString<unsigned short>(AI_STATE_PAUSE);
    case kVisitPhaseLine:
        return now == ToString<unsigned short>(kVisitStart);
    case kPathLine:
        return now == ToString<float>(0.0f);
    case kTargetCellLine:
        return guard && now == ToString<int>(-1);
    case kSlotLine:
        return guard && now == ToString<short>(-1);
    default:
        return false;
    }
}

std::string Quoted(const std::vector<std::string>& lines, size_t i)
{
    return i < lines.size() ? "\"" + lines[i] + "\"" : std::string("the end");
}

}  // namespace

std::string SavedGameChange(const std::string& saved, const std::string& resaved, CFloorManager* floors)
{
    const std::vector<std::string> before = Lines(saved);
    const std::vector<std::string> after = Lines(resaved);
    const Roles roles = CharacterLines(before);
    const size_t count = before.size() > after.size() ? before.size() : after.size();
    for (size_t i = 0; i < count; i++) {
        if (i < before.size() && i < after.size()) {
            if (before[i] == after[i])
                continue;
            const int line = roles.line[i];
            if (line != kKeptLine && Replanned(before, roles.record[i], line, after[i], floors))
                continue;
        }
        std::string what = "line " + std::to_string(i + 1);
        if (i < before.size() && roles.line[i] != kKeptLine)
            what += " (" + before[roles.record[i]] + ", " + kLineNames[roles.line[i]] + ")";
        return what + ": " + Quoted(before, i) + " became " + Quoted(after, i);
    }
    return std::string();
}
