#pragma once

#include "searchrun.h"
#include "searchsession.h"

#include <QIcon>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTimer>

class HitSaving;
class SearchMatcher;
class MainSession;
struct WindowParts;
class TssaveDlg;
class TSuchergDlg;
class TSuchwahlDlg;

// The search on the main window: the search button's menu and animation,
// the search options, the results window, the search session beside the
// main one, and the saving of hits. One search runs at a time; it stops
// only itself when cancelled, and the main session stays usable meanwhile.
class Search : public QObject {
    Q_OBJECT

public:
    explicit Search(WindowParts &parts);
    ~Search() override;

    // The search installed on the window, or null.
    static Search *Of(const QObject &window);

    void NewSearch();    // "Neue Suche"
    void ShowResults();  // "Suchergebnisse"
    void CancelSearch(); // "Suche abbrechen", and "Abbrechen" in the results window
    bool Running() const { return m_running; }

    TSuchwahlDlg *Options() const;
    TSuchergDlg *Results() const;
    TssaveDlg *SaveWindow() const;
    HitSaving *Saving() const { return m_saving; }

private:
    void ConnectCommands();
    void WireSession();
    void TransferBegins(qint64 countMax);
    void TransferMoved(qint64 count);
    void TransferEnds();
    void Run(const SearchMatcher &matcher, const QList<SearchTarget> &targets);
    // What the search shows while it runs: status, hits, log.
    SearchRun::Hooks DisplayHooks();
    void ShowSearching(bool searching);
    void ShowFrame(int frame);
    void Animate();
    void CloseSessions();
    void LoadResultsFileAtStart(const QString &fileName);

    WindowParts &m_parts;
    MainSession &m_main;
    SearchSession m_session;
    QPointer<TSuchwahlDlg> m_options;
    QPointer<TSuchergDlg> m_results;
    QPointer<TssaveDlg> m_saveWindow;
    HitSaving *m_saving = nullptr;
    QTimer m_animation; // "Timer3"
    QList<QIcon> m_frames;
    int m_frame = 0;
    bool m_running = false;
    bool m_cancelRequested = false;
    bool m_closing = false; // the main window closes: no closing message
    bool m_transferActive = false;
    qint64 m_expectedSize = 0; // of the file downloaded for its content
    qint64 m_barMaximum = 1;
};

// Called once after the main window and its dialogs were made.
Search &InstallSearch(WindowParts &parts);
