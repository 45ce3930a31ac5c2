#pragma once

#include <QString>

#include <memory>

class QTemporaryDir;
class ServerProcess;

// tinyproxy as an HTTP proxy on 127.0.0.1 on a free port that lets only the
// given basic login through. Runs in the foreground from a config in a
// temporary folder, never as the system service.
class TinyProxyServer {
public:
    TinyProxyServer(const QString &user, const QString &password);
    ~TinyProxyServer();
    TinyProxyServer(const TinyProxyServer &) = delete;
    TinyProxyServer &operator=(const TinyProxyServer &) = delete;

    static bool isAvailable(QString *why = nullptr);
    bool start(QString *error = nullptr);
    int port() const { return m_port; }
    // The proxy's own log: every request it passed on.
    QString log() const;

private:
    bool launchOnce(int port, QString *error);
    QString writeConfig(int port) const;

    QString m_user;
    QString m_password;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ServerProcess> m_process;
    int m_port = 0;
};
