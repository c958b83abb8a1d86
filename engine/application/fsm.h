// Finite-state machine base: one current state, one requested state, update, enter and exit events.
#pragma once

#include <cstdint>

#include "engine/data/root.h"

enum FerroxFSMEvent {
    FERROX_FSM_UPDATE = 0,
    FERROX_FSM_ENTER = 1,
    FERROX_FSM_EXIT = 2,
};

// Changes one HandleEvent carries out at most; a further request stays pending.
constexpr int FERROX_FSM_MAX_CHANGES = 10;

class CFerroxFSM : public CFerroxBase {
public:
    CFerroxFSM();
    void Init() override;
    void Release() override {}
    ~CFerroxFSM() override;

    virtual void HandleEvent(int event);
    // Nonzero when the handler dealt with the event; the machine ignores the result.
    virtual int StateHandler(int event, uint8_t state) = 0;
    virtual void EnterState();
    virtual void UpdateState();
    virtual void SetState(uint8_t state);
    virtual uint8_t GetState();
    virtual uint8_t GetNextState();

    int IsChangePending() const { return m_changePending; }

private:
    uint8_t m_currentState;
    uint8_t m_nextState;
    int32_t m_changePending;
};
