// The in-game panels: the main bar, the confirmation, options and message-history panels, and the popup that
// shows a selected object's record. Each derives from the toolkit's canvas and is owned by the interface.
#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "engine/data/textfont.h"
#include "game/shell/game.h"
#include "ui/game/cardlayout.h"
#include "ui/toolkit/canvas.h"

class CFerroxBar;
class CFerroxImage;

// A canvas of the running game. A panel that closes itself on a press forgets the press, or it would act on
// the stale press again when it reopens under a held button.
class CGamePanel : public CFerroxCanvas {
protected:
    void EndPress()
    {
        m_pressed = 0;
        m_pressedIndex = -1;
        m_pressedEvent = FERROX_WIDGET_NOT_OVER;
    }
};

// A message stays this long on the main bar, in seconds of real time.
constexpr float kMainPanelMessageTime = 10.0f;
// The main bar's text list of in-game messages.
constexpr const char* kInGameMessagesList = "InGameMessages";
// Sound effect of a message reaching the main bar.
constexpr int32_t kMainPanelMessageSample = 2;
// The box the main bar's message flows in, from its corner.
constexpr FerroxTextBox kMainPanelMessageBox = {153.0f, 40.0f, 485.0f, 30.0f};

// Main bar widgets.
enum MainPanelWidget : int32_t {
    MAIN_BUILD = 1,
    MAIN_MANAGE = 2,
    MAIN_OPTIONS = 3,
    MAIN_DEMOLISH = 4,
    MAIN_SPEED_0 = 5,
    MAIN_SPEED_1 = 6,
    MAIN_SPEED_2 = 7,
    MAIN_SPEED_3 = 8,
    MAIN_FLOOR_DOWN = 9,
    MAIN_FLOOR_UP = 10,
    MAIN_MESSAGES = 11,
};

enum Season : uint16_t {
    SEASON_SPRING = 0,
    SEASON_SUMMER = 1,
    SEASON_AUTUMN = 2,
    SEASON_WINTER = 3
};

class CMainPanel : public CGamePanel {
public:
    CMainPanel();
    ~CMainPanel() override;
    void Init() override;
    void Release() override;
    void OnWidgetEvent(int32_t index, int32_t event) override;
    void Update() override;
    void Render() override;
    void Build(const char* path, float x, float y, int32_t scaled) override;
    // A negative id is ignored.
    virtual void QueueMessage(int32_t id);
    // Counts the front message's time down; when it runs out, takes it off and returns its id, else -1.
    virtual int32_t NextMessage(float frameTime);

    // Stores the season of the month counter and returns its whole years.
    uint16_t SetSeason(uint16_t counter);
    uint16_t GetSeason() const { return m_season; }
    const std::list<int32_t>& GetQueue() const { return m_queue; }
    void ClearQueue();
    CFerroxBar* GetRatingBar() const { return m_pRatingBar.get(); }
    int32_t HasNewMessage() const { return m_newMessage; }

private:
    void ShowSpeed();
    void DrawFigures(float x, float y);

    float m_messageTimer;
    std::list<int32_t> m_queue;  // oldest first
    int16_t m_messageList;
    std::vector<std::unique_ptr<CFerroxImage>> m_seasons;
    uint16_t m_season;
    std::unique_ptr<CFerroxBar> m_pRatingBar;
    int32_t m_newMessage;
};

enum ConfirmPanelWidget : int32_t {
    CONFIRM_YES = 1,
    CONFIRM_NO = 2
};

class CConfirmPanel : public CGamePanel {
public:
    CConfirmPanel();
    void OnWidgetEvent(int32_t index, int32_t event) override;
    void Render() override;
    void SetRequest(GameConfirmCallback callback, uint16_t textIndex, int16_t list, int32_t closeBoth,
                    const char16_t* extraText);

    GameConfirmCallback GetCallback() const { return m_callback; }
    int32_t GetCloseBoth() const { return m_closeBoth; }

private:
    void Forget();

    int16_t m_list;
    uint16_t m_textIndex;
    int32_t m_closeBoth;
    GameConfirmCallback m_callback;
    const char16_t* m_extraText;  // owned by the caller
};

enum OptionsPanelWidget : int32_t {
    OPTIONS_LOAD = 1,
    OPTIONS_SAVE = 2,
    OPTIONS_MUSIC = 3,
    OPTIONS_EFFECTS = 4,
    OPTIONS_QUIT = 5,
};
// The question the quit button asks: text of the in-game messages.
constexpr uint16_t kOptionsQuitQuestion = 36;

class COptionsPanel : public CGamePanel {
public:
    void OnWidgetEvent(int32_t index, int32_t event) override;
};

// A recorded message: months since January of the start year, and its text index.
struct HistoryEntry {
    int32_t date;
    uint16_t textIndex;
};

enum HistoryPanelWidget : int32_t {
    HISTORY_CLOSE = 1,
    HISTORY_NEWER = 2,
    HISTORY_OLDER = 3
};
constexpr uint16_t kHistoryPageSize = 6;

class CMessageHistoryPanel : public CGamePanel {
public:
    CMessageHistoryPanel();
    ~CMessageHistoryPanel() override;
    void Init() override;
    void OnWidgetEvent(int32_t index, int32_t event) override;
    void Render() override;
    void Build(const char* path, float x, float y, int32_t scaled) override;
    // A negative text index records nothing.
    void AddMessage(int32_t textIndex, int32_t date);
    void Clear();

    uint16_t GetCount() const { return m_count; }
    uint16_t GetScroll() const { return m_scroll; }
    const std::vector<std::unique_ptr<HistoryEntry>>& GetEntries() const { return m_entries; }

private:
    std::vector<std::unique_ptr<HistoryEntry>> m_entries;  // oldest first
    uint16_t m_count;
    int16_t m_textList;
    uint16_t m_scroll;
};

// The popup of a selected shopper, shop or staff member, until each gets its own panel: it keeps the record.
class CSelectionPopup : public CFerroxCanvas {
public:
    // Stores the record the card draws and gives it back.
    const void* SetRecord(const void* record)
    {
        m_pRecord = record;
        return m_pRecord;
    }
    const void* GetRecord() const { return m_pRecord; }

private:
    const void* m_pRecord = nullptr;
};
