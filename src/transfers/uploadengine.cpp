#include "uploadengine.h"

#include "applicationsettings.h"
#include "datetext.h"
#include "endsteps.h"
#include "localpane.h"
#include "mainsession.h"
#include "operationflags.h"
#include "remotebrowser.h"
#include "windowparts.h"

#include <QApplication>
#include <QFileInfo>
#include <QScopeGuard>
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
    // The caller's list may change while the upload lets events run.
    const QStringList work = paths;
    const bool manyFiles = work.size() > 1 || std::any_of(work.begin(), work.end(), [](const QString &path) {
                               return QFileInfo(path).isDir();
                           });
    const auto uploadAll = [&] {
        Walk().UsePool(CreatePool(manyFiles));
        // However the walk ends, the pool's connections stop with it.
        const auto dropPool = qScopeGuard([this] { Walk().DropPool(); });
        for (const QString &path : work) {
            Walk().UploadPath(RemoteFolder(), path);
            if (Flags().CancelRequested)
                break;
        }
        const auto endProgress = qScopeGuard([this] { EndPoolProgress(wmWrite); });
        Walk().Finish();
    };
    RunOperation(uploadAll, [this] { FinishUpload(); });
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

QString UploadEngine::EnteredFolder(const QString &)
{
    Browser().RefreshRemoteList();
    return RemoteFolder();
}

void UploadEngine::ReturnedToParent()
{
    Browser().RefreshRemoteList();
}

std::optional<ListedName> UploadEngine::Listed(const QString &name)
{
    ListedName listed;
    if (!FindRemoteRow(name, &listed.time, &listed.sizeText))
        return std::nullopt;
    return listed;
}

TransferChoice UploadEngine::Decide(const UploadCandidate &file)
{
    const QDateTime localTime = file.file.lastModified();
    const QDateTime remoteTime = file.listed ? file.listed->time : QDateTime();
    const auto question = [&] {
        return OverwriteQuestion{file.file.fileName(),
                                 FormatDateText(remoteTime),
                                 SizeText(file.listed ? file.listed->sizeText : QString()),
                                 file.file.absoluteFilePath(),
                                 FormatDateText(localTime),
                                 SizeText(file.file.size()),
                                 file.resumable};
    };
    // A time the server keeps through MFMT has whole seconds; the fraction
    // of the local one must not make an unchanged file count as newer.
    const QDateTime comparedTime = localTime.addMSecs(-localTime.time().msec());
    return TransferEngine::Decide({file.listed.has_value(), comparedTime, remoteTime, file.resumable},
                                  question);
}

bool UploadEngine::KeepsLocalTime()
{
    return m_parts.settings->Keep_Upload_Time && TIdFTP::HasFeature(m_session.Features, u"MFMT"_s);
}

bool UploadEngine::MayContinue()
{
    return Session().IsConnected() && !Flags().CancelRequested;
}

bool UploadEngine::AbortWanted()
{
    return Flags().AbortRequested;
}

void UploadEngine::Refused(const QString &message)
{
    StopForRefusal(message);
}

void UploadEngine::FileStarting(const QString &name, qint64 size)
{
    Flags().ExpectedSize = std::max<qint64>(size, 0);
    ShowFileName(name);
}

void UploadEngine::WhileWaiting(const TransferPool &pool)
{
    ShowPoolProgress(pool, wmWrite);
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

FolderUpload &UploadEngine::Walk()
{
    UploadHost &host = *this;
    return WalkOnSession(m_upload, host);
}
