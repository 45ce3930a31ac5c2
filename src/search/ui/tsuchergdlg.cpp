#include "tsuchergdlg.h"

#include "applicationsettings.h"
#include "remotelistview.h"
#include "resultsfile.h"
#include "searchresultsmodel.h"
#include "sessionlogview.h"
#include "tidantifreeze.h"
#include "windowplacement.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProcess>
#include <QProgressBar>
#include <QResizeEvent>
#include <QScrollBar>
#include <QSplitter>
#include <QStatusBar>
#include <QTreeView>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

constexpr int kDefaultWidths[SearchResultsModel::ColumnCount] = {150, 150, 150, 80, 100, 50};
constexpr int kPanelWidths[] = {150, 150, 100};

QString ResultsFilter()
{
    return u"Suchergebnisdateien (*.%1)"_s.arg(ResultsFile::kSuffix);
}

// The file dialogs of the window: the results filter, the ".toserve" suffix.
QString AskResultsFile(QWidget *parent, const QString &title, QFileDialog::AcceptMode mode)
{
    QFileDialog dialog(parent, title);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptSave ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setNameFilter(ResultsFilter());
    dialog.setDefaultSuffix(ResultsFile::kSuffix.toString());
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

bool StartDetached(const QString &program, const QStringList &arguments)
{
    return QProcess::startDetached(program, arguments);
}

} // namespace

TSuchergDlg::TSuchergDlg(ApplicationSettings &settings, QWidget *parent)
    : QDialog(parent, Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
    , StartProgram(StartDetached)
    , ProgressBar1(new QProgressBar)
    , m_settings(settings)
    , m_progress(ProgressBar1)
{
    setObjectName(u"SuchergDlg"_s);
    setWindowTitle(u"Suchergebnisse"_s);
    setSizeGripEnabled(true);

    BuildList(settings);
    ListBox1 = new SessionLogView;
    // Only the session log can be saved or switched off.
    ListBox1->SaveLogItem->setVisible(false);
    ListBox1->ToggleLogItem->setVisible(false);
    m_split = new QSplitter(Qt::Vertical);
    m_split->setObjectName(u"ResultsSplit"_s);
    m_split->setChildrenCollapsible(false);
    m_split->addWidget(ListView1);
    m_split->addWidget(ListBox1);
    ProgressBar1->setObjectName(u"ProgressBar1"_s);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setFixedHeight(12);
    BuildMenus();
    BuildStatusBar();

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 0, 2, 0);
    layout->setSpacing(2);
    layout->setMenuBar(MainMenu1);
    layout->addWidget(m_split, 1);
    layout->addWidget(ProgressBar1);
    layout->addWidget(StatusBar1);
    resize(688, 373);
    m_split->setSizes({215, 373 - 215});
    CenterOnScreen(*this);
}

void TSuchergDlg::BuildList(ApplicationSettings &settings)
{
    m_rows = new SearchResultsModel(this);
    m_rows->SortBy(settings.searchlist_s, settings.searchlist_r);
    ListView1 = new QTreeView;
    ListView1->setObjectName(u"ListView1"_s);
    ListView1->setModel(m_rows);
    ListView1->setRootIsDecorated(false);
    ListView1->setUniformRowHeights(true);
    ListView1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView1->setContextMenuPolicy(Qt::CustomContextMenu);
    QHeaderView *header = ListView1->header();
    header->setSectionsClickable(true);
    header->setStretchLastSection(false);
    for (int column = 0; column < SearchResultsModel::ColumnCount; ++column) {
        const int stored = settings.Search_Col[std::size_t(column)];
        const int standard = column == SearchResultsModel::DateColumn
                                 ? DateColumnWidth(ListView1->fontMetrics(), kDefaultWidths[column])
                                 : kDefaultWidths[column];
        header->resizeSection(column, stored > 0 ? stored : standard);
    }
    connect(header, &QHeaderView::sectionClicked, this, &TSuchergDlg::SortByColumn);
    connect(ListView1, &QTreeView::doubleClicked, this, &TSuchergDlg::OpenHitFolder);
    connect(ListView1, &QWidget::customContextMenuRequested, this, &TSuchergDlg::ShowContextMenu);
    connect(ListView1->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TSuchergDlg::UpdateSaveCommand);
}

void TSuchergDlg::BuildMenus()
{
    MainMenu1 = new QMenuBar(this);
    MainMenu1->setObjectName(u"MainMenu1"_s);
    const auto topItem = [this](const QString &objectName, const QString &caption) {
        QAction *action = MainMenu1->addAction(caption);
        action->setObjectName(objectName);
        return action;
    };
    ffnen1 = topItem(u"ffnen1"_s, u"Öffnen"_s);
    Speichern1 = topItem(u"Speichern1"_s, u"Liste xpeichern"_s);
    Abbrechen1 = topItem(u"Abbrechen1"_s, u"Abbrechen"_s);
    Abbrechen1->setEnabled(false);
    Listeleeren1 = topItem(u"Listeleeren1"_s, u"Liste leeren"_s);
    Bearbeiten1 = MainMenu1->addMenu(u"Bearbeiten"_s);
    Bearbeiten1->setObjectName(u"Bearbeiten1"_s);
    SelectAllItem =
        AddAction(Bearbeiten1, u"SelectAllItem"_s, u"Alles auswählen"_s, QKeySequence(u"Ctrl+A"_s));
    InvertSelectionItem =
        AddAction(Bearbeiten1, u"InvertSelectionItem"_s, u"Auswahl umkehren"_s, QKeySequence(u"Ctrl+R"_s));
    ClearSelectionItem =
        AddAction(Bearbeiten1, u"ClearSelectionItem"_s, u"Auswahl aufheben"_s, QKeySequence(u"Ctrl+N"_s));
    SaveFilesItem =
        AddAction(Bearbeiten1, u"SaveFilesItem"_s, u"Datei(en) speichern..."_s, QKeySequence(u"Ctrl+S"_s));
    SaveFilesItem->setEnabled(false);
    Schliessen1 = topItem(u"Schliessen1"_s, u"Schliessen"_s);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(u"PopupMenu1"_s);
    PopupMenu1->addActions({SelectAllItem, InvertSelectionItem, ClearSelectionItem, SaveFilesItem});

    connect(ffnen1, &QAction::triggered, this, &TSuchergDlg::OpenResultsFile);
    connect(Speichern1, &QAction::triggered, this, &TSuchergDlg::SaveResultsFile);
    connect(Abbrechen1, &QAction::triggered, this, &TSuchergDlg::cancelRequested);
    connect(Listeleeren1, &QAction::triggered, this, &TSuchergDlg::ClearList);
    connect(Schliessen1, &QAction::triggered, this, &QWidget::hide);
    connect(SelectAllItem, &QAction::triggered, ListView1, &QTreeView::selectAll);
    connect(InvertSelectionItem, &QAction::triggered, this, &TSuchergDlg::InvertSelection);
    connect(ClearSelectionItem, &QAction::triggered, ListView1, &QTreeView::clearSelection);
    connect(SaveFilesItem, &QAction::triggered, this, [this] {
        UpdateSaveCommand();
        if (SaveFilesItem->isEnabled())
            emit saveFilesRequested();
    });
}

QAction *TSuchergDlg::AddAction(QMenu *menu, const QString &objectName, const QString &caption,
                                const QKeySequence &shortcut)
{
    QAction *action = menu->addAction(caption);
    action->setObjectName(objectName);
    action->setShortcut(shortcut);
    // The window's keys work while the list has the focus.
    addAction(action);
    return action;
}

void TSuchergDlg::BuildStatusBar()
{
    StatusBar1 = new QStatusBar;
    StatusBar1->setObjectName(u"StatusBar1"_s);
    StatusBar1->setSizeGripEnabled(false);
    for (int width : kPanelWidths) {
        auto *panel = new QLabel;
        panel->setObjectName(u"StatusPanel%1"_s.arg(m_panels.size()));
        panel->setFixedWidth(width);
        StatusBar1->addWidget(panel);
        m_panels.append(panel);
        m_statusTexts.append(QString());
    }
    m_statusTimer.setSingleShot(true);
    m_statusTimer.setInterval(kStatusInterval);
    connect(&m_statusTimer, &QTimer::timeout, this, &TSuchergDlg::ShowStatusTexts);
}

void TSuchergDlg::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    m_panels[0]->setFixedWidth(width() / 3);
    m_panels[1]->setFixedWidth(width() / 3);
}

// --- rows -----------------------------------------------------------------------

void TSuchergDlg::AddHit(const SearchHit &hit)
{
    ScrollTo(m_rows->Add(hit));
}

void TSuchergDlg::ScrollTo(int row)
{
    if (row >= 0)
        ListView1->scrollTo(m_rows->index(row, 0));
}

QList<SearchHit> TSuchergDlg::SelectedHits() const
{
    QList<int> rows;
    for (const QModelIndex &index : ListView1->selectionModel()->selectedRows())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    QList<SearchHit> hits;
    for (int row : rows)
        hits.append(m_rows->Hit(row));
    return hits;
}

QList<int> TSuchergDlg::ColumnWidths() const
{
    QList<int> widths;
    for (int column = 0; column < SearchResultsModel::ColumnCount; ++column)
        widths.append(ListView1->header()->sectionSize(column));
    return widths;
}

void TSuchergDlg::SortByColumn(int column)
{
    int direction = m_rows->SortDirection();
    if (column == m_rows->SortColumn())
        direction = -direction;
    m_rows->SortBy(column, direction);
    m_settings.searchlist_s = m_rows->SortColumn();
    m_settings.searchlist_r = m_rows->SortDirection();
}

void TSuchergDlg::InvertSelection()
{
    QItemSelectionModel *selection = ListView1->selectionModel();
    const QItemSelection all(m_rows->index(0, 0), m_rows->index(m_rows->rowCount() - 1, 0));
    selection->select(all, QItemSelectionModel::Toggle | QItemSelectionModel::Rows);
}

void TSuchergDlg::ShowContextMenu(const QPoint &position)
{
    UpdateSaveCommand();
    PopupMenu1->popup(ListView1->viewport()->mapToGlobal(position));
}

void TSuchergDlg::UpdateSaveCommand()
{
    const bool selected = ListView1->selectionModel()->hasSelection();
    SaveFilesItem->setEnabled(selected && (!SavingAllowed || SavingAllowed()));
}

// The new Glimra connects to the saved connection of the hit's server,
// changes into the folder and selects the file.
void TSuchergDlg::OpenHitFolder(const QModelIndex &index)
{
    if (!index.isValid() || !ListView1->selectionModel()->isRowSelected(index.row(), QModelIndex()))
        return;
    const SearchHit &hit = m_rows->Hit(index.row());
    StartProgram(QCoreApplication::applicationFilePath(), {hit.name, hit.server, hit.folder});
}

// --- commands -------------------------------------------------------------------

void TSuchergDlg::SetSearching(bool searching)
{
    ffnen1->setEnabled(!searching);
    Speichern1->setEnabled(!searching);
    Listeleeren1->setEnabled(!searching);
    Abbrechen1->setEnabled(searching);
}

void TSuchergDlg::OpenResultsFile()
{
    if (!ffnen1->isEnabled())
        return;
    const QString fileName = AskResultsFile(this, u"Suchergebnisse öffnen"_s, QFileDialog::AcceptOpen);
    if (!fileName.isEmpty())
        LoadResultsFile(fileName);
}

void TSuchergDlg::LoadResultsFile(const QString &fileName)
{
    if (!QFileInfo(fileName).isFile())
        return;
    if (m_rows->rowCount() > 0)
        RemoveRowsAfterAsking(u"Vorhandene Einträge löschen?"_s, true);
    const std::optional<QList<SearchHit>> hits = ResultsFile::Read(fileName);
    if (!hits) {
        QMessageBox box(QMessageBox::NoIcon, QString(), ResultsFile::NotAResultsFileMessage(fileName),
                        QMessageBox::Ok, this);
        box.exec();
        return;
    }
    ScrollTo(m_rows->AddAll(*hits));
}

void TSuchergDlg::SaveResultsFile()
{
    if (!Speichern1->isEnabled() || m_rows->rowCount() == 0)
        return;
    const QString fileName = AskResultsFile(this, u"Suchergebnisse speichern"_s, QFileDialog::AcceptSave);
    if (!fileName.isEmpty() && !ResultsFile::Write(fileName, m_rows->Hits()))
        emit errorOccurred(u"Die Datei %1 konnte nicht geschrieben werden."_s.arg(fileName));
}

void TSuchergDlg::ClearList()
{
    if (Listeleeren1->isEnabled() && m_rows->rowCount() > 0)
        RemoveRowsAfterAsking(u"Alle Einträge löschen?"_s, false);
}

void TSuchergDlg::RemoveRowsAfterAsking(const QString &question, bool warning)
{
    QMessageBox box(warning ? QMessageBox::Warning : QMessageBox::Question, QString(), question,
                    QMessageBox::Yes | QMessageBox::No, this);
    if (box.exec() != QMessageBox::Yes)
        return;
    m_rows->Clear();
    UpdateSaveCommand();
}

// --- the search session's log and status ------------------------------------------

void TSuchergDlg::AddLogLine(const QString &line)
{
    ListBox1->AddLine(line, kLogLimit - 1);
    TIdAntiFreeze::DoProcessThrottled();
}

void TSuchergDlg::SetStatusText(int panel, const QString &text)
{
    if (panel < 0 || panel >= m_statusTexts.size())
        return;
    m_statusTexts[panel] = text;
    if (!m_statusTimer.isActive())
        m_statusTimer.start();
}

QString TSuchergDlg::StatusText(int panel) const
{
    return m_statusTexts.value(panel);
}

void TSuchergDlg::ShowStatusTexts()
{
    for (qsizetype panel = 0; panel < m_panels.size(); ++panel)
        m_panels[panel]->setText(m_statusTexts[panel]);
}
