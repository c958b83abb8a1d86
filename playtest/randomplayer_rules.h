// The mall's rules, read from the game's state after every frame of a random player's run: buildings stand on
// their storey's grid and share no cell; the balance moves only through what books it; nothing but a left press
// changes the mall while a modal canvas stays open; every object in the view has the geometry its level of detail picks. The
// checks only read; the player acts through input alone.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

class CFerroxCanvas;

class CMallRules {
public:
    // The rules by name, which a run may leave unchecked (a comma-separated list to Skip).
    // ("saves" is the player's own: a save loads back into the same mall, whose save keeps what a load keeps of
    // it, game/shell/savecheck.h; nothing a save holds is lost.)
    static constexpr const char* kRuleNames = "buildings,balance,modal,lod,saves";
    // False with the unknown name when the list names no rule.
    bool Skip(const std::string& names, std::string* unknown);

    // Input sent since the last check that may book money: a left press (a contract bought). A button held
    // presses whatever widget it comes over, so the press lasts until the release. Laid floor is booked by the
    // game's own release, read from its mouse: a panel's button the held pointer comes over ends a drag too.
    void NoteRelease() { m_held = false; }
    void NotePress() { m_pressed = m_held = true; }
    bool Checks(const char* rule) const { return m_skipped.count(rule) == 0; }
    // Checks the state after a frame of the level against the state after the last; `leaves` counts the levels
    // left so far (a load leaves one), which start the comparisons afresh. Empty when every rule holds, else the
    // first broken rule's name and what broke it.
    std::string Check(int leaves);
    // Forgets the last frame: the next check compares nothing (after a frame outside the level).
    void Forget() { m_known = false; }

    // The mall as text, independent of where its objects live in memory: storeys and their laid cells,
    // buildings, staff and the accounts. Two equal prints are one mall.
    static std::string Print();

    // The rectangle a floor drag shows: its storey (an index of the storeys), corner rows and columns, and how
    // many storeys from it up a lay may copy it to.
    struct Drag {
        int storey = -1, row0 = 0, row1 = 0, column0 = 0, column1 = 0, storeys = 0;
        int64_t Cells() const
        {
            return storey < 0 ? 0 : static_cast<int64_t>(row1 - row0 + 1) * (column1 - column0 + 1);
        }
    };

private:
    struct Figures {
        uint32_t funds, charges, bonuses, rent, wages, building, contracts, interest;
    };
    struct Frame {
        std::map<const void*, const void*> buildings;  // placed buildings and their templates
        int32_t heldValue = 0;                         // the cost shown for the object held, and its template
        const void* heldTemplate = nullptr;
        Drag drag;                      // while floor tiles are held
        bool leftDown = false;          // the game's left button
        std::vector<std::string> laid;  // per storey, '1' for a laid cell
        size_t shops = 0;
        size_t staff = 0;
        Figures figures = {};
        uint16_t day = 0;
        const void* world = nullptr;
        int leaves = 0;
        bool modal = false;
        CFerroxCanvas* topModal = nullptr;
        int modalCount = 0;
    };

    Frame Read(int leaves) const;
    std::string CheckBuildings() const;
    std::string CheckBalance(const Frame& now) const;
    bool FloorLaid(const Frame& now, int64_t charged) const;
    std::string CheckModal(const Frame& now) const;
    std::string CheckLevelsOfDetail() const;

    std::set<std::string> m_skipped;
    Frame m_last;
    bool m_known = false;
    bool m_pressed = false;
    bool m_held = false;
};
