#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class QTemporaryDir;
class ServerProcess;
struct SelfSignedCertificate;

// A real FTP server for one test: started on 127.0.0.1 (or ::1) on a free
// port, serving a writable temporary folder, stopped and removed again by the
// destructor.
//
//   RealFtpServer server({});
//   QVERIFY2(server.start(&error), qPrintable(error));
//   ... connect to 127.0.0.1:server.port() as server.user()/server.password()
//
// pyftpdlib runs as the current user and checks the password. vsftpd runs
// standalone from a config in the temporary folder and logs in the system's
// "ftp" user with any password; it needs root, and isAvailable() says whether
// it can run here. vsftpd neither offers MLSD nor announces UTF8. pure-ftpd
// runs from the Debian package that scripts/install-deps.sh keeps in
// .cache/debs, unpacked into the temporary folder (it conflicts with vsftpd
// as an installed package); it logs in a virtual user mapped to "ftp", needs
// root too, and records no transcript. ProFTPD runs the same way from its
// packages (core and the TLS module, which it always loads), logs in a user
// of its own user file mapped to "ftp", and takes both TLS options.
class RealFtpServer {
public:
    enum class Kind { Pyftpdlib, Vsftpd, PureFtpd, ProFtpd };

    struct Options {
        Kind kind = Kind::Pyftpdlib;
        // TLS from the first byte; the client sends PBSZ 0 and PROT P after the
        // login and every data connection must then be TLS as well.
        bool implicitTls = false;
        // AUTH TLS before the login, which the server demands (a USER in clear
        // is refused), then PBSZ 0, PROT P and TLS on every data connection.
        // pyftpdlib, vsftpd and ProFTPD.
        bool explicitTls = false;
        // Listens on ::1 instead of 127.0.0.1 (see hasIPv6Loopback()).
        bool ipv6 = false;
        // EPSV is refused, so the client has to fall back to PASV.
        // pyftpdlib and vsftpd.
        bool refuseEpsv = false;
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
        // pyftpdlib only: the verbs the delay applies to; empty for all.
        QStringList delayedCommands = {};
        // pyftpdlib only: RETR sends 40 % of the file, closes the data
        // connection and answers this code (226 as if complete, 426 as
        // broken off); 0 sends whole files.
        int cutDownloadsReply = 0;
        // pyftpdlib only: names on disk that are no UTF-8 travel as their own
        // bytes (vsftpd always sends names as they are on disk).
        bool rawNames = false;
        // vsftpd only: seconds it waits for a data connection before it
        // answers 425 (accept_timeout, connect_timeout); 0 keeps its 60.
        int dataConnectionTimeout = 0;
        // vsftpd only: control connections it accepts from one address at
        // once (max_per_ip); 0 sets no limit.
        int maxPerIp = 0;
        // vsftpd only: seconds without a command after which it says
        // "421 Timeout." and closes the session; 0 keeps its 300.
        int idleSessionTimeout = 0;
        // pyftpdlib only: the data connection of the first RETR, STOR or
        // APPE is closed after this many bytes, with a 426; 0 never.
        qint64 cutFirstTransferAfter = 0;
        // pyftpdlib only: bytes per second on data connections; 0 unlimited.
        int rateLimit = 0;
        // pyftpdlib only: REST is an unknown command.
        bool refuseRestart = false;
        // pyftpdlib only: REST is answered 350, yet RETR sends from byte 0.
        bool ignoreRestart = false;
        // pyftpdlib only: listings give every file the size 0.
        bool zeroSizes = false;
        // TLS servers: the certificate and key (PEM files) to show instead of
        // the self-signed certificate every server of the test shares.
        // pyftpdlib and vsftpd, which read them when they start.
        QString certificateFile = {};
        QString keyFile = {};
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
    // Whether a server can listen on ::1 here, and if not, why.
    static bool hasIPv6Loopback(QString *why = nullptr);

    // Starts the server on a free port and waits until it accepts connections.
    bool start(QString *error = nullptr);
    // Kills the server and everything it forked; start() may be called again.
    void stop();
    // Stops the server and starts it again on the same port, so that it reads
    // its files (the certificate) anew. Not for pyftpdlib.
    bool restart(QString *error = nullptr);
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
    bool startPureFtpd(QString *error);
    bool preparePureFtpd(QString *error) const;
    bool launchPureFtpdOnce(int listenPort, QString *error, bool *portTaken);
    bool startProFtpd(QString *error);
    bool prepareProFtpd(QString *error) const;
    bool launchProFtpdOnce(int listenPort, QString *error, bool *portTaken);
    QString writeProFtpdConfig(int listenPort) const;
    // Starts a server that is given its port on a free port, trying again
    // when another program takes the port first.
    bool startOnFreePort(const std::function<bool(int, QString *, bool *)> &launch, QString *error);
    bool waitForListening(int listenPort, const QString &name, QString *error, bool *portTaken);
    QString optionsProblem() const;
    std::optional<SelfSignedCertificate> tlsCertificate(QString *error) const;
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
    int m_restartPort = 0; // while restart() runs
    qint64 m_transcriptOffset = 0;
};
