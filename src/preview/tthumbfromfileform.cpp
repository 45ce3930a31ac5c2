#include "tthumbfromfileform.h"

#include "applicationsettings.h"
#include "gridcolor.h"
#include "imagesaving.h"
#include "thumbnailbounds.h"
#include "timagelibthumbnails.h"
#include "tprewdlg.h"
#include "tueberschrdlg.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

constexpr int kCountPanelWidth = 150;

// The folder of the last "Speichern unter...", for the program run.
QString &LastSaveFolder()
{
    static QString folder;
    return folder;
}

QString WithSlash(const QString &folder)
{
    return folder.endsWith(u'/') ? folder : folder + u'/';
}

} // namespace

QString TThumbFromFileForm::CountText(int count)
{
    return QString::number(count) + (count == 1 ? u" Bild"_s : u" Bilder"_s);
}

TThumbFromFileForm::TThumbFromFileForm(ApplicationSettings &settings, const QString &folder, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_settings(settings)
    , m_folder(folder)
{
    setObjectName(u"ThumbFromFileForm"_s);
    setWindowTitle(u"Diashow"_s);
    setAttribute(Qt::WA_DeleteOnClose);
    BuildControls();
    ApplySettings();
    resize(kDefaultSize);
    if (const QScreen *shown = screen()) {
        QRect centred(QPoint(), kDefaultSize);
        centred.moveCenter(shown->availableGeometry().center());
        move(centred.topLeft());
    }
}

void TThumbFromFileForm::BuildControls()
{
    ToolBar1 = new QToolBar;
    ToolBar1->setObjectName(u"ToolBar1"_s);
    ToolBar1->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    const auto addButton = [this](const QString &objectName, const QString &caption,
                                  QStyle::StandardPixmap icon) {
        auto *button = new QToolButton;
        button->setObjectName(objectName);
        button->setText(caption);
        button->setIcon(style()->standardIcon(icon));
        button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        button->setAutoRaise(true);
        ToolBar1->addWidget(button);
        return button;
    };
    SpeedButton1 = addButton(u"SpeedButton1"_s, u"Abbrechen"_s, QStyle::SP_BrowserStop);
    SpeedButton2 = addButton(u"SpeedButton2"_s, u"Einstellungen"_s, QStyle::SP_FileDialogDetailedView);
    connect(SpeedButton1, &QToolButton::clicked, this, &TThumbFromFileForm::Cancel);
    connect(SpeedButton2, &QToolButton::clicked, this, &TThumbFromFileForm::OpenProperties);

    ImageLibThumbnails1 = new TImageLibThumbnails;
    ImageLibThumbnails1->setObjectName(u"ImageLibThumbnails1"_s);
    TImageLibThumbnails *grid = ImageLibThumbnails1;
    connect(grid, &TImageLibThumbnails::countChanged, this, &TThumbFromFileForm::WriteCountText);
    connect(grid, &TImageLibThumbnails::decodingFinished, this, [this] {
        RefreshLoadingState();
        if (m_finishPending)
            ShowFinished();
    });
    connect(grid, &TImageLibThumbnails::openRequested, this, &TThumbFromFileForm::OpenImage);
    connect(grid, &TImageLibThumbnails::thumbDoubleClicked, this, &TThumbFromFileForm::OpenImage);
    connect(grid, &TImageLibThumbnails::contextMenuRequested, this, &TThumbFromFileForm::ShowContextMenu);

    StatusBar1 = new QStatusBar;
    StatusBar1->setObjectName(u"StatusBar1"_s);
    StatusBar1->setSizeGripEnabled(true);
    m_countPanel = new QLabel;
    m_countPanel->setObjectName(u"StatusPanel0"_s);
    m_countPanel->setFixedWidth(kCountPanelWidth);
    m_statePanel = new QLabel;
    m_statePanel->setObjectName(u"StatusPanel1"_s);
    StatusBar1->addWidget(m_countPanel);
    StatusBar1->addWidget(m_statePanel, 1);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(u"PopupMenu1"_s);
    Kopieren1 = PopupMenu1->addAction(u"Speichern unter..."_s);
    Kopieren1->setObjectName(u"Kopieren1"_s);
    connect(Kopieren1, &QAction::triggered, this, &TThumbFromFileForm::SaveAs);
    connect(PopupMenu1, &QMenu::aboutToShow, this, [this] { Kopieren1->setEnabled(CanSave()); });

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(ToolBar1);
    layout->addWidget(ImageLibThumbnails1, 1);
    layout->addWidget(StatusBar1);
}

void TThumbFromFileForm::ApplySettings()
{
    ImageLibThumbnails1->SetThumbnailWidth(m_settings.DiaXt);
    ImageLibThumbnails1->SetThumbnailHeight(m_settings.DiaY);
    ImageLibThumbnails1->SetColor(GridColorFromSetting(m_settings.DiaColor, palette()));
}

void TThumbFromFileForm::ShowAndRestore()
{
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
}

// --- loading -----------------------------------------------------------------

void TThumbFromFileForm::ReloadFromFolder()
{
    ImageLibThumbnails1->LoadFolder(m_folder);
    WriteCountText();
    RefreshLoadingState();
}

void TThumbFromFileForm::BeginLoad()
{
    m_loadRunning = true;
    m_finishPending = false;
    ImageLibThumbnails1->Clear();
    SetPanelText(0, QString());
    SetPanelText(1, QString());
    setWindowTitle(u"Diashow"_s);
    if (isMinimized())
        ShowAndRestore();
    RefreshLoadingState();
}

void TThumbFromFileForm::JoinLoad()
{
    m_loadRunning = true;
    RefreshLoadingState();
}

void TThumbFromFileForm::AddImage(const QString &path)
{
    m_loadRunning = true;
    ImageLibThumbnails1->AddFile(path);
    RefreshLoadingState();
}

void TThumbFromFileForm::FinishLoad(const QString &remoteFolder)
{
    m_loadRunning = false;
    setWindowTitle(u"Diashow - "_s + remoteFolder);
    // "Fertig" waits for the last pictures still being decoded.
    if (ImageLibThumbnails1->Pending() > 0)
        m_finishPending = true;
    else
        ShowFinished();
}

void TThumbFromFileForm::ShowFinished()
{
    m_finishPending = false;
    WriteCountText();
    SetPanelText(1, u"Fertig"_s);
    RefreshLoadingState();
    QApplication::beep();
}

bool TThumbFromFileForm::Loading() const
{
    return m_loadRunning || ImageLibThumbnails1->Pending() > 0;
}

void TThumbFromFileForm::RefreshLoadingState()
{
    ImageLibThumbnails1->SetInputEnabled(!Loading() && !m_saving);
}

// During a load it stops the fetching only: the pictures already fetched
// are still decoded and shown, so the grid holds what the images folder
// holds. Otherwise it stops the decoding of a reload.
void TThumbFromFileForm::Cancel()
{
    if (m_loadRunning)
        emit cancelRequested();
    else
        ImageLibThumbnails1->CancelDecoding();
}

// --- status bar ------------------------------------------------------------------

void TThumbFromFileForm::SetPanelText(int panel, const QString &text)
{
    (panel == 0 ? m_countPanel : m_statePanel)->setText(text);
}

QString TThumbFromFileForm::PanelText(int panel) const
{
    return (panel == 0 ? m_countPanel : m_statePanel)->text();
}

void TThumbFromFileForm::WriteCountText()
{
    SetPanelText(0, CountText(ImageLibThumbnails1->Count()));
}

// --- showing and closing -----------------------------------------------------------

void TThumbFromFileForm::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // Shown by the program, not restored by the user: the folder may have
    // changed since. A running load fills the grid itself.
    if (!event->spontaneous() && !m_loadRunning)
        ReloadFromFolder();
}

void TThumbFromFileForm::closeEvent(QCloseEvent *event)
{
    if (const QScreen *shown = screen())
        StoreThumbnailBounds(m_settings, QRect(pos(), size()), shown->size());
    ImageLibThumbnails1->CancelDecoding();
    QWidget::closeEvent(event);
}

// --- opening and saving --------------------------------------------------------------

void TThumbFromFileForm::OpenImage(int index)
{
    const QString path = ImageLibThumbnails1->FilePath(index);
    if (!path.isEmpty())
        QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void TThumbFromFileForm::ShowContextMenu(const QPoint &position)
{
    if (Loading() || m_saving)
        return;
    PopupMenu1->popup(position);
}

bool TThumbFromFileForm::CanSave() const
{
    const TImageLibThumbnails *grid = ImageLibThumbnails1;
    return !Loading() && !m_saving && grid->Count() > 0 && (grid->MarkedCount() > 0 || grid->Current() >= 0);
}

void TThumbFromFileForm::SaveAs()
{
    if (!CanSave())
        return;
    const QString folder = ChooseSaveFolder();
    if (folder.isEmpty())
        return;
    QStringList files = ImageLibThumbnails1->MarkedFiles();
    if (files.isEmpty())
        files.append(ImageLibThumbnails1->FilePath(ImageLibThumbnails1->Current()));
    m_saving = true;
    RefreshLoadingState();
    const QPointer<TThumbFromFileForm> alive(this);
    SaveImages(files, folder,
               [this, &folder](const QString &source) { return AskAboutExisting(source, folder); });
    if (!alive)
        return;
    m_saving = false;
    RefreshLoadingState();
}

// The overwrite prompt, made for this question only.
ExistingImageAnswer TThumbFromFileForm::AskAboutExisting(const QString &source, const QString &folder)
{
    const QString name = QFileInfo(source).fileName();
    QPointer<TueberschrDlg> prompt = new TueberschrDlg(this);
    const TueberschrDlg::Answer answer = prompt->Ask(folder + name, source, SuggestedImageName(name, folder));
    if (!prompt)
        return ExistingImageAnswer{ExistingImageAnswer::Stop, {}};
    const QString newName = prompt->NewName();
    delete prompt;
    switch (answer) {
    case TueberschrDlg::Answer::Overwrite:
        return ExistingImageAnswer{ExistingImageAnswer::Overwrite, {}};
    case TueberschrDlg::Answer::Skip:
        return ExistingImageAnswer{ExistingImageAnswer::Skip, {}};
    case TueberschrDlg::Answer::Rename:
        return ExistingImageAnswer{ExistingImageAnswer::Rename, newName};
    case TueberschrDlg::Answer::Stop:
        break;
    }
    return ExistingImageAnswer{ExistingImageAnswer::Stop, {}};
}

// An existing folder chosen in the folder chooser, with a trailing "/";
// empty when none was chosen.
QString TThumbFromFileForm::ChooseSaveFolder()
{
    QPointer<QFileDialog> dialog =
        new QFileDialog(this, u"Ordner zum Speichern auswählen"_s, LastSaveFolder());
    dialog->setObjectName(u"PTFolderBrowseDlg1"_s);
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setOption(QFileDialog::ShowDirsOnly);
    const bool chosen = dialog->exec() == QDialog::Accepted && dialog && !dialog->selectedFiles().isEmpty();
    const QString folder = chosen ? dialog->selectedFiles().constFirst() : QString();
    delete dialog;
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        return {};
    LastSaveFolder() = folder;
    return WithSlash(QDir::cleanPath(folder));
}

void TThumbFromFileForm::OpenProperties()
{
    if (Loading() || m_saving)
        return;
    QPointer<TprewDlg> dialog = new TprewDlg(this);
    const bool changed = dialog->Edit(m_settings);
    delete dialog;
    if (!changed)
        return;
    ApplySettings();
    ReloadFromFolder();
}
