#include "transferengine.h"

#include "endsteps.h"
#include "folderwalk.h"
#include "idexceptions.h"
#include "keepalive.h"
#include "operationflags.h"
#include "pathrow.h"
#include "remotebrowser.h"
#include "remotelistmodel.h"
#include "remotelistview.h"
#include "remoteoperationrules.h"
#include "resumepoint.h"
#include "sessioncontrol.h"
#include "statuspanels.h"
#include "tfrageueberschreiben.h"
#include "tftpqvx.h"
#include "tidantifreeze.h"

#include <QLineEdit>
#include <QScopeGuard>

using namespace Qt::StringLiterals;

TransferEngine::TransferEngine(TFTPqvx &window, Tfrageueberschreiben &prompt)
    : m_window(window)
    , m_prompt(prompt)
{
}

TIdFTP &TransferEngine::Session() const
{
    return m_window.IdFTP1;
}

OperationFlags &TransferEngine::Flags() const
{
    return m_window.Flags;
}

RemoteBrowser &TransferEngine::Browser() const
{
    return *m_window.Browser();
}

bool TransferEngine::ReadyToStart() const
{
    return m_window.SessionIdle();
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
    return m_window.Paths()->Edit1->text();
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
    m_window.Status()->SetPanelText(0, name);
}

void TransferEngine::LetEventsRun()
{
    TIdAntiFreeze::DoProcessThrottled();
}

TransferChoice TransferEngine::Decide(const ExistingTarget &target,
                                      const std::function<OverwriteQuestion()> &question)
{
    const OverwriteRules rules{m_window.Settings.New_Only, m_window.Settings.No_Prompt_Overwrite};
    return DecideTransfer(target, rules, Flags(), [&] { return m_prompt.Ask(question()); });
}

qint64 TransferEngine::ContinueFrom(const QString &name, qint64 partialSize, qint64 sourceSize)
{
    const ResumePoint start = ResumePoint::For(partialSize, sourceSize);
    if (!start.reason.isEmpty())
        Log(u"%1 wird ganz übertragen: %2"_s.arg(name, start.reason));
    return start.offset;
}

void TransferEngine::Log(const QString &line)
{
    m_window.Session()->AddLogLine(line);
}

void TransferEngine::RunOperation(const std::function<void()> &steps, const std::function<void()> &endSteps)
{
    m_window.RunCommand([&] { RunWithEndSteps(steps, endSteps); });
}

void TransferEngine::RunWithPool(bool manyFiles, TWorkMode mode, const std::function<void()> &walk)
{
    const int connections = m_window.Settings.Parallel_Transfers;
    if (manyFiles && connections > 1 && Session().LoggedIn())
        m_pool = std::make_unique<TransferPool>(Session(), connections,
                                                TIdFTP::HasFeature(m_window.Features, u"UTF8"_s));
    // However the walk ends, the pool's connections stop with it.
    const auto dropPool = qScopeGuard([this] { m_pool.reset(); });
    walk();
    if (m_pool)
        FinishPool(mode);
}

bool TransferEngine::Queue(PooledTransfer transfer)
{
    if (!m_pool)
        return false;
    m_pool->Add(std::move(transfer), Session().Encoding);
    // A failed or refused file ends the walk, as it does without the pool.
    if (m_pool->Stopped())
        Flags().CancelRequested = true;
    return true;
}

// The window shows the pool's bytes as one transfer of everything queued.
void TransferEngine::FinishPool(TWorkMode mode)
{
    TIdFTP &session = Session();
    if (session.OnWorkBegin)
        session.OnWorkBegin(&session, mode, m_pool->BytesQueued());
    // The abort button stops the pool too.
    Browser().UpdateCommandStates();
    const auto endWork = qScopeGuard([&session, mode] {
        if (session.OnWorkEnd)
            session.OnWorkEnd(&session, mode);
    });
    // The session itself is quiet meanwhile: a server would drop it after
    // its idle time, in the middle of a long folder.
    const auto whileWaiting = [this, &session, mode] {
        if (session.OnWork)
            session.OnWork(&session, mode, m_pool->BytesDone());
        m_window.KeepAliveTimer()->KeepWaitingSessionAlive();
    };
    const auto stopWanted = [this] {
        if (Flags().AbortRequested)
            return TransferPool::Stop::Now;
        return Flags().CancelRequested ? TransferPool::Stop::AfterRunningFiles : TransferPool::Stop::None;
    };
    m_pool->Finish(session, stopWanted, whileWaiting);
    if (const QString error = m_pool->FirstError(); !error.isEmpty())
        throw EIdException(error);
    if (m_pool->TransferRefused())
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

bool IsSafeLocalName(const QString &name)
{
    // A backslash counts as a separator too: names travel on into results
    // files and to systems where it is one.
    return !name.isEmpty() && name != u"."_s && name != u".."_s && !name.contains(u'/') &&
           !name.contains(u'\\') && !name.contains(QChar(u'\0'));
}
