#pragma once

#include "folderwalk.h"
#include "remoteoperationrules.h"

#include <QChar>
#include <QHash>
#include <QString>

#include <functional>
#include <optional>

class MainSession;
struct WindowParts;

// Deletes the selected entries of the remote pane on the server: files
// after the delete prompt, folders with everything in them. Folders are
// never asked about; only the files inside them are. The delete never
// leaves the folders it was asked to delete: a link is never entered, and
// no folder is entered twice.
class RemoteDeletion {
public:
    // Shows the delete prompt for an object's full remote path and kind text.
    using AskUser = std::function<DeleteAnswer(const QString &remotePath, const QString &kindText)>;

    RemoteDeletion(WindowParts &parts, AskUser askUser);

    void DeleteSelection();

private:
    struct Target {
        QChar kind; // the first letter of the row's "Info" text
        QString name;
    };

    bool MayStart() const;
    bool MayGoOn() const;
    QList<Target> TakeDeleteList() const;
    // MLSD on some servers lists a link to a folder as a folder; the LIST
    // form of the current folder tells. Folders it shows as links become
    // links; folders it does not show as folders are left out.
    QList<Target> WithLinksTold(const QList<Target> &entries, bool listedWithMlsd);
    QHash<QString, QChar> KindsInListForm();
    void DeleteRemoteFile(const QString &name);
    void DeleteRemoteFolder(const QString &name);
    void EmptyCurrentFolder();
    void LeaveFolder(const QString &name);
    // The current remote folder joined with the name.
    QString PathOf(const QString &name);

    void Log(const QString &line);

    WindowParts &m_parts;
    MainSession &m_session;
    AskUser m_askUser;
    // Made for each delete on the session in use: FTP or SFTP.
    std::optional<FolderWalk> m_walk;
    // Why the server refused a file, shown once the pane is listed again.
    QString m_refusal;
};
