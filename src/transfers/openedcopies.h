#pragma once

#include "remotefilesystem.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

// The server a copy came from: only there may it be saved back.
using ServerIdentity = RemoteServer;

// The copies of remote files that were opened, each watched through its
// modification time until the program ends. A copy whose time differs from
// the content the server holds has an unsaved change; such a change is
// offered for saving back once after each change, and again whenever its
// server is connected anew, until it is saved or the user declines it.
// Knows nothing of windows or sessions: the caller reads the answers and
// runs the uploads.
class OpenedCopies {
public:
    enum class State {
        Quiet,   // nothing to ask now
        ToOffer, // to be offered once its server is connected
        Asked,   // the question is shown
        Saving,  // waiting for the session, or being stored
    };

    struct Copy {
        QString localPath;
        QString remotePath;
        ServerIdentity server;
        QDateTime onServer; // the modification time of what the server holds
        QDateTime lastSeen; // the modification time at the last look
        State state = State::Quiet;
    };

    // Watches the file at localPath as it is now, as the server's content;
    // a copy watched at that path before is replaced.
    void Watch(const QString &localPath, const QString &remotePath, const ServerIdentity &server);
    // Watches a copy kept from an earlier run, whose server holds the
    // content of onServer; its change is offered once its server is connected.
    void WatchKept(const Copy &kept);
    void Forget(const QString &localPath);
    const Copy *Find(const QString &localPath) const;
    bool IsEmpty() const { return m_copies.isEmpty(); }

    // Reads every copy's modification time: a copy changed since the last
    // look that now differs from the server's content is to be offered. A
    // file that is missing for the moment (an editor replacing it) stays.
    void Look();
    // The first copy to be offered while the session is connected to server.
    const Copy *NextToOffer(const ServerIdentity &server) const;
    // A server was connected: every unsaved change is offered again once
    // its own server is the connected one.
    void ServerConnected();
    // Offers the copy's unsaved change again, if it has one.
    void OfferAgain(const QString &localPath);

    void Asked(const QString &localPath);
    // "Nein": the copy as it is now counts as settled.
    void Declined(const QString &localPath);
    void Saving(const QString &localPath);
    // The server holds the content the copy had at savedTime.
    void Saved(const QString &localPath, const QDateTime &savedTime);
    // Not saved (refused, failed or given up): the change stays unsaved and
    // is offered at its next change or the next connect.
    void NotSaved(const QString &localPath);

    bool HasUnsavedChange(const QString &localPath) const;
    // The copies with an unsaved change, by local path.
    QStringList UnsavedCopies() const;
    QList<Copy> CopiesWithUnsavedChange() const;

private:
    Copy *Mutable(const QString &localPath);
    static bool IsUnsaved(const Copy &copy);

    QList<Copy> m_copies;
};

// The copies kept at a program end because their change is not on the
// server, recorded for the runs that follow: each stays until it is saved
// back or the user declines its change.
namespace KeptCopies {
QList<OpenedCopies::Copy> Read(const QString &recordFile);
// An empty list removes the record.
bool Write(const QString &recordFile, const QList<OpenedCopies::Copy> &copies);
} // namespace KeptCopies

// Whether two modification times differ by more than one millisecond.
bool TimesDiffer(const QDateTime &a, const QDateTime &b);
// The modification time of a file; invalid when there is no file.
QDateTime ModificationTime(const QString &path);
