#pragma once

#include <QObject>
#include <QString>

class TFTPqvx;

// The remote pane's behaviour: listing the session's current folder into
// ListView1, moving between folders, and which remote commands are enabled.
class RemoteBrowser : public QObject {
    Q_OBJECT

public:
    explicit RemoteBrowser(TFTPqvx &window);

    void RefreshRemoteList(const QString &nameToSelect = QString());
    void ChangeRemoteFolder(const QString &target);
    void UpdateCommandStates();
    // The disconnected state: path field, list and added file-type symbols emptied.
    void ClearRemoteList();

private:
    TFTPqvx &m_window;
};
