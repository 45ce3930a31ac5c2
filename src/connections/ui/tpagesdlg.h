#pragma once

#include "connectionprofile.h"

#include <QDate>
#include <QDialog>
#include <QTime>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QTimeEdit;

// The properties of one saved connection on five pages. The caller names the
// connection (empty for a new one) and its group, shows the dialog modally
// and, after OK, reads the name the profile was saved under. One instance
// serves every call; each showing fills the controls anew.
class TPagesDlg : public QDialog {
    Q_OBJECT

public:
    explicit TPagesDlg(QWidget *parent = nullptr);

    // The connection tree's folder; group paths are relative to it.
    void SetTreeFolder(const QString &folder);
    void SetConnection(const QString &name, const QString &groupPath);
    // After OK: the name the profile was written under.
    const QString &ConnectionName() const { return m_savedName; }

    void accept() override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    QWidget *BuildServerPage();
    QGroupBox *BuildSshKeyGroup();
    QWidget *BuildSslPage();
    QWidget *BuildProxyPage();
    QWidget *BuildSocksPage();
    QWidget *BuildCommentPage();
    void ConnectHandlers();

    // Without the tree's folder there is nothing to read or write.
    bool HasTree() const { return !m_treeFolder.isEmpty(); }
    void FillControls();
    void ShowProfile(const ConnectionProfile &profile);
    ConnectionProfile ProfileFromControls() const;
    QStringList CommentLines() const;
    // The first password field whose text is too long to be stored, or null.
    QLineEdit *OverlongPasswordField() const;
    // The first port field holding a number above 65535, or null.
    QLineEdit *PortFieldBeyondRange() const;
    // Warns, then shows the field's page and puts the cursor into it.
    void Refuse(QLineEdit *field, const QString &warning);

    void CheckName();
    void MirrorHost(const QString &host);
    void AnonymousClicked(bool checked);
    void SslClicked(bool checked);
    void ExplicitSslClicked();
    void ProtocolChosen(int index);
    // Shows what the chosen protocol has and hides what it has not.
    void ShowProtocolControls();
    void TimeDifferenceChanged(const QTime &time);
    void CommentChanged();
    void ChooseCertificateFile(QLineEdit *field, const QString &title);
    void ChooseSshKeyFile();
    void ChooseFile(QLineEdit *field, const QString &title, const QStringList &filters,
                    const QString &startFolder);
    void ChooseLocalFolder();

    QString m_treeFolder;
    QString m_groupPath;
    QString m_openedName;
    QString m_savedName;
    // Mutes the change handlers while the dialog fills its controls or saves.
    bool m_loading = false;
    // The picker's previous value: leaving 00:00 flips the sign.
    QTime m_timeComparison;
    // The picker shows a time of day; the stored value keeps its date.
    QDate m_timeDifDate;

    QTabWidget *Pages = nullptr;
    QWidget *SslPage = nullptr;
    QWidget *ProxyPage = nullptr;
    QPushButton *OKBtn = nullptr;
    QPushButton *CancelBtn = nullptr;

    // "FTP Server"
    QLineEdit *vbname = nullptr;
    QComboBox *ProtocolBox = nullptr; // index: FileProtocol
    QLineEdit *HostTxt = nullptr;
    QLineEdit *PortTxt = nullptr;
    QCheckBox *CheckBox4 = nullptr;
    QLineEdit *UserTxt = nullptr;
    QLineEdit *PassTxt = nullptr;
    QLineEdit *openfolder = nullptr;
    QCheckBox *CheckBox3 = nullptr;
    QSpinBox *SpinEdit1 = nullptr;
    QCheckBox *CheckBox7 = nullptr;
    QCheckBox *CheckBox8 = nullptr;
    QCheckBox *CheckBox9 = nullptr;
    QLabel *Label19 = nullptr;
    QTimeEdit *DateTimePicker1 = nullptr;
    QLineEdit *Edit10 = nullptr;
    QCheckBox *CheckBox5 = nullptr;
    QSpinBox *SpinEdit2 = nullptr;
    QGroupBox *SshKeyGroup = nullptr;
    QLineEdit *SshKeyFileEdit = nullptr;
    QLineEdit *SshKeyPassEdit = nullptr;
    QCheckBox *SshKeyPassaskBox = nullptr;

    // "SSL"
    QCheckBox *CheckBox14 = nullptr;
    QCheckBox *ExplicitSslCheckBox = nullptr;
    QLineEdit *txtRootCertificateFile = nullptr;
    QLineEdit *txtKeyFile = nullptr;
    QLineEdit *txtCertificateFile = nullptr;
    QLineEdit *Edit9 = nullptr;
    QCheckBox *CheckBox10 = nullptr;
    QComboBox *ComboBox3 = nullptr;
    QCheckBox *CheckBox11 = nullptr;
    QCheckBox *CheckBox12 = nullptr;
    QCheckBox *CheckBox13 = nullptr;
    QSpinBox *SpinEdit3 = nullptr;

    // "Proxy / FireWall"
    QCheckBox *CheckBox1 = nullptr;
    QLineEdit *Edit6 = nullptr;
    QLineEdit *Edit7 = nullptr;
    QCheckBox *CheckBox2 = nullptr;
    QLineEdit *Edit1 = nullptr;
    QLineEdit *Edit2 = nullptr;
    QComboBox *ComboBox1 = nullptr;

    // "Socket "
    QCheckBox *CheckBox6 = nullptr;
    QLineEdit *Edit8 = nullptr;
    QLineEdit *Edit3 = nullptr;
    QLineEdit *Edit4 = nullptr;
    QLineEdit *Edit5 = nullptr;

    // "Kommentar"
    QPlainTextEdit *Memo1 = nullptr;
};
