#pragma once

#include "savetargets.h"
#include "searchhit.h"

#include <QList>
#include <QObject>
#include <QString>

class HitDownloader;
class TasrewrDlg;
class MainSession;
struct WindowParts;
class TssaveDlg;
class TSuchergDlg;

// "Datei(en) speichern...": downloads the files behind the selected search
// hits with the save session. One hit goes where the save dialog says;
// several go into a chosen folder, with the question before a file there is
// replaced. A name that would leave the folder is skipped and logged.
class HitSaving : public QObject {
    Q_OBJECT

public:
    HitSaving(WindowParts &parts, TSuchergDlg &results, TssaveDlg &progress, TasrewrDlg &question);

    void SaveSelection();
    bool Running() const { return m_running; }
    // The folder last chosen for several files; empty at first.
    const QString &SaveFolder() const { return m_saveFolder; }
    // The program ends: a running download is aborted, the session quits.
    void CloseSession();

private:
    QString AskFileName(const SearchHit &hit);
    bool AskFolder();
    void SaveSeveral(HitDownloader &downloader, const QList<SearchHit> &hits);
    SaveTargets::Answer Ask(const QString &name, const QString &suggestion, QString &typedName);
    void Save(HitDownloader &downloader, const SearchHit &hit, const QString &localPath);
    bool IsSafe(const SearchHit &hit);

    WindowParts &m_parts;
    MainSession &m_session;
    TSuchergDlg &m_results;
    TssaveDlg &m_progress;
    TasrewrDlg &m_question;
    QString m_saveFolder;
    bool m_running = false;
};
