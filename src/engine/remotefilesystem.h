#pragma once

#include "idglobal.h"
#include "timecorrection.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class QDateTime;
class QFileDevice;
class QIODevice;
class TIdFTP;

enum TIdFTPTransferType { ftBinary, ftASCII };

// Where a session logs in: the server as the profile names it, and the user.
struct RemoteServer {
    QString host;
    int port = 0;
    QString user;
    friend bool operator==(const RemoteServer &, const RemoteServer &) = default;
};

// A line for the session log: a command, a reply or a status text.
using TrafficReport = std::function<void(const QString &line)>;
// The bytes the running transfer has moved so far; 0 when one begins.
using ProgressReport = std::function<void(qint64 moved)>;

// A server's file system as the transfer core, the search, the gallery and
// glimra-cli use it, whatever protocol carries it: FTP (TIdFTP) or SFTP
// (SftpFileSystem). Every call blocks its caller's thread and runs the UI
// pump while it waits, as the FTP session always has; so any window event
// can arrive in the middle of one.
//
// Folder listings come as lines for the listing parser: an FTP server's own
// LIST or MLSD lines, and for SFTP MLSD fact lines made from the file
// attributes (type, size, modify in UTC, UNIX.mode), so that every reader of
// listings works on both.
class RemoteFileSystem {
public:
    enum class Protocol { Ftp, Sftp };

    virtual ~RemoteFileSystem() = default;

    virtual Protocol Kind() const = 0;
    // The FTP session behind this file system; null for other protocols.
    // Only for what only FTP has: raw commands, SITE, MLST, OPTS, proxies.
    virtual TIdFTP *Ftp() { return nullptr; }
    // Whether what travels is encrypted: always over SSH, with TLS over FTP.
    virtual bool Encrypted() const = 0;

    // --- the session ------------------------------------------------------
    // Throws EIdException (or a subclass) when the server cannot be reached
    // or refuses the login.
    virtual void ConnectAndLogin() = 0;
    virtual bool LoggedIn() const = 0;
    virtual bool IsConnected() const = 0;
    // Whether the connection is still there, without asking the server.
    virtual bool IsAlive() = 0;
    // Asks the server something harmless, so that it keeps the session.
    virtual void KeepAlive() = 0;
    virtual RemoteServer Server() const = 0;
    virtual void Quit() = 0;
    // Stops the running transfer from inside a pumped wait; outside a
    // transfer it does nothing.
    virtual void Abort() = 0;
    // The server's last answer, for messages: an FTP reply line, or the
    // SFTP status in German.
    virtual QString LastReplyLine() const = 0;
    // Whether the server carried out the last request; a listing returns
    // what it got either way.
    virtual bool LastRequestSucceeded() const = 0;
    // A session to the same server with the same settings and login, not
    // yet connected, for a connection of its own (the transfer pool).
    virtual std::unique_ptr<RemoteFileSystem> NewSessionLikeThis() const = 0;
    // Where a session of its own, without a window, reports its traffic
    // (withCommands: command and reply lines too, not only status texts).
    // Set once, before ConnectAndLogin.
    virtual void ReportTrafficTo(const TrafficReport &traffic, bool withCommands) = 0;
    // Where the progress of each transfer goes from now on; none stops it.
    virtual void ReportProgressTo(const ProgressReport &progress) = 0;

    // --- names --------------------------------------------------------------
    // How names travel to and from the server.
    virtual NameEncoding NamesEncoding() const = 0;
    virtual void SetNamesEncoding(NameEncoding encoding) = 0;

    // --- folders --------------------------------------------------------------
    // The current folder, absolute; empty when the server names none.
    virtual QString CurrentFolderPath() = 0;
    // The same as the window shows it: for FTP the text of PWD's reply up to
    // the next quote, as the window always took it.
    virtual QString CurrentDir() = 0;
    virtual bool ChangeDir(const QString &path) = 0;
    virtual bool ChangeDirUp() = 0;
    // The current folder (or specifier), in LIST form.
    virtual void List(QStringList &target, const QString &specifier = QString(), bool details = true) = 0;
    // The current folder (or specifier), in MLSD form.
    virtual void ListFacts(QStringList &target, const QString &specifier = QString()) = 0;
    // Whether folders are listed with ListFacts: the server offers MLSD and
    // the profile allows it.
    virtual bool ListsWithFacts(const QStringList &features) const = 0;
    // How the times of listed entries are read.
    virtual const ::TimeCorrection &ListingTimeCorrection() const = 0;
    virtual bool MakeDir(const QString &path) = 0;
    virtual bool RemoveDir(const QString &path) = 0;
    virtual bool RemoveFile(const QString &path) = 0;
    virtual bool Rename(const QString &oldName, const QString &newName) = 0;
    // -1 when the server does not tell.
    virtual qint64 FileSize(const QString &path) = 0;
    // Gives the remote file a modification time; false when refused.
    virtual bool SetModifiedTime(const QString &path, const QDateTime &modified) = 0;

    // --- transfers ------------------------------------------------------------
    // The type the next transfer moves bytes in; SFTP moves bytes as they are.
    virtual void SetTransferType(TIdFTPTransferType type) = 0;
    // false: the server refused the transfer before any data moved.
    virtual bool Retrieve(const QString &name, QIODevice &target) = 0;
    // From offset on, written into target from the offset on. A server that
    // cannot start there sends the whole file, which replaces what target held.
    virtual bool RetrieveFrom(const QString &name, QFileDevice &target, qint64 offset) = 0;
    virtual bool Store(QIODevice &source, const QString &name, bool append = false) = 0;
    virtual bool StoreFile(const QString &localPath, const QString &name, bool append = false) = 0;
    // The bytes of source from offset on, into the remote file from offset
    // on; the remote file must hold offset bytes.
    virtual bool StoreFrom(QIODevice &source, const QString &name, qint64 offset) = 0;
    // The size a listing gave for the file the next Retrieve fetches; a
    // session that would ask the server for it first may go by this instead.
    virtual void SizeForNextRetrieve(qint64) {}
    // The file the caller means to retrieve after the next Retrieve, with
    // its listed size: a session may ask for it early, while it moves the
    // file before. A guess that does not come true costs a request at most.
    virtual void AnnounceNextRetrieve(const QString &, qint64) {}
    // The largest file AnnounceNextRetrieve() is of use for; 0: none.
    virtual qint64 LargestFileAskedForAhead() const { return 0; }
    // The size the server named for the last retrieved file; -1 when none.
    virtual qint64 AnnouncedSize() const = 0;
    // The last RetrieveFrom or StoreFrom could not start at its offset and
    // moved the whole file instead.
    virtual bool RestartRefused() const = 0;
};
