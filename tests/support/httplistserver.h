#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

class QTemporaryDir;
class ServerProcess;

// Python's http.server on 127.0.0.1 on a free port, serving the files a
// test puts into its folder; stopped and removed again by the destructor.
// Besides the files it serves a few misbehaving paths (see
// http_list_server.py): "/slow/<file>", "/huge-announced",
// "/huge-unannounced". With tls it speaks HTTPS with the tests' self-signed
// certificate.
class HttpListServer {
public:
    explicit HttpListServer(bool tls = false);
    ~HttpListServer();
    HttpListServer(const HttpListServer &) = delete;
    HttpListServer &operator=(const HttpListServer &) = delete;

    bool start(QString *error = nullptr);
    int port() const { return m_port; }
    // http://127.0.0.1:<port>/<path>, or https://
    QString url(const QString &path) const;

    // Creates or replaces a served file (folders are made).
    bool addFile(const QString &relativePath, const QByteArray &content);
    // Request lines and headers of every request so far, each request
    // followed by an empty line.
    QString transcript() const;

private:
    bool m_tls;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ServerProcess> m_process;
    int m_port = 0;
};
