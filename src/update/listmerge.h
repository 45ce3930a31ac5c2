#pragma once

#include "connectionlist.h"

#include <QString>

class ConnectionTreeStore;
class TIniFile;

// What the update window's local fields give every connection a run adds:
// an FTP proxy or firewall and SOCKS settings. Passwords in plain text.
struct AddedConnectionSettings {
    bool proxyUse = false;
    QString proxyServer;
    QString proxyPort;
    bool proxyAuthenticate = false;
    QString proxyUser;
    QString proxyPassword;
    int loginStyle = 0; // FW_Art, 0 to 4
    bool socksUse = false;
    QString socksHost;
    QString socksPort;
    QString socksUser;
    QString socksPassword;

    // Sets the proxy, firewall and SOCKS keys; switched off, their texts
    // are left empty so that none is stored.
    void ApplyTo(ConnectionProfile &profile) const;
};

// The user's answer to offering one entry.
enum class EntryAnswer {
    Add,    // this one; ask again for the next
    AddAll, // this one and every further one without asking
    Skip,   // not this one
    Stop,   // not this one, and end the run
};

// What a merge asks of its window.
class ListMergeHost {
public:
    virtual ~ListMergeHost() = default;
    virtual EntryAnswer AskToAdd(const ListedConnection &entry) = 0;
    virtual void LogLine(const QString &line) = 0;
    // After each section: position (1-based) of total, count of new entries.
    virtual void SectionHandled(int position, int total, int added) = 0;
    // Lets pending window events run: the user may press "Abbrechen".
    virtual void ProcessPendingEvents() = 0;
    virtual bool StopRequested() const = 0;
};

// Merges the published list into the connection tree: every listed
// connection with a group that its group does not hold yet (names compared
// ignoring case) is offered and, when accepted, written as a new section of
// the group's inhalt.ini. Existing connections are never changed.
class ConnectionListMerge {
public:
    ConnectionListMerge(const ConnectionTreeStore &tree, const AddedConnectionSettings &settings,
                        ListMergeHost &host);

    // Returns the count of new entries. Each handled section but the first
    // is erased from the list in memory, so the following look-ups pass
    // fewer lines and the list, once written back, holds what was left.
    int Run(TIniFile &list);

private:
    enum class Outcome { Handled, Stop };
    Outcome MergeSection(const ListedConnection &entry);
    bool IsPresent(const QString &groupPath, const QString &name) const;
    bool Add(const QString &groupPath, const ListedConnection &entry);

    const ConnectionTreeStore &m_tree;
    const AddedConnectionSettings &m_settings;
    ListMergeHost &m_host;
    bool m_addAll = false;
    int m_added = 0;
};
