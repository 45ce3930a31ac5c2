#pragma once

#include "remoterow.h"

#include <QHash>
#include <QIcon>
#include <QList>

class QMimeType;

// The symbols of the remote list: the built-in ones (up, folder, link to a
// folder) and one per file type met in the current listing. A type's symbol
// comes from the desktop's icon theme through its MIME type, with a fixed
// file symbol where the theme has none. Files of one extension (compared in
// upper case) share one symbol, so a listing costs one look-up per
// extension; links get the same symbol with a link mark painted on it.
class FileTypeSymbols {
public:
    FileTypeSymbols();

    QIcon Icon(int symbol) const;
    // The symbol of a file named typeName; url says the name is a web or
    // FTP address, which gets the address symbol and no link mark.
    int SymbolFor(const QString &typeName, bool link, bool url);
    // Forgets the symbols added for file types; the built-in ones stay.
    void DropAdded();
    int AddedCount() const { return int(m_icons.size()) - kFirstFileTypeSymbol; }

private:
    int Add(const QIcon &icon);
    QIcon ThemeIcon(const QMimeType &type);

    QList<QIcon> m_icons;
    QHash<QString, int> m_byType; // symbols of this listing by kind and extension
    // The theme is asked once per MIME type for the whole session; only
    // the listing's own table is dropped at each refresh.
    QHash<QString, QIcon> m_byMimeType;
};
