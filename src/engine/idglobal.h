#pragma once

#include <QString>
#include <QtGlobal>

#include <functional>

class TIdTCPConnection;

enum TWorkMode { wmRead = 0, wmWrite = 1 };

// Status codes reported through OnStatus.
enum TIdStatus {
    hsResolving = 0,
    hsConnecting = 1,
    hsConnected = 2,
    hsDisconnecting = 3,
    hsDisconnected = 4,
    hsStatusText = 5,
};

using TIdStatusEvent = std::function<void(TIdTCPConnection *sender, TIdStatus status, const QString &text)>;
using TWorkBeginEvent = std::function<void(TIdTCPConnection *sender, TWorkMode mode, qint64 countMax)>;
using TWorkEvent = std::function<void(TIdTCPConnection *sender, TWorkMode mode, qint64 count)>;
using TWorkEndEvent = std::function<void(TIdTCPConnection *sender, TWorkMode mode)>;
using TNotifyEvent = std::function<void(TIdTCPConnection *sender)>;

// The formatted German text of a status code; %s is the host or peer address.
QString StatusText(TIdStatus status, const QString &argument);

// How names travel on the wire. A session talks UTF-8 from the start and
// turns to Windows-1252 when a listing of its server is no valid UTF-8.
enum class NameEncoding { Utf8, Windows1252 };
