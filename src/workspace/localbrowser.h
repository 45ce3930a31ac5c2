#pragma once

#include <QObject>
#include <QString>

class QAction;
class QDropEvent;
class QEvent;
class RemoteBrowser;
struct WindowParts;

// What the local pane does that depends on the session: the upload button's
// state, Ctrl+A, remote entries dropped onto the list (which download into
// the folder or subfolder they were dropped on), and the menu items that
// reach the remote pane.
class LocalBrowser : public QObject {
    Q_OBJECT

public:
    LocalBrowser(const WindowParts &parts, RemoteBrowser &remote);

    // The folder a drop from the remote pane would download into, with "/":
    // the shown folder, or the subfolder entry under the pointer.
    const QString &DropTarget() const { return m_dropTarget; }
    void UpdateUploadButton();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void ResetDropTarget();
    bool HandleDrag(QObject *viewport, QDropEvent *event);
    bool AcceptsDrag(const QDropEvent *event) const;
    QString FolderUnder(QObject *viewport, const QDropEvent *event) const;
    void DropRemoteEntries(const QString &targetFolder);

    const WindowParts &m_parts;
    RemoteBrowser &m_remote;
    QString m_dropTarget;
};
