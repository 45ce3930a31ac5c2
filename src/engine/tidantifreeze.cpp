#include "tidantifreeze.h"

#include <QElapsedTimer>

#include <algorithm>

namespace {

struct PumpState {
    TIdAntiFreeze::Hook hook;
    int idleTimeOut = TIdAntiFreeze::kDefaultIdleTimeOut;
    QElapsedTimer sinceLastRun;
};

// Each thread has its own pump: the window's belongs to the main thread, and
// the threads of extra transfer connections install hooks of their own.
PumpState &State()
{
    thread_local PumpState state;
    return state;
}

// Waits and busy loops share one schedule: a pump that falls due during a
// wait for the server runs there, while the server is busy anyway, and
// not in the step after its answer.
int PumpInterval()
{
    return std::min(TIdAntiFreeze::kThrottleInterval, TIdAntiFreeze::WaitSlice());
}

} // namespace

void TIdAntiFreeze::Install(Hook hook)
{
    State().hook = std::move(hook);
    State().sinceLastRun.start();
}

void TIdAntiFreeze::Uninstall()
{
    State().hook = nullptr;
}

bool TIdAntiFreeze::IsActive()
{
    return static_cast<bool>(State().hook);
}

void TIdAntiFreeze::SetIdleTimeOut(int milliseconds)
{
    State().idleTimeOut = std::max(1, milliseconds);
}

int TIdAntiFreeze::IdleTimeOut()
{
    return State().idleTimeOut;
}

int TIdAntiFreeze::WaitSlice()
{
    return std::min(State().idleTimeOut, kMaxWaitSlice);
}

void TIdAntiFreeze::DoProcess()
{
    PumpState &state = State();
    if (!state.hook)
        return;
    // The hook may start network work of its own (another session) that waits
    // and pumps again; that nesting is intended.
    state.sinceLastRun.restart();
    Hook hook = state.hook; // the hook may reinstall itself
    hook();
}

void TIdAntiFreeze::DoProcessThrottled()
{
    PumpState &state = State();
    if (state.hook && (!state.sinceLastRun.isValid() || state.sinceLastRun.elapsed() >= PumpInterval()))
        DoProcess();
}

int TIdAntiFreeze::MillisecondsUntilDue()
{
    const PumpState &state = State();
    if (!state.sinceLastRun.isValid())
        return 0;
    const int interval = PumpInterval();
    return int(std::clamp<qint64>(interval - state.sinceLastRun.elapsed(), 0, interval));
}
