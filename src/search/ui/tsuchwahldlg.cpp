#include "tsuchwahldlg.h"

#include "connectiontreestore.h"
#include "connectiontreeview.h"
#include "rememberedtreeposition.h"
#include "searchtargets.h"
#include "symbols.h"
#include "windowplacement.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTimeEdit>
#include <QTreeWidgetItemIterator>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

const QString kPictures =
    u"*.jpg;*.jpeg;*.jpe;*.jif;*.jfif;*.gif;*.pcd;*.kdc;*.pbm;*.bmp;*.dib;*.pcx;*.pic;*.pix;"
    u"*.png;*.psd;*.psp;*.tga;*.tif;*.tiff;*.xif;*.wmf;"_s;
const QString kMusic = u"*.mp3;*.mid;*.wav;*.au;*.aif*;*.m1v;*.m3u;*.mod;"_s;
const QString kVideos = u"*.mpg;*.mpeg;*.avi;*.qt;*.mov;*.asf;*.asx;*.ivf;*.lsf;*.ra;*.ram;*.mpt;"_s;
const QString kDocuments = u"*.txt;*.doc;*.dot;*.xl*;*.pdf;*.hlp;*.cnf;*.rtf;*.csv;*.sdw;"_s;

template <class Widget> Widget *Named(Widget *widget, const QString &objectName)
{
    widget->setObjectName(objectName);
    return widget;
}

QCheckBox *CheckBox(const QString &objectName, const QString &caption, bool checked = false)
{
    auto *box = Named(new QCheckBox(caption), objectName);
    box->setChecked(checked);
    return box;
}

QLineEdit *Edit(const QString &objectName)
{
    return Named(new QLineEdit, objectName);
}

QDateEdit *DatePicker(const QString &objectName)
{
    auto *picker = Named(new QDateEdit(QDate(2003, 1, 1)), objectName);
    picker->setDisplayFormat(QLocale().dateFormat(QLocale::LongFormat));
    picker->setCalendarPopup(true);
    return picker;
}

QTimeEdit *TimePicker(const QString &objectName)
{
    auto *picker = Named(new QTimeEdit(QTime(8, 0)), objectName);
    picker->setDisplayFormat(QLocale().timeFormat(QLocale::ShortFormat));
    return picker;
}

std::optional<QDateTime> Limit(const QCheckBox *on, const QDateEdit *date, const QTimeEdit *time)
{
    if (!on->isChecked())
        return std::nullopt;
    return QDateTime(date->date(), time->time());
}

} // namespace

TSuchwahlDlg::TSuchwahlDlg(QWidget *parent)
    : QDialog(parent, Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(u"SuchwahlDlg"_s);
    setWindowTitle(u"Suchoptionen"_s);
    setModal(true);

    PageControl1 = Named(new QTabWidget, u"PageControl1"_s);
    PageControl1->addTab(BuildWherePage(), u"Suchen in"_s);
    PageControl1->addTab(BuildSimplePage(), u"Einfache Suche"_s);
    PageControl1->addTab(BuildDetailedPage(), u"Profi Suche"_s);
    PageControl1->setCurrentIndex(1);

    OKBtn = Named(new QPushButton(u"Suche starten"_s), u"OKBtn"_s);
    OKBtn->setDefault(true);
    OKBtn->setEnabled(false);
    CancelBtn = Named(new QPushButton(u"Abbrechen"_s), u"CancelBtn"_s);
    connect(OKBtn, &QPushButton::clicked, this, &TSuchwahlDlg::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &TSuchwahlDlg::reject);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKBtn);
    buttons->addWidget(CancelBtn);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(PageControl1);
    layout->addLayout(buttons);
    resize(527, 365);
}

QWidget *TSuchwahlDlg::BuildWherePage()
{
    TreeView1 = Named(new ConnectionTreeView, u"TreeView1"_s);
    TreeView1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    TreeView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TreeView1->setDragEnabled(false);
    TreeView1->setAcceptDrops(false);
    TreeView1->setDragDropMode(QAbstractItemView::NoDragDrop);
    TreeView1->installEventFilter(this);
    connect(TreeView1, &QTreeWidget::itemSelectionChanged, this, &TSuchwahlDlg::UpdateStartButton);
    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);
    layout->addWidget(TreeView1);
    return page;
}

QWidget *TSuchwahlDlg::BuildSimplePage()
{
    CheckBox7 = CheckBox(u"CheckBox7"_s, u"Nach Bildern suchen"_s);
    CheckBox8 = CheckBox(u"CheckBox8"_s, u"Nach Musik suchen"_s);
    CheckBox9 = CheckBox(u"CheckBox9"_s, u"Nach Videos suchen"_s);
    CheckBox10 = CheckBox(u"CheckBox10"_s, u"Nach Dokumenten suchen"_s);
    auto *picture = new QLabel;
    picture->setPixmap(Symbols::Search().scaled(64, 64, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    auto *page = new QWidget;
    auto *layout = new QGridLayout(page);
    layout->addWidget(picture, 0, 0, 4, 1, Qt::AlignCenter);
    int row = 0;
    for (QCheckBox *box : {CheckBox7, CheckBox8, CheckBox9, CheckBox10}) {
        layout->addWidget(box, row++, 1);
        connect(box, &QCheckBox::clicked, this, &TSuchwahlDlg::ApplyCategories);
    }
    layout->setColumnStretch(1, 1);
    return page;
}

QWidget *TSuchwahlDlg::BuildDetailedPage()
{
    GroupBox1 = Named(new QGroupBox(u" Suchoptionen "_s), u"GroupBox1"_s);
    CheckBox1 = CheckBox(u"CheckBox1"_s, u"Dateinamen"_s);
    CheckBox2 = CheckBox(u"CheckBox2"_s, u"Datei Inhalt"_s, true);
    CheckBox6 = CheckBox(u"CheckBox6"_s, u"Groß und Klein beachten"_s);
    auto *where = new QHBoxLayout;
    where->addWidget(Named(new QLabel(u"Suchen in:"_s), u"Label1"_s));
    where->addWidget(CheckBox1);
    where->addWidget(CheckBox2);
    where->addStretch();
    where->addWidget(CheckBox6);

    Edit2 = Edit(u"Edit2"_s);
    Edit2->setText(u"*.*"_s);
    auto *layout = new QVBoxLayout(GroupBox1);
    layout->addLayout(where);
    layout->addWidget(Named(new QLabel(u"Suchbegriffe"_s), u"Label2"_s));
    layout->addWidget(BuildTermRows());
    layout->addWidget(Named(new QLabel(u"Inhalte bei folgenden Dateien durchsuchen"_s), u"Label8"_s));
    layout->addWidget(Edit2);
    layout->addWidget(BuildLimitRows());
    layout->addStretch();

    auto *page = new QWidget;
    auto *pageLayout = new QVBoxLayout(page);
    pageLayout->addWidget(GroupBox1);
    return page;
}

QWidget *TSuchwahlDlg::BuildTermRows()
{
    Edit1 = Edit(u"Edit1"_s);
    Edit3 = Edit(u"Edit3"_s);
    Edit4 = Edit(u"Edit4"_s);
    Edit5 = Edit(u"Edit5"_s);
    Edit6 = Edit(u"Edit6"_s);
    Edit7 = Edit(u"Edit7"_s);
    auto *rows = new QWidget;
    auto *layout = new QGridLayout(rows);
    layout->setContentsMargins(0, 0, 0, 0);
    const auto addRow = [layout](int row, const QString &joint, std::initializer_list<QLineEdit *> edits) {
        int column = 0;
        for (QLineEdit *edit : edits) {
            if (column > 0)
                layout->addWidget(new QLabel(joint), row, column++);
            layout->addWidget(edit, row, column++);
        }
    };
    addRow(0, u"UND"_s, {Edit1, Edit3, Edit4});
    addRow(1, u"ODER"_s, {Edit5, Edit6, Edit7});
    return rows;
}

QWidget *TSuchwahlDlg::BuildLimitRows()
{
    CheckBox3 = CheckBox(u"CheckBox3"_s, u"Dateien nicht größer als"_s);
    SpinEdit1 = Named(new QDoubleSpinBox, u"SpinEdit1"_s);
    // Whole bytes, beyond the 2 GiB an int spin box could hold.
    SpinEdit1->setDecimals(0);
    SpinEdit1->setRange(0, 1e15);
    SpinEdit1->setGroupSeparatorShown(false);
    CheckBox4 = CheckBox(u"CheckBox4"_s, u"Erstellt / geändert nach"_s);
    DateTimePicker1 = DatePicker(u"DateTimePicker1"_s);
    DateTimePicker2 = TimePicker(u"DateTimePicker2"_s);
    CheckBox5 = CheckBox(u"CheckBox5"_s, u"Erstellt / geändert vor"_s);
    DateTimePicker3 = DatePicker(u"DateTimePicker3"_s);
    DateTimePicker4 = TimePicker(u"DateTimePicker4"_s);

    auto *rows = new QWidget;
    auto *layout = new QGridLayout(rows);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(CheckBox3, 0, 0);
    layout->addWidget(SpinEdit1, 0, 1);
    layout->addWidget(Named(new QLabel(u"durchsuchen"_s), u"Label3"_s), 0, 2);
    layout->addWidget(CheckBox4, 1, 0);
    layout->addWidget(DateTimePicker1, 1, 1);
    layout->addWidget(DateTimePicker2, 1, 2);
    layout->addWidget(CheckBox5, 2, 0);
    layout->addWidget(DateTimePicker3, 2, 1);
    layout->addWidget(DateTimePicker4, 2, 2);
    return rows;
}

void TSuchwahlDlg::SetTreeFolder(const QString &folder)
{
    m_treeFolder = folder;
}

void TSuchwahlDlg::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    CenterOnScreen(*this);
    LoadTree();
}

void TSuchwahlDlg::LoadTree()
{
    TreeView1->clear();
    ConnectionTreeStore(m_treeFolder).LoadConnectionTree(m_tree);
    TreeView1->ShowTree(m_tree);
    SelectRememberedNode();
    UpdateStartButton();
}

void TSuchwahlDlg::SelectRememberedNode()
{
    const int position = RememberedTreePosition();
    if (position < 0 || position >= m_tree.NodeCount())
        return;
    if (QTreeWidgetItem *item = TreeView1->ItemOf(m_tree.NodeAt(position))) {
        for (QTreeWidgetItem *parent = item->parent(); parent; parent = parent->parent())
            parent->setExpanded(true);
        item->setSelected(true);
        TreeView1->scrollToItem(item);
    }
}

void TSuchwahlDlg::UpdateStartButton()
{
    OKBtn->setEnabled(!TreeView1->selectedItems().isEmpty());
}

bool TSuchwahlDlg::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != TreeView1 || event->type() != QEvent::KeyPress)
        return QDialog::eventFilter(watched, event);
    const auto *key = static_cast<QKeyEvent *>(event);
    if (key->matches(QKeySequence::SelectAll)) {
        for (QTreeWidgetItemIterator item(TreeView1); *item; ++item)
            (*item)->setSelected(true);
    } else if (key->key() == Qt::Key_F5) {
        LoadTree();
    } else if (key->key() == Qt::Key_Delete) {
        TreeView1->clearSelection();
    } else {
        return QDialog::eventFilter(watched, event);
    }
    return true;
}

// A category box resets the detailed search to a name pattern search.
void TSuchwahlDlg::ApplyCategories()
{
    CheckBox1->setChecked(false);
    CheckBox2->setChecked(true);
    CheckBox6->setChecked(false);
    for (QLineEdit *edit : TermEdits())
        edit->clear();
    CheckBox3->setChecked(false);
    CheckBox4->setChecked(false);
    CheckBox5->setChecked(false);
    QString patterns;
    const std::pair<QCheckBox *, const QString *> categories[] = {
        {CheckBox7, &kPictures}, {CheckBox8, &kMusic}, {CheckBox9, &kVideos}, {CheckBox10, &kDocuments}};
    for (const auto &[box, list] : categories) {
        if (box->isChecked())
            patterns += *list;
    }
    Edit2->setText(patterns.isEmpty() ? u"*.*;"_s : patterns);
}

void TSuchwahlDlg::accept()
{
    QString error;
    if (!SearchMatcher::Prepare(Criteria(), &error)) {
        QMessageBox::warning(this, QString(), error);
        return;
    }
    SelectEverythingBelowGroups();
    if (!CheckBox6->isChecked())
        LowerTexts();
    QDialog::accept();
}

// Children come after their group in this order, so a selected group
// passes its selection on down to the bottom of the tree.
void TSuchwahlDlg::SelectEverythingBelowGroups()
{
    for (QTreeWidgetItemIterator item(TreeView1); *item; ++item) {
        const ConnectionTreeNode *node = TreeView1->NodeOf(*item);
        if (!(*item)->isSelected() || !node || !node->IsGroup())
            continue;
        for (int child = 0; child < (*item)->childCount(); ++child)
            (*item)->child(child)->setSelected(true);
    }
}

void TSuchwahlDlg::LowerTexts()
{
    const QLocale locale;
    for (QLineEdit *edit : TermEdits())
        edit->setText(locale.toLower(edit->text()));
    Edit2->setText(locale.toLower(Edit2->text()));
}

QList<QLineEdit *> TSuchwahlDlg::TermEdits() const
{
    return {Edit1, Edit3, Edit4, Edit5, Edit6, Edit7};
}

SearchCriteria TSuchwahlDlg::Criteria() const
{
    SearchCriteria criteria;
    criteria.patternText = Edit2->text();
    criteria.andTerms = {Edit1->text(), Edit3->text(), Edit4->text()};
    criteria.orTerms = {Edit5->text(), Edit6->text(), Edit7->text()};
    criteria.searchNames = CheckBox1->isChecked();
    criteria.searchContents = CheckBox2->isChecked();
    criteria.caseSensitive = CheckBox6->isChecked();
    // The box switches the limit on and off; the number alone does not.
    criteria.sizeLimit = CheckBox3->isChecked() ? qint64(SpinEdit1->value()) : 0;
    criteria.changedAfter = Limit(CheckBox4, DateTimePicker1, DateTimePicker2);
    criteria.changedBefore = Limit(CheckBox5, DateTimePicker3, DateTimePicker4);
    return criteria;
}

QList<SearchTarget> TSuchwahlDlg::SelectedConnections() const
{
    const ConnectionTreeStore store(m_treeFolder);
    QList<SearchTarget> targets;
    for (int position = 0; position < m_tree.NodeCount(); ++position) {
        const ConnectionTreeNode *node = m_tree.NodeAt(position);
        const QTreeWidgetItem *item = TreeView1->ItemOf(node);
        if (node->IsConnection() && item && item->isSelected())
            targets.append(SearchTargets::Of(store, *node));
    }
    return targets;
}
