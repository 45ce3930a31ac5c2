#pragma once

#include "timecorrection.h"

#include <QDateTime>
#include <QString>
#include <QStringView>

// One parsed line of a folder listing.
struct RemoteEntry {
    enum Kind { Unknown = -1, File = 0, Folder = 1, Link = 2 };

    bool accepted = false;
    int kind = Unknown;
    QString name;       // for a link usually "name -> target"
    QString sizeText;   // decimal byte count as listed, empty for folders
    QString dateText;   // corrected time stamp in the locale's format
    QString attributes; // "----------", "d---------", "l---------"
    QDateTime timestamp; // the same instant as dateText, for comparisons
};

// Date components of a listing line; -1 while unknown.
struct ListingDateParts {
    int year = -1;
    int month = -1;
    int day = -1;
    int hour = -1;
    int minute = -1;
    int second = -1;
};

RemoteEntry ParseListingLine(QStringView line, const TimeCorrection &correction, bool isMlsdLine);

// Minutes to subtract from a listed time to get local time.
int SessionTimeDifference(const TimeCorrection &correction);

// The corrected date text; no time of day means the listing gave a year
// instead of a time, which is then not corrected.
QString ComposeTimestamp(const ListingDateParts &parts, const TimeCorrection &correction,
                         bool noTimeOfDay);

// The format of date texts: the locale's date and time formats, always with
// a four-digit year and seconds, so that a text reads back to the same time.
QString FormatDateText(const QDateTime &dateTime);
QDateTime ParseDateText(const QString &text);
