#include "uploadengine.h"

#include "applicationsettings.h"
#include "datetext.h"
#include "endsteps.h"
#include "folderwalk.h"
#include "idexceptions.h"
#include "localpane.h"
#include "mainsession.h"
#include "operationflags.h"
#include "remotebrowser.h"
#include "remotelisting.h"
#include "windowparts.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QToolButton>

using namespace Qt::StringLiterals;

UploadEngine::UploadEngine(WindowParts &parts, Tfrageueberschreiben &prompt)
    : TransferEngine(parts, prompt)
{
}

void UploadEngine::UploadPaths(const QStringList &paths)
{
    if (!ReadyToStart())
        return;
    ForgetToAllAnswers();
    BeginOperation();
    m_parts.local->SpeedButton18->setEnabled(false);
    m_walk.clear();
    // The caller's list may change while the upload lets events run.
    const QStringList work = paths;
    const auto uploadAll = [&] {
        for (const QString &path : work) {
            UploadPath(path);
            if (Flags().CancelRequested)
                return;
        }
    };
    const bool manyFiles = work.size() > 1 || std::any_of(work.begin(), work.end(), [](const QString &path) {
                               return QFileInfo(path).isDir();
                           });
    RunOperation([&] { RunWithPool(manyFiles, uploadAll); }, [this] { FinishUpload(); });
}

void UploadEngine::UploadPath(const QString &path)
{
    const QFileInfo item(path);
    if (item.isFile())
        UploadFile(path);
    else if (item.isDir())
        UploadFolder(path);
}

void UploadEngine::FinishUpload()
{
    OperationFlags &flags = Flags();
    flags.OperationBusy = false;
    flags.TransferActive = false;
    RunWithEndSteps([this] { Browser().RefreshRemoteList(); },
                    [this] {
                        m_parts.local->SpeedButton18->setEnabled(true);
                        Browser().UpdateCommandStates();
                        if (Flags().CancelRequested)
                            Browser().RefreshCommand();
                        QApplication::beep();
                    });
}

void UploadEngine::UploadFolder(const QString &localFolder)
{
    if (!ReadyForStep())
        return;
    QString path = localFolder;
    if (path.size() > 1 && path.endsWith(u'/'))
        path.chop(1);
    const QString name = QFileInfo(path).fileName();
    const QString canonical = QFileInfo(path).canonicalFilePath();
    if (name.isEmpty() || m_walk.contains(canonical))
        return;
    const QString parentFolder = RemoteFolder();
    const QString remotePath = WithTrailingSlash(parentFolder) + name;
    // A row of that name, whatever its kind (a link too), counts as the folder.
    if (!FindRemoteRow(name) && !Session().MakeDir(remotePath)) {
        Flags().CancelRequested = true;
        return;
    }
    if (!Session().ChangeDir(remotePath)) {
        Flags().CancelRequested = true;
        return;
    }
    m_walk.append(canonical);
    bool enteredByItsPath = true;
    const auto upload = [&] {
        Browser().RefreshRemoteList();
        // The pane names the folder the server went to: a link leads elsewhere.
        enteredByItsPath = FolderPath(RemoteFolder()) == FolderPath(remotePath);
        UploadFolderContent(path);
    };
    const auto leave = [&] {
        // Also after a cancel: the upload ends where it began. CDUP from a
        // folder reached through a link would lead to the parent of its target.
        m_walk.removeLast();
        if (enteredByItsPath)
            Session().ChangeDirUp();
        else
            Session().ChangeDir(parentFolder);
        Browser().RefreshRemoteList();
    };
    RunWithEndSteps(upload, leave);
}

void UploadEngine::UploadFolderContent(const QString &localFolder)
{
    QDirIterator entries(localFolder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    while (entries.hasNext() && !Flags().CancelRequested) {
        const QFileInfo entry = entries.nextFileInfo();
        if (entry.isDir())
            UploadFolder(entry.filePath());
        else
            UploadFile(entry.filePath());
    }
}

void UploadEngine::UploadFile(const QString &localFile)
{
    if (!ReadyForStep())
        return;
    const QFileInfo file(localFile);
    // Devices, pipes and sockets have no content to send; reading one could
    // wait for ever.
    if (!file.isFile())
        return;
    Session().SetTransferType(ftBinary);
    Flags().ExpectedSize = file.size();
    const QDateTime localTime = file.lastModified();
    const QString name = file.fileName();
    ShowFileName(name);

    QDateTime remoteTime;
    QString remoteSize;
    const bool exists = FindRemoteRow(name, &remoteTime, &remoteSize);
    bool sizeListed = false;
    const qint64 remoteBytes = remoteSize.toLongLong(&sizeListed);
    const bool resumable = exists && sizeListed && remoteBytes > 0 && remoteBytes < file.size();
    const auto question = [&] {
        return OverwriteQuestion{name,
                                 FormatDateText(remoteTime),
                                 SizeText(remoteSize),
                                 file.absoluteFilePath(),
                                 FormatDateText(localTime),
                                 SizeText(Flags().ExpectedSize),
                                 resumable};
    };
    // A time the server keeps through MFMT has whole seconds; the fraction
    // of the local one must not make an unchanged file count as newer.
    const QDateTime comparedTime = localTime.addMSecs(-localTime.time().msec());
    const TransferChoice choice = Decide({exists, comparedTime, remoteTime, resumable}, question);
    if (choice == TransferChoice::Skip)
        return;
    const QString remotePath = WithTrailingSlash(RemoteFolder()) + name;
    if (choice == TransferChoice::Replace && Queue({PooledTransfer::Direction::Upload,
                                                    remotePath,
                                                    file.absoluteFilePath(),
                                                    file.size(),
                                                    KeepsLocalTime() ? localTime : QDateTime(),
                                                    {}}))
        return;
    const bool stored = choice == TransferChoice::Continue
                            ? ContinueUpload(file, remotePath)
                            : Session().StoreFile(file.absoluteFilePath(), remotePath);
    if (!stored) {
        Flags().CancelRequested = true;
        return;
    }
    KeepLocalTime(remotePath, localTime);
}

// Sends what the server's copy lacks, after asking it how much it holds:
// the listing may be older than the file.
bool UploadEngine::ContinueUpload(const QFileInfo &file, const QString &remotePath)
{
    const qint64 offset = ContinueFrom(file.fileName(), Session().FileSize(remotePath), file.size());
    QFile source(file.absoluteFilePath());
    if (!source.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        throw EIdException(u"Die Datei %1 kann nicht gelesen werden: %2"_s.arg(file.absoluteFilePath(),
                                                                               source.errorString()));
    Flags().ExpectedSize = file.size() - offset;
    return Session().StoreFrom(source, remotePath, offset);
}

// The uploaded file gets the local file's time where the server can set it,
// so that "Nur neuere Dateien kopieren" compares the times of the content.
void UploadEngine::KeepLocalTime(const QString &remotePath, const QDateTime &localTime)
{
    if (KeepsLocalTime())
        Session().SetModifiedTime(remotePath, localTime);
}

bool UploadEngine::KeepsLocalTime() const
{
    return m_parts.settings->Keep_Upload_Time && TIdFTP::HasFeature(m_session.Features, u"MFMT"_s);
}

bool UploadEngine::StoreCopy(const QString &localFile, const QString &remotePath)
{
    if (!ReadyToStart())
        return false;
    bool stored = false;
    const auto store = [&] {
        Session().SetTransferType(ftBinary);
        Flags().ExpectedSize = QFileInfo(localFile).size();
        ShowFileName(QFileInfo(localFile).fileName());
        stored = Session().StoreFile(localFile, remotePath);
    };
    const auto finish = [&] {
        Flags().OperationBusy = false;
        Flags().TransferActive = false;
        RunWithEndSteps(
            [&] {
                if (stored)
                    Browser().RefreshRemoteList(remotePath.mid(remotePath.lastIndexOf(u'/') + 1));
            },
            [this] { Browser().UpdateCommandStates(); });
    };
    BeginOperation();
    RunOperation(store, finish);
    return stored && !Flags().CancelRequested;
}
