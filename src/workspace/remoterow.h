#pragma once

#include <QChar>
#include <QDateTime>
#include <QString>

// Symbols of the remote list. The first three are built in; file type
// symbols found while listing follow them.
enum RemoteSymbol {
    kNoSymbol = -1,
    kUpSymbol = 0,
    kFolderSymbol = 1,
    kFolderLinkSymbol = 2,
    kFirstFileTypeSymbol = 3,
};

// One row of the remote pane, as the list shows it and as the transfer
// code reads it back. Row 0 is always "..".
struct RemoteRow {
    QString name;        // caption; for a link "name -> target"
    QString sizeText;    // "Größe" column as listed
    QString dateText;    // "Datum" column, the corrected local time stamp
    QString info;        // "Info" column; its first character is the kind
    QDateTime timestamp; // the instant dateText shows; invalid for ".."
    int symbol = kNoSymbol;

    static constexpr QChar kFile = u'-';
    static constexpr QChar kFolder = u'd';
    static constexpr QChar kLink = u'l';

    QChar Kind() const { return info.isEmpty() ? QChar() : info.front(); }
    bool IsParent() const { return symbol == kUpSymbol; }
    bool IsFolder() const { return Kind() == kFolder; }
    bool IsLink() const { return Kind() == kLink || name.contains(u"->"); }
    // The text after "->", trimmed; empty when the caption names no target.
    QString LinkTarget() const;
    // The size text as a number; 0 when it is none.
    qint64 SizeValue() const;
    // The size the listing gave; -1 when it gave none.
    qint64 ListedSize() const;
};

// The kind letter of a row for the kind of a parsed listing entry; an
// unknown kind counts as a file.
QChar KindLetter(int entryKind);

// A row together with its selection, for code that works from the pane.
struct RemotePaneEntry {
    RemoteRow row;
    bool selected = false;
};
