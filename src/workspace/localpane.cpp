#include "localpane.h"

#include "buttoncolumn.h"
#include "locallistview.h"
#include "viewmenu.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QTimer>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace {

constexpr int kNewFolderPollInterval = 50;
// The list shows a new folder within a moment; give up after a few seconds.
constexpr int kNewFolderPollLimit = 100;

} // namespace

LocalPane::LocalPane(QWidget *parent)
    : FilePane(u"LocalPane"_s, parent)
{
    List = new LocalListView(this);
    auto *buttons = new ButtonColumn(this);
    BuildButtons(buttons);
    BuildContextMenu();

    Assemble(List, buttons, Qt::RightEdge, ContextMenu);
    connect(UpButton, &QToolButton::clicked, this, &LocalPane::GoUp);
    connect(RefreshButton, &QToolButton::clicked, List, &LocalListView::Reload);
    connect(NewFolderButton, &QToolButton::clicked, this, &LocalPane::CreateFolder);
    connect(NewFolderItem, &QAction::triggered, this, &LocalPane::CreateFolder);
    m_newFolderTimer = new QTimer(this);
    m_newFolderTimer->setInterval(kNewFolderPollInterval);
    connect(m_newFolderTimer, &QTimer::timeout, this, &LocalPane::EditNewFolderWhenShown);
    connect(ViewsButton, &QToolButton::clicked, this,
            [this] { ContextMenu->popup(ViewsButton->mapToGlobal(QPoint(0, ViewsButton->height()))); });
}

void LocalPane::BuildButtons(ButtonColumn *column)
{
    SpeedButton18 = column->AddButton(u"SpeedButton18"_s, u" Dateien auf den FTP Server übertragen"_s,
                                      QStyle::SP_ArrowRight);
    SpeedButton18->setEnabled(false);
    UpButton = column->AddButton(u"LocalUpButton"_s, u" Zurück"_s, QStyle::SP_FileDialogToParent);
    NewFolderButton =
        column->AddButton(u"LocalNewFolderButton"_s, u"Einen neuen Ordner in Explorer erstellen"_s,
                          QStyle::SP_FileDialogNewFolder);
    RefreshButton =
        column->AddButton(u"LocalRefreshButton"_s, u"Explorer aktualisieren"_s, QStyle::SP_BrowserReload);
    ViewsButton = column->AddButton(u"LocalViewsButton"_s, u"Ansichten"_s, QStyle::SP_FileDialogDetailedView);
}

void LocalPane::BuildContextMenu()
{
    ContextMenu = new QMenu(this);
    ContextMenu->setObjectName(u"LocalContextMenu"_s);

    Views = new ViewMenu(u"Ansichten"_s, u"Liste"_s, u"LocalViews"_s, ContextMenu);
    ContextMenu->addMenu(Views);
    connect(Views, &ViewMenu::viewChosen, this, [this](int view) {
        SetViewStyle(view);
        emit viewStyleChosen(view);
    });
    connect(Views, &ViewMenu::autoArrangeChosen, this, &LocalPane::ChooseAutoArrange);

    ArrangeMenu = ContextMenu->addMenu(u"Symbole anordnen..."_s);
    ArrangeMenu->setObjectName(u"LocalArrangeMenu"_s);
    AddArrangeItem(u"Nach Name"_s, u"ArrangeByName"_s, LocalListView::ByName);
    AddArrangeItem(u"Nach Typ"_s, u"ArrangeByType"_s, LocalListView::ByType);
    AddArrangeItem(u"Nach Größe"_s, u"ArrangeBySize"_s, LocalListView::BySize);
    AddArrangeItem(u"Nach Datum"_s, u"ArrangeByDate"_s, LocalListView::ByDate);
    ArrangeMenu->addSeparator();
    ArrangeAuto = ArrangeMenu->addAction(u"Automatisch anordnen"_s);
    ArrangeAuto->setObjectName(u"ArrangeAuto"_s);
    connect(ArrangeAuto, &QAction::triggered, this, [this] { ChooseAutoArrange(true); });

    ContextMenu->addSeparator();
    RefreshRemoteItem = ContextMenu->addAction(u"&Aktualisieren"_s);
    RefreshRemoteItem->setObjectName(u"LocalRefreshRemoteItem"_s);
    RefreshRemoteItem->setEnabled(false);
    NewFolderItem = ContextMenu->addAction(u"Neuer Ordner erstellen..."_s);
    NewFolderItem->setObjectName(u"LocalNewFolderItem"_s);
    Einfgen1 = ContextMenu->addAction(u"Aus dem FTP Server einfügen"_s);
    Einfgen1->setObjectName(u"Einfgen1"_s);
    Einfgen1->setEnabled(false);
}

void LocalPane::AddArrangeItem(const QString &caption, const QString &objectName, int sortKey)
{
    QAction *item = ArrangeMenu->addAction(caption);
    item->setObjectName(objectName);
    connect(item, &QAction::triggered, this,
            [this, sortKey] { List->SortBy(static_cast<LocalListView::SortKey>(sortKey)); });
}

void LocalPane::AttachPathBox(QComboBox *pathBox)
{
    pathBox->setEditable(true);
    pathBox->setInsertPolicy(QComboBox::NoInsert);
    for (const QString &place : {QDir::homePath(), QDir::rootPath()})
        pathBox->addItem(QDir::toNativeSeparators(place));
    pathBox->setEditText(List->Folder());

    connect(List, &LocalListView::folderChanged, pathBox, [pathBox](const QString &folder) {
        const QString shown = QDir::toNativeSeparators(folder);
        if (pathBox->findText(shown) < 0)
            pathBox->insertItem(0, shown);
        pathBox->setCurrentIndex(pathBox->findText(shown));
    });
    // A folder picked from the list or typed and confirmed with Enter; the
    // box shows the folder the list shows, also after a path that is none.
    const auto open = [this, pathBox](const QString &text) {
        OpenTypedPath(text);
        pathBox->setEditText(QDir::toNativeSeparators(List->Folder()));
    };
    connect(pathBox, &QComboBox::textActivated, this, open);
    connect(pathBox->lineEdit(), &QLineEdit::returnPressed, this,
            [pathBox, open] { open(pathBox->currentText()); });
}

bool LocalPane::OpenTypedPath(const QString &typed)
{
    QString path = QDir::fromNativeSeparators(typed.trimmed());
    if (path == u"~"_s || path.startsWith(u"~/"_s))
        path = QDir::homePath() + path.mid(1);
    else if (QDir::isRelativePath(path))
        path = QDir(List->Folder()).filePath(path);
    return List->SetFolder(path);
}

void LocalPane::SetViewStyle(int view)
{
    List->SetViewStyle(view);
    Views->SetView(view);
}

void LocalPane::SetAutoArrange(bool on)
{
    List->SetAutoArrange(on);
    Views->SetAutoArrange(on);
}

void LocalPane::ChooseAutoArrange(bool on)
{
    SetAutoArrange(on);
    emit autoArrangeChosen(on);
}

void LocalPane::GoUp()
{
    QDir folder(List->Folder());
    if (folder.cdUp())
        List->SetFolder(folder.absolutePath());
}

QString LocalPane::NewFolderName(const QString &folder)
{
    const QDir base(folder);
    QString name = u"Neuer Ordner"_s;
    for (int number = 1; base.exists(name); ++number)
        name = u"Neuer Ordner (%1)"_s.arg(number);
    return name;
}

QString LocalPane::CreateFolder()
{
    const QString base = List->Folder();
    if (!QFileInfo(base).isDir())
        return {};
    const QString name = NewFolderName(base);
    if (!QDir(base).mkdir(name))
        return {};
    QCoreApplication::processEvents();
    List->Reload();
    m_newFolderName = name;
    m_newFolderTicks = 0;
    m_newFolderTimer->start();
    return name;
}

void LocalPane::EditNewFolderWhenShown()
{
    const QModelIndex entry = List->FindEntry(m_newFolderName);
    if (entry.isValid())
        List->EditCaption(entry);
    if (entry.isValid() || ++m_newFolderTicks >= kNewFolderPollLimit)
        m_newFolderTimer->stop();
}
