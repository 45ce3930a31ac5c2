#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class TFTPqvx;

// Connecting and disconnecting the main session, its events, the session
// log and the questions the session asks the user.
class SessionControl : public QObject {
    Q_OBJECT

public:
    explicit SessionControl(TFTPqvx &window);

    void Connect();    // "Verbinden"
    void Disconnect(); // "Trennen", also when the program closes
    void AddLogLine(const QString &line);
    void HandleCommandLine(const QStringList &arguments);
    // The host as the applied profile named it, for captions and panels.
    const QString &ServerDisplayName() const { return m_serverDisplayName; }

private:
    TFTPqvx &m_window;
    QString m_serverDisplayName;
};
