#pragma once

#include "listdownload.h"
#include "listmerge.h"

#include <QDialog>

#include <functional>

class QCheckBox;
class QComboBox;
class QFile;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QStatusBar;
struct UpdateProxySettings;

// What the update window needs of the program around it; every member is set.
struct UpdateEnvironment {
    QString settingsFile; // glimra.ini: the update's address and its proxy
    QString tmpFolder;    // receives the downloaded list
    QString treeFolder;   // the connection tree
    std::function<void(int code)> setActivity;
    std::function<bool()> mainSessionConnected;
    // The program's error display, for errors that end a run.
    std::function<void(const QString &message)> showError;
};

// "Update der FTP Verbindungsliste": how this computer reaches the internet,
// the proxy, firewall and SOCKS settings that new connections get, and the
// run that fetches the published list and merges it into the tree. A run
// closes the window: with OK when it ran to its end, with cancel after
// "Abbrechen".
class TUpdateDlg : public QDialog, private ListMergeHost {
    Q_OBJECT

public:
    static constexpr int kMaxLogLines = 100;
    static constexpr int kMaxShownLineLength = 1024;
    static QString Caption();
    // The downloaded list in the tmp folder.
    static QString ListFileName() { return QStringLiteral("FTPAdressen.txt"); }

    explicit TUpdateDlg(const UpdateEnvironment &environment, QWidget *parent = nullptr);
    ~TUpdateDlg() override;

    void RunListUpdate();  // "Update starten"
    void StopListUpdate(); // "Abbrechen"
    bool IsRunning() const { return m_running; }
    // The count of new entries of the last run; -1 when nothing arrived.
    int NewEntries() const { return m_newEntries; }
    QString PanelText(int panel) const;

    // " HTTP  Internetzugang "
    QLineEdit *EdtProxy = nullptr;
    QLineEdit *EdtProxyport = nullptr;
    QCheckBox *CheckBox1 = nullptr;
    QLineEdit *EdtUser = nullptr;
    QLineEdit *EdtPass = nullptr;
    // " Proxy Server / FireWall "
    QCheckBox *CheckBox2 = nullptr;
    QLineEdit *Edit6 = nullptr;
    QLineEdit *Edit7 = nullptr;
    QLineEdit *Edit1 = nullptr;
    QLineEdit *Edit2 = nullptr;
    QComboBox *ComboBox1 = nullptr;
    QCheckBox *CheckBox3 = nullptr;
    // " Socket "
    QCheckBox *CheckBox6 = nullptr;
    QLineEdit *Edit8 = nullptr;
    QLineEdit *Edit3 = nullptr;
    QLineEdit *Edit4 = nullptr;
    QLineEdit *Edit5 = nullptr;

    QPushButton *OKBtn = nullptr;     // "Update starten"
    QPushButton *Button1 = nullptr;   // "Abbrechen"
    QPushButton *CancelBtn = nullptr; // "Schliessen"
    QProgressBar *ProgressBar1 = nullptr;
    QListWidget *ListBox1 = nullptr;
    QStatusBar *StatusBar1 = nullptr;

public slots:
    // Esc, "Schliessen" and the window's close box; while a run is under
    // way they ask it to stop, and the run closes the window.
    void reject() override;

private:
    QGroupBox *BuildInternetGroup();
    QGroupBox *BuildLocalGroup();
    QGroupBox *BuildFirewallGroup();
    QGroupBox *BuildSocksGroup();
    QWidget *BuildButtons();
    void WireDownload();
    void ShowStoredProxy();

    // The steps of a run.
    void BeginRun();
    UpdateProxySettings ProxyFromFields() const;
    AddedConnectionSettings LocalSettingsFromFields() const;
    void StoreProxySettings(const UpdateProxySettings &proxy) const;
    ListDownload::Result DownloadList(const HttpProxy &proxy);
    static bool CreateEmpty(QFile &file);
    void MergeList();
    void EndRun(bool nothingArrived);
    QString ListFile() const;

    void AddLogLine(const QString &line);
    void ShowPanel(int panel, const QString &text);

    // ListMergeHost
    EntryAnswer AskToAdd(const ListedConnection &entry) override;
    void LogLine(const QString &line) override;
    void SectionHandled(int position, int total, int added) override;
    void ProcessPendingEvents() override;
    bool StopRequested() const override { return m_stopRequested; }

    UpdateEnvironment m_environment;
    ListDownload m_download;
    bool m_running = false;
    bool m_stopRequested = false;
    int m_newEntries = 0;
    // The proxy login of the running update, kept out of the log.
    QString m_logUser;
    QString m_logPassword;
    QLabel *m_panels[2] = {};
    QList<QGroupBox *> m_fieldGroups;
};
