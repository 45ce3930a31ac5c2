#include "transfers.h"

#include "copypaste.h"
#include "localpane.h"
#include "pathrow.h"
#include "remotebrowser.h"
#include "remotepane.h"
#include "tasrewrdlg.h"
#include "tfrageueberschreiben.h"
#include "tftpqvx.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>

using namespace Qt::StringLiterals;

Transfers::Transfers(TFTPqvx &window)
    : QObject(&window)
    , m_overwritePrompt(new Tfrageueberschreiben(&window))
    , m_renamePrompt(new TasrewrDlg(&window))
    , m_downloads(window, *m_overwritePrompt)
    , m_uploads(window, *m_overwritePrompt)
    , m_opened(window, m_downloads, m_uploads)
{
    setObjectName(u"Transfers"_s);
    ConnectCommands(window);
    ConnectCopyAndPaste(window);
}

Transfers *Transfers::Of(const TFTPqvx &window)
{
    return window.findChild<Transfers *>(u"Transfers"_s, Qt::FindDirectChildrenOnly);
}

void Transfers::ConnectCommands(TFTPqvx &window)
{
    RemoteBrowser *remote = window.Browser();
    connect(remote, &RemoteBrowser::downloadSelectionRequested, this,
            [this, &window] { window.RunSessionCommand([this] { m_downloads.DownloadSelection(); }); });
    // The upload button and drops onto the remote list name the paths.
    connect(remote, &RemoteBrowser::uploadRequested, this, [this, &window](const QStringList &paths) {
        window.RunSessionCommand([this, &paths] { m_uploads.UploadPaths(paths); });
    });
    // Asked for inside the gate of the remote pane's open command.
    connect(remote, &RemoteBrowser::openFileRequested, this,
            [this](const QString &remotePath, const QString &localName) {
                m_opened.Open(remotePath, localName);
            });
}

void Transfers::ConnectCopyAndPaste(TFTPqvx &window)
{
    // Copying reads the rows, which a listing under way has emptied.
    connect(window.Remote()->Kopieren1, &QAction::triggered, this, [&window] {
        window.RunSessionCommand([&window] {
            window.CopyList = CopiedEntries(window.Browser()->Entries(), window.Paths()->Edit1->text());
            window.Local()->Einfgen1->setEnabled(!window.CopyList.isEmpty());
        });
    });
    connect(window.Local()->Einfgen1, &QAction::triggered, this, [this, &window] {
        window.RunSessionCommand([this, &window] { m_downloads.DownloadCopied(window.CopyList); });
    });
    connect(window.Remote()->Einfgeh1, &QAction::triggered, this, [this, &window] {
        window.RunSessionCommand(
            [this] { m_uploads.UploadPaths(LocalFilesIn(QGuiApplication::clipboard()->mimeData())); });
    });
}

Transfers &InstallTransfers(TFTPqvx &window)
{
    if (Transfers *installed = Transfers::Of(window))
        return *installed;
    return *new Transfers(window);
}
