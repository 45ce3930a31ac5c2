#pragma once

#include "filedownload.h"

#include <QDateTime>
#include <QString>

#include <functional>

struct OperationFlags;

// The answers of the overwrite prompt; Continue only where it was offered.
// Closing the prompt by its window frame counts as Cancel: the operation
// stops and nothing is replaced.
enum class OverwriteAnswer { Yes, YesToAll, No, NoToAll, Cancel, Continue };

// What the overwrite prompt shows: the file that exists and the file that
// would replace it, each with its date text and size text, and whether the
// source may continue the existing file ("Fortsetzen").
struct OverwriteQuestion {
    QString existingFile;
    QString existingDate;
    QString existingSize;
    QString sourceFile;
    QString sourceDate;
    QString sourceSize;
    bool offerContinue = false;
};

// The rules of the settings dialog that apply to existing files.
struct OverwriteRules {
    bool newOnly = false;  // "Nur neuere Dateien kopieren"
    bool noPrompt = false; // "Dateien ohne Nachfrage überschreiben"
};

// The file on the side being written to, as the transfer sees it.
struct ExistingTarget {
    bool exists = false;
    QDateTime sourceTime;   // of the file that would replace it; invalid when unknown
    QDateTime existingTime; // of the file that is there
    // Partial data is there (an interrupted transfer's, or a smaller file
    // under the name) that the source could continue.
    bool resumable = false;
};

// Whether a time stamp counts as later than another: by more than one
// millisecond. An unknown time is never later.
bool IsLaterThan(const QDateTime &candidate, const QDateTime &reference);

// A byte count as the prompt shows it: "1234 Byte".
QString SizeText(qint64 bytes);
QString SizeText(const QString &count);

// Decides what becomes of one file. The prompt is asked only when the flags
// and rules leave the choice to the user; its answer updates the
// operation's YesToAll, NoToAll and CancelRequested. Partial data alone,
// with no file under the name, is asked about too; where the flags decide
// without asking, it is started over (it may stem from an older version).
TransferChoice DecideTransfer(const ExistingTarget &target, const OverwriteRules &rules,
                              OperationFlags &flags, const std::function<OverwriteAnswer()> &askUser);

// Records an answer in the operation's flags and says what it chose.
TransferChoice ApplyAnswer(OverwriteAnswer answer, OperationFlags &flags);
