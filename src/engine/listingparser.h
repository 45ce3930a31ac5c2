#pragma once

#include "datetext.h"
#include "timecorrection.h"

#include <QDateTime>
#include <QString>
#include <QStringView>

// One parsed line of a folder listing.
struct RemoteEntry {
    enum Kind { Unknown = -1, File = 0, Folder = 1, Link = 2 };

    bool accepted = false;
    int kind = Unknown;
    QString name;        // for a link usually "name -> target"
    QString sizeText;    // decimal byte count as listed, empty for folders
    QString dateText;    // corrected time stamp in the locale's format
    QString attributes;  // kind letter and permissions: "drwxr-xr-x", or "d---------" when not listed
    QDateTime timestamp; // the same instant as dateText, for comparisons
    qint64 size = -1;    // sizeText as a number; -1 when empty or too large
};

// Date components of a listing line; -1 while unknown.
using ListingDateParts = DateTimeParts;

// Reads one line of a MLSD or LIST answer (Unix, DOS/IIS, EPLF or any line
// with a recognisable date and time). Lines without name, kind, size or time
// stamp are not accepted. Lets the user interface run (throttled) once.
RemoteEntry ParseListingLine(QStringView line, const TimeCorrection &correction, bool isMlsdLine);

// Minutes to subtract from a listed time to get local time, as it stands
// now. Listed times are corrected with the offset of their own date.
int SessionTimeDifference(const TimeCorrection &correction);

// The corrected date text; no time of day means the listing gave a year
// instead of a time, which is then not corrected. Empty when the parts do
// not form a valid date and time.
QString ComposeTimestamp(const ListingDateParts &parts, const TimeCorrection &correction, bool noTimeOfDay);
