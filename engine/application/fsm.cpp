// State machine driver: the event goes to the current state, then pending changes run as exit and enter.
#include "engine/application/fsm.h"

CFerroxFSM::CFerroxFSM() : m_currentState(0), m_nextState(0), m_changePending(0) { Init(); }

CFerroxFSM::~CFerroxFSM() { Init(); }

void CFerroxFSM::Init()
{
    m_currentState = 0;
    m_nextState = 0;
    m_changePending = 0;
}

void CFerroxFSM::HandleEvent(int event)
{
    StateHandler(event, m_currentState);
    int counter = FERROX_FSM_MAX_CHANGES;
    while (m_changePending && --counter >= 0) {
        // Cleared before the exit event, so that a request made while exiting or entering is one more change.
        m_changePending = 0;
        StateHandler(FERROX_FSM_EXIT, m_currentState);
        m_currentState = m_nextState;
        StateHandler(FERROX_FSM_ENTER, m_currentState);
    }
}

void CFerroxFSM::EnterState() { HandleEvent(FERROX_FSM_ENTER); }

void CFerroxFSM::UpdateState() { HandleEvent(FERROX_FSM_UPDATE); }

void CFerroxFSM::SetState(uint8_t state)
{
    m_nextState = state;
    m_changePending = 1;
}

uint8_t CFerroxFSM::GetState() { return m_currentState; }

uint8_t CFerroxFSM::GetNextState() { return m_nextState; }
