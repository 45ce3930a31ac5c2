#pragma once

#include "downloadengine.h"
#include "openedfiles.h"
#include "tasrewrdlg.h"
#include "tfrageueberschreiben.h"
#include "uploadengine.h"

#include <QObject>
#include <QPointer>

class MainSession;
struct WindowParts;

// The transfer work of the main window: the prompt windows, created once
// at start and reused, the download and upload engines, opening remote
// files, and copy and paste, wired to the panes' buttons, menu items and
// drops.
class Transfers : public QObject {
    Q_OBJECT

public:
    explicit Transfers(WindowParts &parts);

    // The transfers installed on the window, or null.
    static Transfers *Of(const QObject &window);

    DownloadEngine &Downloads() { return m_downloads; }
    UploadEngine &Uploads() { return m_uploads; }
    OpenedFiles &Opened() { return m_opened; }
    Tfrageueberschreiben *OverwritePrompt() const { return m_overwritePrompt; }
    TasrewrDlg *RenamePrompt() const { return m_renamePrompt; }

private:
    void ConnectCommands(WindowParts &parts);
    void ConnectCopyAndPaste(WindowParts &parts);

    QPointer<Tfrageueberschreiben> m_overwritePrompt;
    QPointer<TasrewrDlg> m_renamePrompt;
    DownloadEngine m_downloads;
    UploadEngine m_uploads;
    OpenedFiles m_opened;
};

// Called once after the main window was made.
Transfers &InstallTransfers(WindowParts &parts);
