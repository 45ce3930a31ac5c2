#include "transfers.h"

#include "remotebrowser.h"
#include "tasrewrdlg.h"
#include "tfrageueberschreiben.h"
#include "tftpqvx.h"

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

Transfers &InstallTransfers(TFTPqvx &window)
{
    if (Transfers *installed = Transfers::Of(window))
        return *installed;
    return *new Transfers(window);
}
