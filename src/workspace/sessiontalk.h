#pragma once

class MainSession;

// Keeps the other commands out while a command that is no operation of its
// own (a keep-alive NOOP, a change of folder) talks to the main session: the
// waits for its replies let them run. It holds OperationBusy for its
// lifetime; the gate refuses commands meanwhile, so the controls are left as
// they are (a path being typed stays), but when the flag is given back the
// command states are computed anew: a selection change or a context menu
// during the talk computed them with the session busy.
class SessionTalk {
public:
    explicit SessionTalk(MainSession &session);
    ~SessionTalk();
    SessionTalk(const SessionTalk &) = delete;
    SessionTalk &operator=(const SessionTalk &) = delete;

private:
    MainSession &m_session;
    const bool m_wasBusy;
};
