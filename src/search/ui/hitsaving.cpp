#include "hitsaving.h"

#include "connectionprofile.h"
#include "datafolders.h"
#include "hitdownloader.h"
#include "idexceptions.h"
#include "mainsession.h"
#include "sessioncontrol.h"
#include "sessionhost.h"
#include "tasrewrdlg.h"
#include "tssavedlg.h"
#include "tsuchergdlg.h"
#include "windowparts.h"

#include <QAction>
#include <QFileDialog>
#include <QMessageBox>
#include <QScopeGuard>

using namespace Qt::StringLiterals;

namespace {

// Switches the results window's file commands off for the save and puts
// them back as they were.
class FileCommandsHold {
public:
    explicit FileCommandsHold(TSuchergDlg &results)
        : m_actions{results.Listeleeren1, results.ffnen1, results.Speichern1, results.Abbrechen1}
    {
        for (QAction *action : m_actions) {
            m_enabled.append(action->isEnabled());
            action->setEnabled(false);
        }
    }
    ~FileCommandsHold()
    {
        for (qsizetype i = 0; i < m_actions.size(); ++i)
            m_actions[i]->setEnabled(m_enabled[i]);
    }
    FileCommandsHold(const FileCommandsHold &) = delete;
    FileCommandsHold &operator=(const FileCommandsHold &) = delete;

private:
    QList<QAction *> m_actions;
    QList<bool> m_enabled;
};

SaveTargets::Answer AnswerOf(TasrewrDlg::Answer answer)
{
    switch (answer) {
    case TasrewrDlg::Answer::Replace:
        return SaveTargets::Answer::Replace;
    case TasrewrDlg::Answer::ReplaceAll:
        return SaveTargets::Answer::ReplaceAll;
    case TasrewrDlg::Answer::Keep:
        return SaveTargets::Answer::Keep;
    case TasrewrDlg::Answer::KeepAll:
        return SaveTargets::Answer::KeepAll;
    case TasrewrDlg::Answer::Rename:
        return SaveTargets::Answer::Rename;
    case TasrewrDlg::Answer::RenameAll:
        return SaveTargets::Answer::RenameAll;
    case TasrewrDlg::Answer::Stop:
        break;
    }
    return SaveTargets::Answer::Stop;
}

QString WithSlash(const QString &folder)
{
    return folder.endsWith(u'/') ? folder : folder + u'/';
}

} // namespace

HitSaving::HitSaving(WindowParts &parts, TSuchergDlg &results, TssaveDlg &progress, TasrewrDlg &question)
    : QObject(parts.window)
    , m_parts(parts)
    , m_session(*parts.session)
    , m_results(results)
    , m_progress(progress)
    , m_question(question)
{
}

void HitSaving::SaveSelection()
{
    const QList<SearchHit> hits = m_results.SelectedHits();
    if (m_running || hits.isEmpty())
        return;
    m_running = true;
    m_results.UpdateSaveCommand();
    const FileCommandsHold hold(m_results);
    HitDownloader downloader(m_progress.Session(), m_parts.folders->TreeFolder());
    downloader.OnStarting = [this](const SearchHit &hit) { m_progress.ShowDownload(hit); };
    const auto finish = qScopeGuard([&] {
        m_progress.hide();
        downloader.Finish();
        m_running = false;
        m_results.UpdateSaveCommand();
        if (m_session.Remote().IsConnected())
            m_parts.host->SetActivity(1);
    });
    m_session.RunCommand([&] {
        if (hits.size() > 1) {
            SaveSeveral(downloader, hits);
            return;
        }
        const QString fileName = IsSafe(hits.first()) ? AskFileName(hits.first()) : QString();
        if (fileName.isEmpty())
            return;
        m_progress.ClearCancelRequest();
        Save(downloader, hits.first(), fileName);
    });
}

QString HitSaving::AskFileName(const SearchHit &hit)
{
    QFileDialog dialog(&m_results, u"Datei speichern"_s);
    dialog.setObjectName(u"SaveFileDialog"_s);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(u"Alle Dateien (*)"_s);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.selectFile(hit.name);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

bool HitSaving::AskFolder()
{
    QFileDialog dialog(&m_results, u"Ordner zum Speichern auswählen"_s, m_saveFolder);
    dialog.setObjectName(u"SaveFolderDialog"_s);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    m_saveFolder = dialog.selectedFiles().constFirst();
    return true;
}

void HitSaving::SaveSeveral(HitDownloader &downloader, const QList<SearchHit> &hits)
{
    if (!AskFolder())
        return;
    m_progress.ClearCancelRequest();
    SaveTargets targets(WithSlash(m_saveFolder));
    const SaveTargets::Ask ask = [this](const QString &name, const QString &suggestion, QString &typedName) {
        return Ask(name, suggestion, typedName);
    };
    for (const SearchHit &hit : hits) {
        if (m_progress.CancelRequested())
            break;
        if (!IsSafe(hit))
            continue;
        const QString target = targets.TargetFor(hit.name, ask);
        if (targets.Stopped())
            break;
        if (!target.isEmpty())
            Save(downloader, hit, target);
    }
}

SaveTargets::Answer HitSaving::Ask(const QString &name, const QString &suggestion, QString &typedName)
{
    const QString message = u"Die Datei \"%1\" bereits vorhanden. Wie möchten Sie vorgehen?"_s.arg(name);
    const TasrewrDlg::Answer answer = m_question.Ask(message, suggestion, WithSlash(m_saveFolder));
    typedName = m_question.NewName();
    return AnswerOf(answer);
}

void HitSaving::Save(HitDownloader &downloader, const SearchHit &hit, const QString &localPath)
{
    const HitDownloader::Outcome outcome = downloader.Save(hit, localPath);
    m_progress.hide();
    if (outcome == HitDownloader::Outcome::UnfitProfile)
        QMessageBox::warning(&m_results, QString(), kUnfitProfileWarning.toString());
}

bool HitSaving::IsSafe(const SearchHit &hit)
{
    if (SaveTargets::IsSafeName(hit.name))
        return true;
    m_parts.control->AddLogLine(
        u"Nicht gespeichert, der Name würde den Ordner verlassen: %1 (%2)"_s.arg(hit.name, hit.server));
    return false;
}

void HitSaving::CloseSession()
{
    TIdFTP &session = m_progress.IdFTP1;
    try {
        if (session.IsConnected() && m_progress.TransferActive())
            session.Abort();
    } catch (const EIdException &) {
        // The program ends; the goodbye below closes the connection anyway.
    }
    m_progress.Session().Close();
}
