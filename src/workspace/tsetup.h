#pragma once

#include <QDialog>

class ApplicationSettings;
class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QSpinBox;

// The settings dialog ("Einstellungen"): seventeen of the application
// settings in six group boxes. OK stores the controls into the in-memory
// settings; the file is written when the program closes.
class Tsetup : public QDialog {
    Q_OBJECT

public:
    explicit Tsetup(QWidget *parent = nullptr);

    // Shows the settings modally; true when OK stored the controls.
    bool Edit(ApplicationSettings &settings);

    void ShowSettings(const ApplicationSettings &settings);
    void StoreSettings(ApplicationSettings &settings) const;

private:
    QGroupBox *BuildStartupGroup();
    QGroupBox *BuildLocalViewGroup();
    QGroupBox *BuildRemoteViewGroup();
    QGroupBox *BuildOverwriteGroup();
    QGroupBox *BuildTransfersGroup();
    QGroupBox *BuildSessionGroup();
    QGroupBox *AddGroup(const QString &caption, const QString &objectName);
    QCheckBox *AddCheckBox(QGroupBox *group, const QString &objectName, const QString &caption);
    QButtonGroup *AddViewButtons(QGroupBox *group, const QString &objectNamePrefix);
    void AddKeyringBox(QGroupBox *group);

    QCheckBox *m_lastFolder = nullptr;
    QCheckBox *m_sizeSave = nullptr;
    QCheckBox *m_posSave = nullptr;
    QButtonGroup *m_localView = nullptr;
    QCheckBox *m_localViewSave = nullptr;
    QCheckBox *m_localAutoArrange = nullptr;
    QButtonGroup *m_remoteView = nullptr;
    QCheckBox *m_remoteViewSave = nullptr;
    QCheckBox *m_remoteAutoArrange = nullptr;
    QCheckBox *m_summerTime = nullptr;
    QCheckBox *m_slideshow = nullptr;
    QCheckBox *m_noPromptOverwrite = nullptr;
    QCheckBox *m_newOnly = nullptr;
    QSpinBox *m_parallelTransfers = nullptr;
    QCheckBox *m_allDelete = nullptr;
    QCheckBox *m_deleteConfirm = nullptr;
    QSpinBox *m_keepAlive = nullptr;
    QCheckBox *m_keepUploadTime = nullptr;
    QCheckBox *m_keyring = nullptr;
    QLabel *m_keyringProblem = nullptr;
};
