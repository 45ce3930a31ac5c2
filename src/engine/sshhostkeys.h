#pragma once

#include "sessionhost.h"

#include <QByteArray>
#include <QString>

struct ssh_session_struct;

// The host key check of an SSH session against two known-hosts files in
// OpenSSH's format (hashed entries and "[host]:port" entries included): the
// user's own (~/.ssh/known_hosts) and the program's. Everything that takes
// the session runs on the session's thread, after the key exchange.
class SshHostKeys {
public:
    enum class Verdict { Known, Unknown, Changed };
    struct Result {
        Verdict verdict = Verdict::Unknown;
        HostKeyInfo key;
    };

    // Before connecting: the files the check reads; an empty name reads none.
    static void UseFiles(ssh_session_struct *session, const QString &userFile, const QString &ownFile);
    // Throws EIdException when the key cannot be read or a file is broken.
    static Result Check(ssh_session_struct *session, const QString &host, int port);
    // The known_hosts line for the session's key and host.
    static QByteArray EntryOf(ssh_session_struct *session);
    // Appends entry to file, making its folder; false with error when that fails.
    static bool Remember(const QString &file, const QByteArray &entry, QString *error);
    // What the user is told when a host shows another key than the one known.
    static QString ChangedWarning(const HostKeyInfo &key);
    static QString UnknownRefusal(const HostKeyInfo &key);
};
