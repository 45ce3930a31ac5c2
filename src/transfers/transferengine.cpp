#include "transferengine.h"

#include "applicationsettings.h"
#include "endsteps.h"
#include "folderwalk.h"
#include "idexceptions.h"
#include "keepalive.h"
#include "mainsession.h"
#include "operationflags.h"
#include "remotebrowser.h"
#include "remotelistmodel.h"
#include "remotelistview.h"
#include "remoteoperationrules.h"
#include "sessioncontrol.h"
#include "statuspanels.h"
#include "tfrageueberschreiben.h"
#include "tidantifreeze.h"
#include "transferprogress.h"
#include "windowparts.h"

#include <QFileInfo>
#include <QScopeGuard>

using namespace Qt::StringLiterals;

const QString TransferEngine::kFilesMoving = u"Dateien werden übertragen..."_s;

TransferEngine::TransferEngine(WindowParts &parts, Tfrageueberschreiben &prompt)
    : m_parts(parts)
    , m_session(*parts.session)
    , m_prompt(prompt)
{
}

RemoteFileSystem &TransferEngine::Session() const
{
    return m_session.Remote();
}

OperationFlags &TransferEngine::Flags() const
{
    return m_session.Flags;
}

RemoteBrowser &TransferEngine::Browser() const
{
    return *m_parts.browser;
}

bool TransferEngine::ReadyToStart() const
{
    return m_session.SessionIdle();
}

bool TransferEngine::ReadyForStep() const
{
    return Session().IsConnected() && !Flags().TransferActive && !Flags().CancelRequested;
}

void TransferEngine::ForgetToAllAnswers()
{
    Flags().YesToAll = false;
    Flags().NoToAll = false;
}

void TransferEngine::BeginOperation()
{
    Flags().OperationBusy = true;
    Flags().CancelRequested = false;
    Flags().AbortRequested = false;
    Browser().UpdateCommandStates();
}

QString TransferEngine::RemoteFolder() const
{
    return m_session.RemoteFolder();
}

bool TransferEngine::FindRemoteRow(const QString &name, QDateTime *timestamp, QString *sizeText) const
{
    const RemoteListModel &rows = *Browser().List()->Rows();
    for (int index = 0; index < rows.Count(); ++index) {
        const RemoteRow &row = rows.Row(index);
        if (row.IsParent() || ServerName(row) != name)
            continue;
        if (timestamp)
            *timestamp = row.timestamp;
        if (sizeText)
            *sizeText = row.sizeText.trimmed();
        return true;
    }
    return false;
}

void TransferEngine::ShowFileName(const QString &name)
{
    // The panel asks to be drawn again, and the next turn of the pump draws
    // just the panel: drawing the whole window for every file would cost
    // more than fetching a small file.
    m_parts.status->SetPanelText(0, name);
}

void TransferEngine::LetEventsRun()
{
    TIdAntiFreeze::DoProcessThrottled();
}

TransferChoice TransferEngine::Decide(const ExistingTarget &target,
                                      const std::function<OverwriteQuestion()> &question)
{
    const OverwriteRules rules{m_parts.settings->New_Only, m_parts.settings->No_Prompt_Overwrite};
    return DecideTransfer(target, rules, Flags(), [&] { return m_prompt.Ask(question()); });
}

void TransferEngine::Log(const QString &line)
{
    m_parts.control->AddLogLine(line);
}

void TransferEngine::RunOperation(const std::function<void()> &steps, const std::function<void()> &endSteps)
{
    m_session.RunCommand([&] { RunWithEndSteps(steps, endSteps); });
}

std::unique_ptr<TransferPool> TransferEngine::CreatePool(bool manyFiles)
{
    const int connections = m_parts.settings->Parallel_Transfers;
    if (!manyFiles || connections <= 1 || !Session().LoggedIn())
        return nullptr;
    auto pool = std::make_unique<TransferPool>(Session(), connections,
                                               TIdFTP::HasFeature(m_session.Features, u"UTF8"_s),
                                               m_parts.control->LogsTraffic());
    pool->SetObserver([this](const TransferPool::Event &event) { OnPoolEvent(event); });
    MarkTransfersStarted();
    return pool;
}

void TransferEngine::MarkTransfersStarted()
{
    m_poolProgressShown = false;
    m_transfersStartedAt = m_parts.control->Progress().Now();
}

void TransferEngine::OnPoolEvent(const TransferPool::Event &event)
{
    if (event.kind == TransferPool::Event::Kind::Traffic) {
        m_parts.control->AddConnectionLogLine(event.text, event.connection);
        return;
    }
    ShowFileName(QFileInfo(event.text).fileName());
    // A listing of the walk said "Fertig"; the operation is not.
    m_parts.status->SetPanelText(2, kFilesMoving);
}

void TransferEngine::ShowPoolProgress(const TransferPool &pool, TWorkMode mode)
{
    TransferProgress &progress = m_parts.control->Progress();
    if (!m_poolProgressShown) {
        m_poolProgressShown = true;
        // Its speed counts from the operation's start: the connections have
        // been moving files while the walk went on.
        progress.WorkBegin(mode, pool.BytesQueued(), m_transfersStartedAt);
    }
    progress.Work(mode, pool.BytesDone());
    // The session itself is quiet meanwhile: a server would drop it after
    // its idle time, in the middle of a long folder.
    m_parts.keepAlive->KeepWaitingSessionAlive();
}

void TransferEngine::EndPoolProgress(TWorkMode mode)
{
    if (m_poolProgressShown)
        m_parts.control->Progress().WorkEnd(mode);
    m_poolProgressShown = false;
}

void TransferEngine::StopForRefusal(const QString &message)
{
    Log(message);
    Flags().CancelRequested = true;
}

QString WithTrailingSeparator(const QString &localPath)
{
    if (localPath.isEmpty() || localPath.endsWith(u'/'))
        return localPath;
    return localPath + u'/';
}

QString ParentPath(const QString &remotePath)
{
    const QString path = FolderPath(remotePath);
    const qsizetype slash = path.lastIndexOf(u'/');
    if (slash <= 0)
        return slash == 0 ? u"/"_s : QString();
    return path.left(slash);
}
