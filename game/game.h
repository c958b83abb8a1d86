// The game object as the mall's figures read it, and the notice seam through which the game tells the player.
//
// The game module owns the mall simulation: the game object, the statistics, the scenario conditions and the
// canvas stack the interface routes through (game/stack.h), the sound manager (game/sound.h) and the object
// manager with its factories and templates (game/objectmgr.h, game/factories.h, game/templates.h). It calls the
// engine (engine/*) and, for sound, platform/fmod; the interface above reaches it through these classes, and the
// game reaches the interface only through the notice seam below, which the interface installs. Sound effects go
// through the seam too when one is installed; its default plays them on the game's sound manager. Threading: one thread runs
// everything. Ownership: the game is a singleton made by CGame::Instance and reached through g_pGame; the
// notice seam is installed by its owner, which keeps it alive while installed.
//
// CGame here holds what the figures read (day counter, new-day flag, start year and month), the selected object
// that removals clear, and the sound manager (game/sound.h); the other managers it owns arrive with their own
// subjects.
#pragma once

#include <cstdint>

#include "engine/base.h"

// A yes-button action of the confirmation panel.
typedef void (*GameConfirmCallback)();

class CSoundManager;
class CFerroxObject;

// Calls that tell the player: the interface's message queue and confirmation panel, and sound effects.
class CGameNotices {
public:
    virtual ~CGameNotices() = default;
    // In-game message n: entry n of the text catalogue's "InGameMessages" list.
    virtual void QueueMessage(int16_t number) = 0;
    // Pushes the confirmation panel modally and hands it the question and the action of its yes button.
    virtual void AskConfirmation(GameConfirmCallback yes, uint16_t textIndex, int16_t list, int32_t closeBoth,
                                 const char* extraText) = 0;
    // A sound effect by index at a volume of 1 to 255; by default the game's sound manager plays it.
    virtual void PlaySample(int32_t sample, int32_t volume);
    // Takes the shopper, shop and staff popups off the canvas stack; nothing by default.
    virtual void ClosePopups() {}
};

// Start of a new game's calendar.
constexpr uint16_t kGameStartMonth = 1;
constexpr uint16_t kGameStartYear = 2004;

class CGame : public CFerroxGame {
public:
    // Creates the game on the first call and writes it to out and to the global game pointers.
    static CGame* Instance(CFerroxGame** out);
    // Deletes the game and clears out and the global game pointers.
    static void DestroyInstance(CFerroxGame** out);

    CGame();
    void Init() override;
    void Release() override;
    ~CGame() override;

    // The installed notice seam, or null: then nothing is told.
    CGameNotices* GetNotices() const { return m_pNotices; }
    void SetNotices(CGameNotices* notices) { m_pNotices = notices; }
    void QueueMessage(int16_t number);
    // Through the notice seam when one is installed, else straight to the sound manager.
    void PlaySample(int32_t sample, int32_t volume);
    // The interface's click: effect 0 at full volume.
    void PlayDefaultSample() override;
    CSoundManager* GetSoundManager() const { return m_pSoundManager; }
    // Clears the selected object, marks the selection changed and closes the popups that show a record.
    void ClosePopups();

    uint16_t m_startMonth;
    uint16_t m_startYear;
    uint16_t m_dayCounter;   // game days elapsed
    int32_t m_newDay;        // 1 during the frame in which a day ended
    CSoundManager* m_pSoundManager;   // owned; closed and deleted at Release
    CFerroxObject* m_pSelectedObject;   // chosen with the left button; null
    int32_t m_selectionChanged;         // 1 in the frame the selected object changed

private:
    CGameNotices* m_pNotices;
};

// The game, or null before CGame::Instance.
extern CGame* g_pGame;
