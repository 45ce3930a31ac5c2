#pragma once

#include "openedcopies.h"

#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <optional>

class DownloadEngine;
class MainSession;
struct WindowParts;
class TWaitDlg1;
class UploadEngine;

// Opening remote files: the file is fetched into the work folder and handed
// to the desktop, which opens it with its program for that kind of file.
// Each copy is then watched; when it changes, the user is asked whether to
// save it back to the server, which happens at once when the main session
// is free, else from a wait window once it is. Belongs to the window's
// transfers, whose engines it uses.
class OpenedFiles : public QObject {
    Q_OBJECT

public:
    OpenedFiles(WindowParts &parts, DownloadEngine &downloads, UploadEngine &uploads);
    ~OpenedFiles() override;

    // The remote pane's open command for a file, or a link to one:
    // remotePath is fetched into the work folder as localName.
    void Open(const QString &remotePath, const QString &localName);

    const OpenedCopies &Copies() const { return m_copies; }
    // The question whether to save a changed copy, while it is shown.
    QMessageBox *Question() const { return m_question; }

private:
    QString KeptCopiesRecord() const;
    void WatchKeptCopies();
    QStringList KeepUnsavedCopies() const;
    void Launch(const QString &localPath, const QString &remotePath);
    void LookAtCopies();
    void OfferNext();
    void Answer(const QString &localPath, bool save);
    void OpenWaitWindow(const QString &localPath);
    void WaitTick(TWaitDlg1 *wait);
    void SaveBack(const QString &localPath);
    std::optional<ServerIdentity> ConnectedServer() const;
    bool ConnectedTo(const ServerIdentity &server) const;
    void ShowNote(const QString &text);

    WindowParts &m_parts;
    MainSession &m_session;
    DownloadEngine &m_downloads;
    UploadEngine &m_uploads;
    OpenedCopies m_copies;
    QTimer m_watch;
    QPointer<QMessageBox> m_question;
};
