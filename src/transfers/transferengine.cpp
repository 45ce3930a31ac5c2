#include "transferengine.h"

#include "endsteps.h"
#include "folderwalk.h"
#include "idexceptions.h"
#include "operationflags.h"
#include "pathrow.h"
#include "remotebrowser.h"
#include "remotelistmodel.h"
#include "remotelistview.h"
#include "remoteoperationrules.h"
#include "sessioncontrol.h"
#include "statuspanels.h"
#include "tfrageueberschreiben.h"
#include "tftpqvx.h"
#include "tidantifreeze.h"

#include <QLineEdit>

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

bool TransferEngine::ShouldTransfer(const ExistingTarget &target,
                                    const std::function<OverwriteQuestion()> &question)
{
    const OverwriteRules rules{m_window.Settings.New_Only, m_window.Settings.No_Prompt_Overwrite};
    return DecideTransfer(target, rules, Flags(), [&] { return m_prompt.Ask(question()); });
}

void TransferEngine::Log(const QString &line)
{
    m_window.Session()->AddLogLine(line);
}

void TransferEngine::RunOperation(const std::function<void()> &steps, const std::function<void()> &endSteps)
{
    m_window.RunCommand([&] { RunWithEndSteps(steps, endSteps); });
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
