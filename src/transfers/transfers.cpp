#include "transfers.h"

#include "copypaste.h"
#include "localpane.h"
#include "mainsession.h"
#include "remotebrowser.h"
#include "remotepane.h"
#include "tasrewrdlg.h"
#include "tfrageueberschreiben.h"
#include "windowparts.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>

using namespace Qt::StringLiterals;

Transfers::Transfers(WindowParts &parts)
    : QObject(parts.window)
    , m_overwritePrompt(new Tfrageueberschreiben(parts.window))
    , m_renamePrompt(new TasrewrDlg(parts.window))
    , m_downloads(parts, *m_overwritePrompt)
    , m_uploads(parts, *m_overwritePrompt)
    , m_opened(parts, m_downloads, m_uploads)
{
    setObjectName(u"Transfers"_s);
    ConnectCommands(parts);
    ConnectCopyAndPaste(parts);
}

Transfers *Transfers::Of(const QObject &window)
{
    return window.findChild<Transfers *>(u"Transfers"_s, Qt::FindDirectChildrenOnly);
}

void Transfers::ConnectCommands(WindowParts &parts)
{
    RemoteBrowser *remote = parts.browser;
    connect(remote, &RemoteBrowser::downloadSelectionRequested, this, [this, &parts] {
        parts.session->RunSessionCommand([this] { m_downloads.DownloadSelection(); });
    });
    // The upload button and drops onto the remote list name the paths.
    connect(remote, &RemoteBrowser::uploadRequested, this, [this, &parts](const QStringList &paths) {
        parts.session->RunSessionCommand([this, &paths] { m_uploads.UploadPaths(paths); });
    });
    // Asked for inside the gate of the remote pane's open command.
    connect(remote, &RemoteBrowser::openFileRequested, this,
            [this](const QString &remotePath, const QString &localName) {
                m_opened.Open(remotePath, localName);
            });
}

void Transfers::ConnectCopyAndPaste(WindowParts &parts)
{
    // Copying reads the rows, which a listing under way has emptied.
    connect(parts.remote->Kopieren1, &QAction::triggered, this, [&parts] {
        parts.session->RunSessionCommand([&parts] {
            parts.session->CopyList = CopiedEntries(parts.browser->Entries(), parts.session->RemoteFolder());
            parts.local->Einfgen1->setEnabled(!parts.session->CopyList.isEmpty());
        });
    });
    connect(parts.local->Einfgen1, &QAction::triggered, this, [this, &parts] {
        parts.session->RunSessionCommand(
            [this, &parts] { m_downloads.DownloadCopied(parts.session->CopyList); });
    });
    connect(parts.remote->Einfgeh1, &QAction::triggered, this, [this, &parts] {
        parts.session->RunSessionCommand(
            [this] { m_uploads.UploadPaths(LocalFilesIn(QGuiApplication::clipboard()->mimeData())); });
    });
}

Transfers &InstallTransfers(WindowParts &parts)
{
    if (Transfers *installed = Transfers::Of(*parts.window))
        return *installed;
    return *new Transfers(parts);
}
