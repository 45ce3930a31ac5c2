#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

class QTemporaryDir;
class ServerProcess;

// A real FTP server for one test: started on 127.0.0.1 on a free port, serving
// a writable temporary folder, stopped and removed again by the destructor.
//
//   RealFtpServer server({});
//   QVERIFY2(server.start(&error), qPrintable(error));
//   ... connect to 127.0.0.1:server.port() as server.user()/server.password()
//
// pyftpdlib runs as the current user and checks the password. vsftpd runs
// standalone from a config in the temporary folder and logs in the system's
// "ftp" user with any password; it needs root, and isAvailable() says whether
// it can run here. vsftpd neither offers MLSD nor announces UTF8.
class RealFtpServer {
public:
    enum class Kind { Pyftpdlib, Vsftpd };

    struct Options {
        Kind kind = Kind::Pyftpdlib;
        // TLS from the first byte; the client sends PBSZ 0 and PROT P after the
        // login and every data connection must then be TLS as well.
        bool implicitTls = false;
        // pyftpdlib only: names travel as Windows-1252 bytes and FEAT does not
        // announce UTF8. Names on disk (rootDir()) are stored as UTF-8.
        bool latin1Names = false;
        // pyftpdlib only: neither offers nor announces MLSD/MLST (vsftpd never does).
        bool hideMlsd = false;
        // pyftpdlib only: MLSD lines carry the permissions (the UNIX.mode fact).
        bool unixModeFact = false;
        // Address the PASV reply names instead of the control connection's.
        QString masqueradeAddress = {};
        // pyftpdlib only: each command is taken this many milliseconds after it
        // arrived, so every wait for a reply lets the client's window run.
        int commandDelayMs = 0;
        // vsftpd only: seconds it waits for a data connection before it
        // answers 425 (accept_timeout, connect_timeout); 0 keeps its 60.
        int dataConnectionTimeout = 0;
        // vsftpd only: control connections it accepts from one address at
        // once (max_per_ip); 0 sets no limit.
        int maxPerIp = 0;
        // Passive data ports; 0 lets the server take any free port.
        int passivePortMin = 0;
        int passivePortMax = 0;
        // Content of the root folder before start: relative path -> bytes;
        // a path ending in "/" is an (empty) folder.
        QMap<QString, QByteArray> files = {};
    };

    explicit RealFtpServer(const Options &options);
    ~RealFtpServer();
    RealFtpServer(const RealFtpServer &) = delete;
    RealFtpServer &operator=(const RealFtpServer &) = delete;

    // Whether a server of this kind can run on this machine, and if not, why.
    static bool isAvailable(Kind kind, QString *why = nullptr);

    // Starts the server on a free port and waits until it accepts connections.
    bool start(QString *error = nullptr);
    // Kills the server and everything it forked; start() may be called again.
    void stop();
    bool isRunning() const;

    QString host() const;
    int port() const;
    QString user() const;
    QString password() const;
    QString rootDir() const;
    QString certificateFile() const;

    // The commands the server received, one per line as it decoded them
    // (vsftpd logs the password of PASS as "<password>" and shows bytes it
    // considers unprintable as "?").
    QString transcript() const;
    QStringList commands() const;
    // Later transcripts leave out what was received until now.
    void clearTranscript();
    // The server's own log, for failure messages.
    QString serverLog() const;

    // Creates a file (and its folders) under rootDir(), owned so that the
    // server may change and delete it. Usable before and after start();
    // rootDir() exists from construction on.
    bool addFile(const QString &relativePath, const QByteArray &content);
    bool addFolder(const QString &relativePath);

private:
    bool prepareFolders(QString *error);
    std::optional<QStringList> pyftpdlibArguments(QString *error) const;
    bool startPyftpdlib(QString *error);
    bool startVsftpd(QString *error);
    bool launchVsftpdOnce(int listenPort, QString *error, bool *portTaken);
    QString writeVsftpdConfig(int listenPort) const;
    int passivePortLast() const;
    QString transcriptFile() const;
    QString folderPath(const QString &name) const;
    bool handToServerUser(const QString &path) const;
    QByteArray readTranscriptBytes() const;

    Options m_options;
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_setupError;
    std::unique_ptr<ServerProcess> m_process;
    int m_port = 0;
    qint64 m_transcriptOffset = 0;
};
