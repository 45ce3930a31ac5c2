#include "../connections/modalanswer.h"
#include "../transfers/promptanswer.h"
#include "../workspace/sessionwindow.h"
#include "freeport.h"
#include "httplistserver.h"
#include "listupdate.h"
#include "maintoolbar.h"
#include "statuspanels.h"
#include "teeinfdlg.h"
#include "tinifile.h"
#include "tinyproxyserver.h"
#include "tupdatedlg.h"
#include "tverblist.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace {

const QByteArray kSignature = "[ORNA FTP Glimra Tessaline FTP Ferbindungsliste Update]\r\nVersion=7\r\n";
const QString kProxyUser = u"glimra"_s;
const QString kProxyPassword = u"proxy-geheim"_s;
const QString kProxyLoginToken = u"Z2xpbXJhOnByb3h5LWdlaGVpbQ=="_s; // Base64 of "glimra:proxy-geheim"

QByteArray Listed(const QByteArray &name, const QByteArray &group, const QByteArray &extra = {})
{
    return "[" + name + "]\r\nGruppe=" + group + "\r\nFTP_Server=" + name.toLower() +
           ".example\r\nFTPOrdner=/pub\r\n" + extra;
}

// Signature and five entries; "Alpha" is saved already (as "alpha").
QByteArray FiveEntries()
{
    return kSignature + Listed("Alpha", "Linux") + Listed("Bravo", "Linux", "FTP_Pass=abc\r\n") +
           Listed("Charlie", "Linux") + Listed("Delta", "Öffentlich\\Linux\\Debian") +
           Listed("Echo", "Linux");
}

// A new connection as the run with "Proxy/FireWall verwenden" and the login
// style "OPEN remote_host:port" writes it. Scrambled passwords worked out
// with a separate Python version of the cipher.
QByteArray NewSection(const QByteArray &name, const QByteArray &scrambledPassword)
{
    return "\r\n[" + name +
           "]\r\nMLSD=0\r\nMaxentry=1000\r\nLog=-1\r\nFTPOrdner=/pub\r\nTimeout=5000\r\nSocket_Use=0\r\n"
           "FW_Art=1\r\nFW_Pass=Y7k/zWD2gBw6LCw=\r\nFW_User=fwuser\r\nFW_Use=0\r\nProxy_Port=2121\r\n"
           "Proxy_Server=proxy.local\r\nProxy_Use=-1\r\nFTP_Passive=0\r\nFTP_Pass=" +
           scrambledPassword + "\r\nFTP_User=anonymous\r\nFTP_Port=21\r\nFTP_Server=" + name.toLower() +
           ".example\r\nanonymous=-1\r\n";
}
const QByteArray kPlaceholderScrambled = "evJ5938CTKf9Zc5Q3leT1E/h"; // glimra@example.com

struct ShownBox {
    QMessageBox::Icon icon;
    QString title;
    QString text;
};

// Answers every message box with the given button and keeps what it said.
class MessageBoxes {
public:
    explicit MessageBoxes(QMessageBox::StandardButton answer = QMessageBox::No,
                          std::function<void()> beforeAnswer = {})
        : m_answer([this, answer, beforeAnswer](QMessageBox &box, int) {
            shown.append({box.icon(), box.windowTitle(), box.text()});
            if (beforeAnswer)
                beforeAnswer();
            QAbstractButton *button = box.button(answer);
            if (!button)
                button = box.buttons().constFirst();
            button->click();
        })
    {
    }
    QList<ShownBox> shown;

private:
    PromptAnswer<QMessageBox> m_answer;
};

} // namespace

class UpdateWindowTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        SessionWindow::InstallProgramServices();
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        QString error;
        QVERIFY2(m_server.start(&error), qPrintable(error));
        QVERIFY2(m_proxy.start(&error), qPrintable(error));
    }

    void init()
    {
        QVERIFY(m_fixture.PrepareHome());
        m_window = m_fixture.Open();
        QVERIFY(m_window);
        InstallListUpdate(m_window->Parts());
        m_log.clear();
        m_prompts.clear();
    }

    void cleanup() { m_fixture.Close(); }

    // Four offers for five entries (one is saved already, in other letter
    // case); "Ja", "Nein" and "Ja zu allen" decide; the new sections land
    // with every key, nested groups are made, the list keeps only what was
    // not handled, and "Ja" in the report opens the connection manager.
    void mergesTheListIntoTheTree()
    {
        Put(u"Inhaltsverzeichnis/Linux/inhalt.ini"_s, "[alpha]\r\nFTP_Server=alt.example\r\n");
        SetListAddress(u"updates/FTPAdressen.txt"_s, FiveEntries());
        QString captionDuringMerge;
        PromptAnswer<TeeinfDlg> prompts([&](TeeinfDlg &prompt, int index) {
            m_prompts.append(QStringList{prompt.GroupText->text(), prompt.NameText->text(),
                                         prompt.ServerText->text(), prompt.FolderText->text()}
                                 .join(u'|'));
            captionDuringMerge = m_window->findChild<TUpdateDlg *>()->windowTitle();
            QPushButton *answers[] = {prompt.YesBtn, prompt.NoBtn, prompt.YesBtn, prompt.YesToAllBtn};
            answers[qMin(index, 3)]->click();
        });
        ModalAnswer<TVerblist> manager([](TVerblist &window) { window.reject(); });
        MessageBoxes report(QMessageBox::Yes);
        RunUpdate([](TUpdateDlg &dialog) {
            dialog.CheckBox2->setChecked(true);
            dialog.Edit6->setText(u"proxy.local"_s);
            dialog.Edit7->setText(u"2121"_s);
            dialog.Edit1->setText(u"fwuser"_s);
            dialog.Edit2->setText(u"Passwort123"_s);
            dialog.ComboBox1->setCurrentIndex(1);
        });

        QCOMPARE(m_prompts,
                 (QStringList{u"Linux|Bravo|bravo.example|/pub"_s, u"Linux|Charlie|charlie.example|/pub"_s,
                              u"Öffentlich\\Linux\\Debian|Delta|delta.example|/pub"_s,
                              u"Linux|Echo|echo.example|/pub"_s}));
        QCOMPARE(captionDuringMerge, u"Update der FTP Verbindungsliste - 5 Einträge vorhanden"_s);
        QCOMPARE(Get(u"Inhaltsverzeichnis/Linux/inhalt.ini"_s),
                 "[alpha]\r\nFTP_Server=alt.example\r\n" + NewSection("Bravo", "dNxT") +
                     NewSection("Echo", kPlaceholderScrambled));
        QCOMPARE(Get(u"Inhaltsverzeichnis/Öffentlich/Linux/Debian/inhalt.ini"_s),
                 NewSection("Delta", kPlaceholderScrambled));
        QCOMPARE(TIniFile(Root() + u"tmp/FTPAdressen.txt"_s).ReadSections(),
                 QStringList{u"ORNA FTP Glimra Tessaline FTP Ferbindungsliste Update"_s});
        QCOMPARE(
            m_log.filter(u"Neuer Eintrag: "_s),
            (QStringList{u"Neuer Eintrag: Bravo"_s, u"Neuer Eintrag: Delta"_s, u"Neuer Eintrag: Echo"_s}));
        QCOMPARE(report.shown.size(), 1);
        QCOMPARE(report.shown[0].icon, QMessageBox::Question);
        QCOMPARE(report.shown[0].title, u"3 neue Einträge"_s);
        QCOMPARE(report.shown[0].text,
                 u"Es sind 3 neue Einträge vorhanden. Aktualisierte Verbindungsliste ansehen?"_s);
        QCOMPARE(manager.Answered(), 1);
        QCOMPARE(m_window->ConnectionManager()->CurrentMode(), TVerblist::Mode::Manage);
        QVERIFY(!ListUpdate::Of(*m_window)->UpdateWindow());
    }

    // The HTTP proxy's five keys are stored (the password scrambled) and
    // shown again next time; the list comes through the proxy, and with a
    // wrong password the error reaches the program's error display. The
    // password never shows in the window's log, neither plain nor as the
    // Base64 login of a Proxy-Authorization header.
    void theProxyLoginIsKeptAndNeverLogged_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("error");
        QTest::newRow("right login") << kProxyPassword << QString();
        QTest::newRow("wrong password") << u"falsch"_s << u"401 Unauthorized"_s;
    }

    void theProxyLoginIsKeptAndNeverLogged()
    {
        QFETCH(QString, password);
        QFETCH(QString, error);
        const QByteArray body = kSignature + "Echo=Proxy-Authorization: Basic " +
                                kProxyLoginToken.toLatin1() + "\r\nPasswort=" + kProxyPassword.toLatin1() +
                                "\r\n";
        SetListAddress(u"proxy.txt"_s, body);
        MessageBoxes report;
        RunUpdate([&](TUpdateDlg &dialog) {
            dialog.EdtProxy->setText(u" 127.0.0.1 "_s);
            dialog.EdtProxyport->setText(QString::number(m_proxy.port()));
            dialog.CheckBox1->setChecked(true);
            dialog.EdtUser->setText(u" "_s + kProxyUser);
            dialog.EdtPass->setText(password);
        });
        QCOMPARE(report.shown.size(), 1);
        QCOMPARE(report.shown[0].text, u"Es sind keine neuen Einträge vorhanden"_s);
        QCOMPARE(m_window->Status()->PanelText(2), error);
        QVERIFY2(m_proxy.log().contains(m_server.url(u"proxy.txt"_s)), qPrintable(m_proxy.log()));
        QCOMPARE(m_log.filter(kProxyPassword).size(), 0);
        QCOMPARE(m_log.filter(kProxyLoginToken).size(), 0);
        if (error.isEmpty())
            QCOMPARE(m_log.filter(u"Erh.: [ORNA"_s).first().count(u"(HIDDEN)"_s), 2);

        const TIniFile settings(Root() + u"glimra.ini"_s);
        const auto stored = [&](const QString &key) { return settings.ReadString(u"StartUp"_s, key, {}); };
        QCOMPARE(stored(u"Update_Proxy_Server"_s), u"127.0.0.1"_s);
        QCOMPARE(stored(u"Update_Proxy_Port"_s), QString::number(m_proxy.port()));
        QCOMPARE(stored(u"Update_Proxy_auth"_s), u"-1"_s);
        QCOMPARE(stored(u"Update_Proxy_User"_s), kProxyUser);
        if (password == kProxyPassword)
            QCOMPARE(stored(u"Update_Proxy_Pass"_s), u"gwqdLMYcWdshfeZh"_s);

        ModalAnswer<TUpdateDlg> reopened([&](TUpdateDlg &dialog) {
            QCOMPARE(dialog.EdtProxy->text(), u"127.0.0.1"_s);
            QCOMPARE(dialog.EdtProxyport->text(), QString::number(m_proxy.port()));
            QVERIFY(dialog.CheckBox1->isChecked());
            QCOMPARE(dialog.EdtUser->text(), kProxyUser);
            QCOMPARE(dialog.EdtPass->text(), password);
            QCOMPARE(dialog.ComboBox1->currentIndex(), 0);
            dialog.CancelBtn->click();
        });
        m_window->ToolBar()->SpeedButton19->click();
        QCOMPARE(reopened.Answered(), 1);
    }

    // What the user hears when nothing or nothing useful arrived.
    void reportsWhatArrived_data()
    {
        QTest::addColumn<QString>("path"); // empty: nobody listens
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("icon");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("error");
        QTest::newRow("unreachable") << QString() << QByteArray() << int(QMessageBox::Warning)
                                     << u"Keine Verbindung zum Internet vorhanden"_s << QString();
        QTest::newRow("empty body") << u"leer.txt"_s << QByteArray() << int(QMessageBox::Warning)
                                    << u"Keine Verbindung zum Internet vorhanden"_s << QString();
        QTest::newRow("no signature")
            << u"fremd.txt"_s << Listed("Bravo", "Linux") << int(QMessageBox::Information)
            << u"Es sind keine neuen Einträge vorhanden"_s << QString();
        QTest::newRow("missing list")
            << u"gibt-es-nicht.txt"_s << QByteArray() << int(QMessageBox::Information)
            << u"Es sind keine neuen Einträge vorhanden"_s << u"404 File not found"_s;
    }

    void reportsWhatArrived()
    {
        QFETCH(QString, path);
        QFETCH(QByteArray, body);
        QFETCH(int, icon);
        QFETCH(QString, text);
        QFETCH(QString, error);
        if (path.isEmpty())
            WriteListAddress(u"http://127.0.0.1:%1/updates/FTPAdressen.txt"_s.arg(FreeLocalPort()));
        else if (path.startsWith(u"gibt-es-nicht"_s))
            WriteListAddress(m_server.url(path));
        else
            SetListAddress(path, body);
        MessageBoxes boxes;
        RunUpdate();
        QCOMPARE(boxes.shown.size(), 1);
        QCOMPARE(int(boxes.shown[0].icon), icon);
        QCOMPARE(boxes.shown[0].title, QString());
        QCOMPARE(boxes.shown[0].text, text);
        QCOMPARE(m_window->Status()->PanelText(2), error);
        QVERIFY(!QFileInfo::exists(Root() + u"Inhaltsverzeichnis/Linux"_s));
    }

    // "Abbrechen" while the server sends slowly stops the download at once
    // and closes the window without a report. Pressing it twice, pressing
    // "Update starten" again or the tool button meanwhile changes nothing.
    void abbrechenStopsTheDownload()
    {
        QByteArray list = FiveEntries();
        for (int i = 0; i < 20; ++i)
            list += Listed("Mehr" + QByteArray::number(i), "Linux");
        SetListAddress(u"langsam.txt"_s, list);
        WriteListAddress(m_server.url(u"slow/langsam.txt"_s));
        MessageBoxes boxes;
        int updateWindows = 0;
        QTimer pressAbbrechen;
        pressAbbrechen.setInterval(10);
        connect(&pressAbbrechen, &QTimer::timeout, this, [&] {
            TUpdateDlg *dialog = ListUpdate::Of(*m_window)->UpdateWindow();
            if (!dialog || dialog->ProgressBar1->value() == 0)
                return;
            pressAbbrechen.stop();
            QVERIFY(!dialog->OKBtn->isEnabled() && !dialog->CancelBtn->isEnabled());
            dialog->RunListUpdate();
            m_window->ToolBar()->SpeedButton19->click();
            updateWindows = int(m_window->findChildren<TUpdateDlg *>().size());
            dialog->Button1->click();
            dialog->Button1->click();
        });
        pressAbbrechen.start();
        QElapsedTimer clock;
        clock.start();
        RunUpdate();
        QVERIFY2(clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(updateWindows, 1);
        QCOMPARE(boxes.shown.size(), 0);
        QVERIFY(!QFileInfo::exists(Root() + u"Inhaltsverzeichnis/Linux"_s));
        QCOMPARE(m_server.transcript().count(u"GET /slow/langsam.txt"_s), 1);
    }

    // "Abbrechen" during the merge keeps the entries added so far; the report
    // counts them, and "Ja" opens the connection manager only while the main
    // window is free for it.
    void abbrechenDuringTheMergeKeepsTheEntries_data()
    {
        QTest::addColumn<int>("stopAfter");
        QTest::addColumn<bool>("transferRuns");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("managerOpened");
        QTest::newRow("one") << 1 << false << u"1 neuer Eintrag"_s
                             << u"Es ist 1 neuer Eintrag vorhanden. Aktualisierte Verbindungsliste ansehen?"_s
                             << 1;
        QTest::newRow("two, while a transfer runs")
            << 2 << true << u"2 neue Einträge"_s
            << u"Es sind 2 neue Einträge vorhanden. Aktualisierte Verbindungsliste ansehen?"_s << 0;
    }

    void abbrechenDuringTheMergeKeepsTheEntries()
    {
        QFETCH(int, stopAfter);
        QFETCH(bool, transferRuns);
        QFETCH(QString, title);
        QFETCH(QString, text);
        QFETCH(int, managerOpened);
        SetListAddress(u"updates/FTPAdressen.txt"_s, FiveEntries());
        PromptAnswer<TeeinfDlg> prompts([](TeeinfDlg &prompt, int) { prompt.YesToAllBtn->click(); });
        ModalAnswer<TVerblist> manager([](TVerblist &window) { window.reject(); });
        MessageBoxes report(QMessageBox::Yes, [&] { m_window->Main().Flags.TransferActive = transferRuns; });
        m_onLogLine = [&](const QString &line) {
            if (line.startsWith(u"Neuer Eintrag: "_s) && --stopAfter == 0)
                ListUpdate::Of(*m_window)->UpdateWindow()->Button1->click();
        };
        RunUpdate();
        m_window->Main().Flags.TransferActive = false;

        QCOMPARE(prompts.Answered(), 1);
        const QStringList added = TIniFile(Root() + u"Inhaltsverzeichnis/Linux/inhalt.ini"_s).ReadSections();
        QCOMPARE(added, QStringList({u"Alpha"_s, u"Bravo"_s}).mid(0, added.size()));
        QCOMPARE(report.shown.size(), 1);
        QCOMPARE(report.shown[0].title, title);
        QCOMPARE(report.shown[0].text, text);
        QCOMPARE(manager.Answered(), managerOpened);
    }

private:
    QString Root() const { return m_fixture.DataRoot(); }

    void Put(const QString &relative, const QByteArray &bytes)
    {
        const QString path = Root() + relative;
        QVERIFY(QDir().mkpath(QFileInfo(path).path()));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    QByteArray Get(const QString &relative) const
    {
        QFile file(Root() + relative);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    void WriteListAddress(const QString &url)
    {
        TIniFile settings(Root() + u"glimra.ini"_s);
        settings.WriteString(u"StartUp"_s, u"Update_URL"_s, url);
    }

    void SetListAddress(const QString &path, const QByteArray &body)
    {
        QVERIFY(m_server.addFile(path, body));
        WriteListAddress(m_server.url(path));
    }

    // Presses the tool button; in the update window fills the fields and
    // presses "Update starten". Returns when the window and its report are
    // gone. The window's log lines are collected as they come.
    void RunUpdate(const std::function<void(TUpdateDlg &)> &fill = {})
    {
        ModalAnswer<TUpdateDlg> start([&](TUpdateDlg &dialog) {
            if (fill)
                fill(dialog);
            connect(dialog.ListBox1->model(), &QAbstractItemModel::rowsInserted, this,
                    [this, list = dialog.ListBox1](const QModelIndex &, int first, int last) {
                        for (int row = first; row <= last; ++row) {
                            m_log.append(list->item(row)->text());
                            if (m_onLogLine)
                                m_onLogLine(m_log.last());
                        }
                    });
            QMetaObject::invokeMethod(dialog.OKBtn, &QPushButton::click, Qt::QueuedConnection);
        });
        m_window->ToolBar()->SpeedButton19->click();
        m_onLogLine = nullptr;
        QCOMPARE(start.Answered(), 1);
    }

    HttpListServer m_server;
    TinyProxyServer m_proxy{kProxyUser, kProxyPassword};
    SessionWindow m_fixture;
    TFTPqvx *m_window = nullptr;
    QStringList m_log;
    QStringList m_prompts;
    std::function<void(const QString &)> m_onLogLine;
};

QTEST_MAIN(UpdateWindowTest)
#include "test_updatewindow.moc"
