// The check of a loaded game's save against the save it came from: the walks a load plans afresh pass, to the
// values a load gives them; every other change is named by its line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/navigation/blockmesh.h"
#include "game/shell/savecheck.h"
#include "game/world/factories.h"
#include "game/world/floors.h"

namespace {

constexpr int kSide = 12;
constexpr int kCellSize = 2;
constexpr int kFloorId = 1;
constexpr int kShopperCell = 30;
constexpr int kGuardCell = 40;

// A character's record: header, position, cell, state, state after the walk, target cell, visit phase, slot,
// path progress, presence, then its class's lines.
struct Walker {
    std::string factory;
    std::vector<std::string> lines;
};

Walker Shopper()
{
    return {kShopperFactoryName,
            {"3.00000,0.00000,-7.00000,90.0000", std::to_string(kShopperCell), "4", "5", "55", "1", "2", "0.412500",
             "2", "1", "0", "3", "31", "4", "80", "70", "60"}};
}

Walker Guard()
{
    return {kSecurityFactoryName,
            {"9.00000,0.00000,-2.00000,180.000", std::to_string(kGuardCell), "5", "5", "77", "0", "-1", "0.250000", "1",
             "2", "0", "4.50000"}};
}

// A save with a shop and the walkers in its "<OBJECTS>" section.
std::string Save(const std::vector<Walker>& walkers)
{
    std::string text = "<GAME_DATA>\r\n2005\r\n3\r\n40\r\n</GAME_DATA>\r\n<OBJECTS>\r\n";
    text += "0\r\n0\r\n./models/shops/fashion_small.gxs\r\nshopFactory\r\n5.00000,0.00000,-5.00000,0.00000\r\n"
            "0\r\n0\r\n12\r\n";
    for (const Walker& walker : walkers) {
        text += std::to_string(kFloorId) + "\r\n0\r\n./models/people/someone.gxs\r\n" + walker.factory + "\r\n";
        for (const std::string& line : walker.lines)
            text += line + "\r\n";
    }
    return text + "</OBJECTS>\r\n<STATISTICS>\r\n57\r\n</STATISTICS>\r\n";
}

// The walker's line `index` set to `value`.
Walker With(Walker walker, size_t index, const std::string& value)
{
    walker.lines[index] = value;
    return walker;
}

enum Line : size_t {
    kPosition,
    kCell,
    kState,
    kAfterWalk,
    kTarget,
    kPhase,
    kSlot,
    kPath,
    kPresence,
    kOwnLine
};

}  // namespace

// A shopper's walk starts again from its path search or its pause, from the start of its path, with the state
// after the walk and the visit phase of a pause; a guard's arrest is dropped for the pause.
TEST(SavedGameChange, WalksPlannedAfreshPassAtTheValuesALoadGives)
{
    const std::string saved = Save({Shopper(), Guard()});
    EXPECT_EQ("", SavedGameChange(saved, saved, nullptr));
    Walker searching = Shopper();
    for (auto [line, value] : {std::pair{kState, "3"}, {kAfterWalk, "1"}, {kPhase, "0"}, {kPath, "0.00000"}})
        searching = With(searching, line, value);
    Walker guard = Guard();
    for (auto [line, value] : {std::pair{kState, "1"}, {kTarget, "-1"}, {kSlot, "-1"}, {kPath, "0.00000"}})
        guard = With(guard, line, value);
    EXPECT_EQ("", SavedGameChange(saved, Save({searching, guard}), nullptr));
    EXPECT_EQ("", SavedGameChange(saved, Save({With(searching, kState, "1"), guard}), nullptr));
}

// What a load keeps is held to its bytes, and a planned field only to a load's value: each change is named by its
// line, and by the character's field when it is one.
TEST(SavedGameChange, WhatALoadKeepsIsHeldToItsBytes)
{
    const std::string saved = Save({Shopper(), Guard()});
    const Walker wanderer = With(Shopper(), kTarget, "-1");
    const struct {
        std::vector<Walker> loaded;
        const char* named;
    } changes[] = {
        {{With(Shopper(), kCell, "31"), Guard()}, "(shopperFactory, cell): \"30\" became \"31\""},
        {{With(Shopper(), kPosition, "3.50000,0.00000,-7.00000,90.0000"), Guard()}, "(shopperFactory, position)"},
        {{With(Shopper(), kTarget, "-1"), Guard()}, "(shopperFactory, target)"},
        {{With(Shopper(), kSlot, "-1"), Guard()}, "(shopperFactory, slot)"},
        {{With(Shopper(), kState, "2"), Guard()}, "(shopperFactory, state)"},
        {{With(Shopper(), kAfterWalk, "3"), Guard()}, "(shopperFactory, state after its walk)"},
        {{With(Shopper(), kPhase, "2"), Guard()}, "(shopperFactory, visit phase)"},
        {{With(Shopper(), kPath, "0.100000"), Guard()}, "(shopperFactory, path progress)"},
        {{With(Shopper(), kPresence, "1"), Guard()}, ": \"2\" became \"1\""},
        {{With(Shopper(), kOwnLine + 2, "4"), Guard()}, ": \"3\" became \"4\""},
        {{Shopper(), With(Guard(), kState, "3")}, "(securityFactory, state): \"5\" became \"3\""},
        {{Shopper()}, "became \"</OBJECTS>\""},
    };
    for (const auto& change : changes) {
        const std::string problem = SavedGameChange(saved, Save(change.loaded), nullptr);
        EXPECT_NE(std::string::npos, problem.find(change.named)) << problem;
    }
    // A wanderer's walk has no target to search a path to: it starts again from its pause only.
    EXPECT_NE("", SavedGameChange(Save({wanderer}), Save({With(wanderer, kState, "3")}), nullptr));
    // A building's line and the sections around the objects are kept too.
    std::string shop = saved;
    shop.replace(shop.find("\r\n12\r\n"), 6, "\r\n13\r\n");
    EXPECT_NE(std::string::npos, SavedGameChange(saved, shop, nullptr).find("\"12\" became \"13\""));
    std::string statistics = saved;
    statistics.replace(statistics.find("57"), 2, "58");
    EXPECT_NE("", SavedGameChange(saved, statistics, nullptr));
}

// A character saved inside an object's footprint stands at its entrance after a load: its position and cell may
// change only when the cell it was saved on is one no one stands on in the loaded game.
TEST(SavedGameChange, OnlyACharacterSavedInAFootprintMoves)
{
    CFloorManager floors;
    ASSERT_TRUE(floors.AddBaseFloor(kSide, kSide, {0.0f, 0.0f, 0.0f}, kCellSize, kFloorId));
    const std::string saved = Save({Shopper()});
    Walker moved = Shopper();
    for (auto [line, value] :
         {std::pair{kPosition, "1.00000,0.00000,-7.00000,90.0000"}, {kCell, "29"}, {kState, "1"}, {kPath, "0.00000"}})
        moved = With(moved, line, value);
    const std::string loaded = Save({moved});
    EXPECT_NE("", SavedGameChange(saved, loaded, &floors));
    floors.FindBaseFloor(kFloorId)->GetBlock(kShopperCell)->SetState(FERROX_BLOCK_BLOCKED);
    EXPECT_EQ("", SavedGameChange(saved, loaded, &floors));
}
