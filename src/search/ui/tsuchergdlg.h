#pragma once

#include "byteprogressbar.h"
#include "searchhit.h"

#include <QDialog>
#include <QList>
#include <QStringList>
#include <QTimer>

#include <functional>

class ApplicationSettings;
class QAction;
class QLabel;
class QMenu;
class QMenuBar;
class QProgressBar;
class QSplitter;
class QStatusBar;
class QTreeView;
class SearchResultsModel;
class SessionLogView;

// "Suchergebnisse": the hits of every search in a sortable list, the search
// session's log, its progress and status; saving the list to a results file
// and loading results files; starting the saving of selected files. A
// double-click opens the hit's folder in a new Glimra. Not modal; closing
// only hides it.
class TSuchergDlg : public QDialog {
    Q_OBJECT

public:
    // Starts a program with its arguments; true when it started.
    using ProgramStarter = std::function<bool(const QString &program, const QStringList &arguments)>;

    static constexpr int kLogLimit = 101; // lines the log pane keeps

    // The sort order and the column widths live in the settings.
    explicit TSuchergDlg(ApplicationSettings &settings, QWidget *parent = nullptr);

    // A hit at its sorted place, scrolled into view.
    void AddHit(const SearchHit &hit);
    // Adds the rows of a results file, asking first whether the rows there
    // are to go; a file without the signature is refused with a message.
    void LoadResultsFile(const QString &fileName);

    // While a search runs, the file commands and "Liste leeren" are off and
    // "Abbrechen" is on.
    void SetSearching(bool searching);
    // "Datei(en) speichern..." follows the selection and this condition.
    std::function<bool()> SavingAllowed;
    void UpdateSaveCommand();

    void AddLogLine(const QString &line);
    // The panels follow at most every StatusInterval milliseconds: a crawl
    // passes thousands of files a second.
    void SetStatusText(int panel, const QString &text);
    QString StatusText(int panel) const;
    static constexpr int kStatusInterval = 50;
    ByteProgressBar &Progress() { return m_progress; }

    SearchResultsModel *Rows() const { return m_rows; }
    // The selected hits in list order.
    QList<SearchHit> SelectedHits() const;
    QList<int> ColumnWidths() const;

    // Replaced by tests; starts a detached process by default.
    ProgramStarter StartProgram;

    QTreeView *ListView1 = nullptr;
    SessionLogView *ListBox1 = nullptr;
    QProgressBar *ProgressBar1 = nullptr;
    QStatusBar *StatusBar1 = nullptr;
    QMenuBar *MainMenu1 = nullptr;
    QAction *ffnen1 = nullptr;       // "Öffnen"
    QAction *Speichern1 = nullptr;   // "Liste xpeichern"
    QAction *Abbrechen1 = nullptr;   // "Abbrechen"
    QAction *Listeleeren1 = nullptr; // "Liste leeren"
    QMenu *Bearbeiten1 = nullptr;    // "Bearbeiten"
    QAction *Schliessen1 = nullptr;  // "Schliessen"
    QMenu *PopupMenu1 = nullptr;
    QAction *SelectAllItem = nullptr;       // "Alles auswählen"
    QAction *InvertSelectionItem = nullptr; // "Auswahl umkehren"
    QAction *ClearSelectionItem = nullptr;  // "Auswahl aufheben"
    QAction *SaveFilesItem = nullptr;       // "Datei(en) speichern..."

signals:
    void cancelRequested();
    void saveFilesRequested();
    // A file could not be written; for the program's error display.
    void errorOccurred(const QString &message);

public slots:
    void OpenResultsFile(); // "Öffnen"
    void SaveResultsFile(); // "Liste xpeichern"
    void ClearList();       // "Liste leeren"

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void BuildList(ApplicationSettings &settings);
    void BuildMenus();
    QAction *AddAction(QMenu *menu, const QString &objectName, const QString &caption,
                       const QKeySequence &shortcut = QKeySequence());
    void BuildStatusBar();
    void ShowStatusTexts();
    void SortByColumn(int column);
    void InvertSelection();
    void OpenHitFolder(const QModelIndex &index);
    void ShowContextMenu(const QPoint &position);
    void ScrollTo(int row);
    void RemoveRowsAfterAsking(const QString &question, bool warning);

    ApplicationSettings &m_settings;
    SearchResultsModel *m_rows = nullptr;
    QSplitter *m_split = nullptr;
    QList<QLabel *> m_panels;
    QStringList m_statusTexts; // what the panels are to show
    QTimer m_statusTimer;
    ByteProgressBar m_progress;
};
