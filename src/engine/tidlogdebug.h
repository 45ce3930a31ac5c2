#pragma once

#include "tidconnectionintercept.h"

#include <QString>

#include <functional>

enum TIdLogTarget { ltNone, ltDebugOutput };

// The session log's interceptor: one line per connect, receive, send and
// disconnect, with every CR LF shown as "<EOL>".
class TIdLogDebug : public TIdConnectionIntercept {
    Q_OBJECT

public:
    explicit TIdLogDebug(QObject *parent = nullptr);

    bool Active = false;
    bool LogTime = false;
    TIdLogTarget Target = ltDebugOutput;
    // May change the line before it goes to the debug output.
    std::function<void(QString &line)> OnLogItem;

    void Connect(TIdSocketHandle &socket) override;
    void NotifyReceived(QByteArrayView bytes) override;
    void NotifySent(QByteArrayView bytes) override;
    void Disconnect() override;

private:
    void Log(const QString &text);
};
