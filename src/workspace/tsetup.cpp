#include "tsetup.h"

#include "applicationsettings.h"
#include "keyring.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

Tsetup::Tsetup(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(u"setup"_s);
    setWindowTitle(u"Einstellungen"_s);

    auto *groups = new QGridLayout;
    groups->addWidget(BuildStartupGroup(), 0, 0);
    groups->addWidget(BuildOverwriteGroup(), 1, 0);
    groups->addWidget(BuildLocalViewGroup(), 0, 1);
    groups->addWidget(BuildRemoteViewGroup(), 1, 1);
    groups->addWidget(BuildTransfersGroup(), 2, 0, 1, 2);
    groups->addWidget(BuildSessionGroup(), 3, 0, 1, 2);

    auto *ok = new QPushButton(u"OK"_s, this);
    ok->setObjectName(u"OKBtn"_s);
    ok->setDefault(true);
    auto *cancel = new QPushButton(u"Abbrechen"_s, this);
    cancel->setObjectName(u"CancelBtn"_s);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);

    for (QGroupBox *group : findChildren<QGroupBox *>())
        static_cast<QVBoxLayout *>(group->layout())->addStretch(1);

    auto *layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addLayout(groups);
    layout->addLayout(buttons);
}

QGroupBox *Tsetup::BuildStartupGroup()
{
    QGroupBox *group = AddGroup(u" Startup "_s, u"StartupGroup"_s);
    m_lastFolder = AddCheckBox(group, u"LastFolderBox"_s, u"Letztes Verzeichnis beim Programmstart öffnen"_s);
    m_sizeSave = AddCheckBox(group, u"SizeSaveBox"_s, u"Größe des Fensters beim Beenden speichern"_s);
    m_posSave = AddCheckBox(group, u"PosSaveBox"_s, u"Position des Fensters beim Beenden speichern"_s);
    return group;
}

QGroupBox *Tsetup::BuildLocalViewGroup()
{
    QGroupBox *group = AddGroup(u" Ansicht lokales Fenster "_s, u"LocalViewGroup"_s);
    m_localView = AddViewButtons(group, u"LocalView"_s);
    m_localViewSave = AddCheckBox(group, u"LocalViewSaveBox"_s, u"Ansicht beim Beenden speichern"_s);
    m_localAutoArrange = AddCheckBox(group, u"LocalAutoArrangeBox"_s, u"Automatisch anordnen"_s);
    return group;
}

QGroupBox *Tsetup::BuildRemoteViewGroup()
{
    QGroupBox *group = AddGroup(u" Ansicht FTP Fenster "_s, u"RemoteViewGroup"_s);
    m_remoteView = AddViewButtons(group, u"RemoteView"_s);
    m_remoteViewSave = AddCheckBox(group, u"RemoteViewSaveBox"_s, u"Ansicht beim Beenden speichern"_s);
    m_remoteAutoArrange = AddCheckBox(group, u"RemoteAutoArrangeBox"_s, u"Automatisch anordnen"_s);
    m_summerTime = AddCheckBox(group, u"SummerTimeBox"_s, u"Sommer / Winter Zeit wird lokal verwendet"_s);
    m_slideshow = AddCheckBox(group, u"SlideshowBox"_s, u"Diashow nach Verbindungsaufbau aktivieren"_s);
    return group;
}

QGroupBox *Tsetup::BuildOverwriteGroup()
{
    QGroupBox *group = AddGroup(u" Dateien überschreiben "_s, u"OverwriteGroup"_s);
    m_noPromptOverwrite =
        AddCheckBox(group, u"NoPromptOverwriteBox"_s, u"Dateien ohne Nachfrage überschreiben"_s);
    m_newOnly = AddCheckBox(group, u"NewOnlyBox"_s, u"Nur neuere Dateien kopieren"_s);
    m_allDelete =
        AddCheckBox(group, u"AllDeleteBox"_s, u"Löschen von mehreren Objekten auf dem FTP Server zulassen"_s);
    m_deleteConfirm =
        AddCheckBox(group, u"DeleteConfirmBox"_s, u"Das Löschen eines FTP Objektes bestätigen"_s);
    return group;
}

QGroupBox *Tsetup::BuildTransfersGroup()
{
    QGroupBox *group = AddGroup(u" Übertragungen "_s, u"TransfersGroup"_s);
    m_parallelTransfers = new QSpinBox(group);
    m_parallelTransfers->setObjectName(u"ParallelTransfersBox"_s);
    m_parallelTransfers->setRange(1, ApplicationSettings::kMaxParallelTransfers);
    auto *row = new QHBoxLayout;
    auto *label = new QLabel(u"Gleichzeitige Übertragungen bei Ordnern:"_s, group);
    label->setBuddy(m_parallelTransfers);
    row->addWidget(label);
    row->addWidget(m_parallelTransfers);
    row->addStretch(1);
    static_cast<QVBoxLayout *>(group->layout())->addLayout(row);
    return group;
}

QGroupBox *Tsetup::BuildSessionGroup()
{
    QGroupBox *group = AddGroup(u" Verbindung "_s, u"SessionGroup"_s);
    auto *row = new QHBoxLayout;
    auto *before = new QLabel(u"Ruhende Verbindung halten: NOOP nach"_s, group);
    m_keepAlive = new QSpinBox(group);
    m_keepAlive->setObjectName(u"KeepAliveEdit"_s);
    m_keepAlive->setRange(0, ApplicationSettings::kMaxKeepAlive);
    before->setBuddy(m_keepAlive);
    row->addWidget(before);
    row->addWidget(m_keepAlive);
    row->addWidget(new QLabel(u"Sekunden (0 = nie)"_s, group));
    row->addStretch(1);
    static_cast<QVBoxLayout *>(group->layout())->addLayout(row);
    m_keepUploadTime =
        AddCheckBox(group, u"KeepUploadTimeBox"_s,
                    u"Hochgeladene Dateien behalten ihre Änderungszeit (wo der Server MFMT kennt)"_s);
    AddKeyringBox(group);
    return group;
}

// The box can only be ticked while a keyring answers; else the line below
// it says why.
void Tsetup::AddKeyringBox(QGroupBox *group)
{
    m_keyring = AddCheckBox(group, u"KeyringBox"_s, u"Kennwörter im Schlüsselbund speichern"_s);
    m_keyringProblem = new QLabel(group);
    m_keyringProblem->setObjectName(u"KeyringProblemLabel"_s);
    m_keyringProblem->setWordWrap(true);
    m_keyringProblem->hide();
    group->layout()->addWidget(m_keyringProblem);
    connect(m_keyring, &QCheckBox::clicked, this, [this](bool on) {
        m_keyringProblem->hide();
        if (!on)
            return;
        if (const std::optional<QString> problem = Keyring::Unreachable()) {
            m_keyring->setChecked(false);
            m_keyringProblem->setText(*problem);
            m_keyringProblem->show();
        }
    });
}

QGroupBox *Tsetup::AddGroup(const QString &caption, const QString &objectName)
{
    auto *group = new QGroupBox(caption, this);
    group->setObjectName(objectName);
    new QVBoxLayout(group);
    return group;
}

QCheckBox *Tsetup::AddCheckBox(QGroupBox *group, const QString &objectName, const QString &caption)
{
    auto *box = new QCheckBox(caption, group);
    box->setObjectName(objectName);
    group->layout()->addWidget(box);
    return box;
}

QButtonGroup *Tsetup::AddViewButtons(QGroupBox *group, const QString &objectNamePrefix)
{
    auto *buttons = new QButtonGroup(group);
    auto *row = new QGridLayout;
    const QStringList captions{u"Große Symbole"_s, u"Kleine Symbole"_s, u"Liste"_s, u"Details"_s};
    for (int view = 0; view < captions.size(); ++view) {
        auto *radio = new QRadioButton(captions[view], group);
        radio->setObjectName(objectNamePrefix + QString::number(view));
        buttons->addButton(radio, view);
        row->addWidget(radio, view / 2, view % 2);
    }
    static_cast<QVBoxLayout *>(group->layout())->addLayout(row);
    return buttons;
}

bool Tsetup::Edit(ApplicationSettings &settings)
{
    ShowSettings(settings);
    if (exec() != QDialog::Accepted)
        return false;
    StoreSettings(settings);
    return true;
}

void Tsetup::ShowSettings(const ApplicationSettings &settings)
{
    m_lastFolder->setChecked(settings.Last_Folder);
    m_sizeSave->setChecked(settings.Size_Save);
    m_posSave->setChecked(settings.Pos_Save);
    if (QAbstractButton *view = m_localView->button(settings.Ansicht_Lokal))
        view->setChecked(true);
    m_localViewSave->setChecked(settings.Ansicht_Lokal_Save);
    m_localAutoArrange->setChecked(settings.Autoan_Lokal);
    if (QAbstractButton *view = m_remoteView->button(settings.Ansicht_FTP))
        view->setChecked(true);
    m_remoteViewSave->setChecked(settings.Ansicht_FTP_Save);
    m_remoteAutoArrange->setChecked(settings.Autoan_FTP);
    m_summerTime->setChecked(settings.WSTime_Use);
    m_slideshow->setChecked(settings.DiaShow);
    m_noPromptOverwrite->setChecked(settings.No_Prompt_Overwrite);
    m_newOnly->setChecked(settings.New_Only);
    m_allDelete->setChecked(settings.All_Delete);
    m_deleteConfirm->setChecked(settings.Delete_Confirm);
    m_parallelTransfers->setValue(settings.Parallel_Transfers);
    m_keepAlive->setValue(settings.KeepAlive);
    m_keepUploadTime->setChecked(settings.Keep_Upload_Time);
    m_keyring->setChecked(settings.Passwords_Keyring);
    m_keyringProblem->hide();
}

void Tsetup::StoreSettings(ApplicationSettings &settings) const
{
    settings.Last_Folder = m_lastFolder->isChecked();
    settings.Size_Save = m_sizeSave->isChecked();
    settings.Pos_Save = m_posSave->isChecked();
    if (m_localView->checkedId() >= 0)
        settings.Ansicht_Lokal = m_localView->checkedId();
    settings.Ansicht_Lokal_Save = m_localViewSave->isChecked();
    settings.Autoan_Lokal = m_localAutoArrange->isChecked();
    if (m_remoteView->checkedId() >= 0)
        settings.Ansicht_FTP = m_remoteView->checkedId();
    settings.Ansicht_FTP_Save = m_remoteViewSave->isChecked();
    settings.Autoan_FTP = m_remoteAutoArrange->isChecked();
    settings.WSTime_Use = m_summerTime->isChecked();
    settings.DiaShow = m_slideshow->isChecked();
    settings.No_Prompt_Overwrite = m_noPromptOverwrite->isChecked();
    settings.New_Only = m_newOnly->isChecked();
    settings.All_Delete = m_allDelete->isChecked();
    settings.Delete_Confirm = m_deleteConfirm->isChecked();
    settings.Parallel_Transfers = m_parallelTransfers->value();
    settings.KeepAlive = m_keepAlive->value();
    settings.Keep_Upload_Time = m_keepUploadTime->isChecked();
    settings.Passwords_Keyring = m_keyring->isChecked();
}
