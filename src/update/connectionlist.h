#pragma once

#include "connectionprofile.h"

#include <QString>
#include <QStringView>

#include <optional>

class TIniFile;

// The published list of FTP servers: an INI file whose sections are
// connections, marked by one signature section whose keys are not read.
inline constexpr QStringView kListSignatureSection = u"ORNA FTP Glimra Tessaline FTP Ferbindungsliste Update";

// Section names compare ignoring case, the signature's too.
bool IsConnectionList(const TIniFile &list);

// One section of the list with the list's defaults for what it leaves out.
struct ListedConnection {
    QString name;
    // As listed, "\" between nested group names; empty: not offered.
    QString group;
    // The listed keys; everything the list does not carry keeps the
    // profile's defaults until the window's local settings are applied.
    ConnectionProfile profile;
};

ListedConnection ReadListedConnection(const TIniFile &list, const QString &section);

// The listed group as a group path inside the connection tree ("A/B"), with
// "\" or "/" between names. Nothing for what could reach outside the tree:
// an absolute path, a drive letter, "." or "..", an empty name between two
// separators, or a name the connection manager would refuse for a group.
std::optional<QString> GroupPathInTree(const QString &listedGroup);
