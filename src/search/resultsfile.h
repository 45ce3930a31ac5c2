#pragma once

#include "searchhit.h"

#include <QList>
#include <QString>
#include <QStringView>

#include <optional>

// Search results files (".toserve"): INI text files with a signature section
// and one section per row, named 0, 1, 2, ...
namespace ResultsFile {

inline constexpr QStringView kSuffix = u"toserve";
inline constexpr QStringView kSignatureSection = u"ORNA FTP Glimra Tessaline Suchergebnisse";

// Writes the file anew: an empty line, the signature section with its empty
// key "signatur", then for each row an empty line, its header and the keys
// Attr, Date, Size, Ordner, Server, Name, each only when not empty. False
// when the file could not be written.
bool Write(const QString &fileName, const QList<SearchHit> &hits);

// The rows of every section but the signature, in file order; keys in any
// order, missing keys give empty texts. Nothing when the file has no
// signature section (also when it cannot be read).
std::optional<QList<SearchHit>> Read(const QString &fileName);

// What the user is told about a file without the signature.
QString NotAResultsFileMessage(const QString &fileName);

} // namespace ResultsFile
