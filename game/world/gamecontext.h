// The running game as the rooms below the shell read it, and the notice seam through which the game tells the
// player.
//
// The game module's rooms stand world < buildings < figures < shell, each including only itself and those before
// it. The game object (CGame, game/shell/game.h) sits in the shell on top; it implements CGameContext and
// publishes it as g_pGameContext beside g_pGame, so that the world, the buildings and the figures read its
// calendar and tell the player through it alone. The notice seam is installed on the game by the interface,
// which keeps it alive while installed. One thread; g_pGameContext is null while no game is published.
#pragma once

#include <cstdint>

class CFerroxObject;
class CFerroxWorld;

// A yes-button action of the confirmation panel.
typedef void (*GameConfirmCallback)();

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

class CGameContext {
public:
    // Game days elapsed.
    virtual uint16_t GetDayCounter() = 0;
    // 1 during the in-game frame in which a day ended.
    virtual int32_t IsNewDay() = 0;
    // Through the notice seam; dropped while a load rebuilds the game: what its past posted is no news.
    virtual void QueueMessage(int16_t number) = 0;
    // Through the notice seam when one is installed, else straight to the game's sound manager.
    virtual void PlaySample(int32_t sample, int32_t volume) = 0;
    // On the game's sound manager alone, when it has one: what the notice seam does by default.
    virtual void PlaySoundManagerSample(int32_t sample, int32_t volume) = 0;
    // The world of the running level, or null.
    virtual CFerroxWorld* GetWorld() = 0;
    // The object chosen with the left button, or null.
    virtual CFerroxObject* GetSelectedObject() = 0;
    // Clears the selected object, marks the selection changed and closes the popups that show a record.
    virtual void ClosePopups() = 0;

protected:
    ~CGameContext() = default;
};

extern CGameContext* g_pGameContext;
