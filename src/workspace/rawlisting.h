#pragma once

#include <QString>
#include <QStringList>

// Where "Unformatierte Inhalte ansehen" writes a listing: the temporary
// name, "_", the server's name with the characters a file name must not
// hold replaced by "-", and ".txt".
QString RawListingPath(const QString &temporaryPath, const QString &serverName);
// Writes the lines with CR LF line ends; false when the file cannot be written.
bool WriteRawListing(const QString &path, const QStringList &lines);
