#pragma once

#include <functional>

// The one user interface pump of the program. Network waits are cut into
// slices; between slices the installed hook runs (in the GUI it processes
// pending window events), so the window stays usable while a server is slow.
// The window's session runs on the main thread: code that calls into the engine must expect
// that anything the hook triggers has run by the time the call returns.
// The hook is per thread; other threads' waits run their own hooks.
class TIdAntiFreeze {
public:
    using Hook = std::function<void()>;

    static constexpr int kDefaultIdleTimeOut = 250;
    static constexpr int kMaxWaitSlice = 50;
    static constexpr int kThrottleInterval = 20;

    static void Install(Hook hook);
    static void Uninstall();
    static bool IsActive();

    // The profile's Timeout; a wait slice never exceeds it nor kMaxWaitSlice.
    static void SetIdleTimeOut(int milliseconds);
    static int IdleTimeOut();
    static int WaitSlice();

    // Runs the hook now (nothing when none is installed).
    static void DoProcess();
    // Runs the hook when kThrottleInterval (or a shorter wait slice) has
    // passed since it last ran; for loops that would otherwise pump once per
    // chunk or per line.
    static void DoProcessThrottled();
    // How long a wait may still last before the hook is due again.
    static int MillisecondsUntilDue();
};
