#pragma once

#include <QString>
#include <QStringList>

#include <functional>

struct OperationFlags;
struct RemoteRow;

// The answers of the delete prompt. Closing the prompt by its window frame
// gives Closed, which keeps the object like "Nein".
enum class DeleteAnswer { Closed, Yes, YesToAll, No, Cancel };

// Whether one remote file is deleted. The prompt is asked only while
// confirmations are on and "Ja zu allen" has not been answered; its answer
// updates the operation's YesToAll and CancelRequested.
bool DecideDelete(bool confirm, OperationFlags &flags, const std::function<DeleteAnswer()> &askUser);

// The name the server knows an entry by. A link row's caption reads
// "name -> target"; commands need the name alone.
QString ServerName(const RemoteRow &row);
// The same for a caption as the user typed it in place of a link's caption.
QString ServerName(const QString &caption, bool isLink);

// The first free name for a new remote folder: "Neuer_Ordner", then
// "Neuer_Ordner(1)", "Neuer_Ordner(2)" ... Names compare case-sensitively.
QString NewFolderName(const QStringList &existingNames);

// Whether a line of a folder being deleted may name an entry at all: the
// "total" heading and lines of 14 characters or fewer never do.
bool MayNameEntry(const QString &listingLine);

// The prompt line of the folder tree when moving entries:
// Bewegen "a; b; " nach...
QString MovePrompt(const QStringList &names);

// Whether a new name typed for an entry moves it out of the current folder.
bool LeavesFolder(const QString &typedName);
