// The main window over SFTP, offscreen, against OpenSSH's sshd on
// 127.0.0.1: a saved SFTP connection opens after the host key question,
// the remote pane lists and browses, folders go down and files up, and the
// key the user accepted is known on the next connect; a changed key stops
// the connect before any password goes out.
#include "../workspace/remotesessionfixture.h"

#include "connectionprofile.h"
#include "datafolders.h"
#include "locallistview.h"
#include "localpane.h"
#include "maintoolbar.h"
#include "promptanswer.h"
#include "remotepane.h"
#include "sessioncontrol.h"
#include "sshserver.h"
#include "statuspanels.h"
#include "tinifile.h"
#include "transfers.h"

#include <QDirIterator>
#include <QMessageBox>
#include <QPushButton>
#include <QToolButton>

using namespace Qt::StringLiterals;

class SftpWindowTest : public QObject {
    Q_OBJECT

    SshServer m_server;
    RemoteSessionFixture m_fixture;
    QTemporaryDir m_local;
    QString m_connectionFile;
    QStringList m_keyQuestions;

    TFTPqvx *Window() const { return m_fixture.Window(); }

    // Answers the host key question with the named button and notes its text.
    PromptAnswer<QMessageBox> AnswerHostKey(const QString &button)
    {
        return PromptAnswer<QMessageBox>([this, button](QMessageBox &box, int) {
            m_keyQuestions.append(box.text());
            box.findChild<QPushButton *>(button)->click();
        });
    }

    void ConnectThroughFile() { Window()->Session()->HandleCommandLine({m_connectionFile}); }

    bool Lists(const QString &caption) const { return Captions(Window()->Remote()->List).contains(caption); }

private slots:
    void initTestCase()
    {
        SSH_START_OR_SKIP(m_server);
        qunsetenv("SSH_AUTH_SOCK");
        QVERIFY(m_server.addFile(u"liesmich.txt"_s, "Hallo über SFTP\n"));
        QVERIFY(m_server.addFile(u"Ordner/ä.bin"_s, QByteArray(70000, 'a')));
        QVERIFY(m_server.addFile(u"Ordner/tief/b.bin"_s, QByteArray(3000, 'b')));

        RemoteSessionFixture::InstallProgramServices();
        QVERIFY(m_fixture.OpenWindow());
        InstallTransfers(Window()->Parts());
        QVERIFY(Window()->Local()->List->SetFolder(m_local.path()));

        ConnectionProfile profile;
        profile.Protokoll = FileProtocol::Sftp;
        profile.FTP_Server = m_server.host();
        profile.FTP_Port = QString::number(m_server.port());
        profile.FTP_User = m_server.user();
        profile.FTP_Pass = m_server.password();
        m_connectionFile = m_local.filePath(u"sftp.glimra"_s);
        TIniFile file(m_connectionFile);
        QVERIFY(profile.Write(file, u"SFTP-Server"_s));
    }

    void connectsAfterTheHostKeyQuestion()
    {
        {
            const auto answer = AnswerHostKey(u"AcceptHostKeyButton"_s);
            ConnectThroughFile();
        }
        QCOMPARE(m_keyQuestions.size(), 1);
        QVERIFY2(m_keyQuestions.first().contains(m_server.hostKeyFingerprint()),
                 qPrintable(m_keyQuestions.first()));
        QVERIFY(Window()->Main().Remote().IsConnected());
        QTRY_VERIFY(Lists(u"liesmich.txt"_s));
        QCOMPARE(Window()->Status()->PanelText(3), u"SFTP"_s);
        QFile knownHosts(Window()->Parts().folders->KnownHostsFile());
        QVERIFY(knownHosts.open(QIODevice::ReadOnly));
        QVERIFY(knownHosts.readAll().contains(m_server.hostKeyType().toUtf8()));
    }

    // A folder goes down whole, a file goes up.
    void transfersBothWays()
    {
        QVERIFY(Window()->Main().Remote().IsConnected());
        SelectCaptions(Window()->Remote()->List, {u"Ordner"_s});
        QVERIFY(Window()->Remote()->SpeedButton3->isEnabled());
        // A refresh pressed while the download waits on the server meets the
        // gate: the one SFTP session is never asked two things at once.
        QTimer::singleShot(0, Window()->Remote()->RefreshButton, &QToolButton::click);
        Window()->Remote()->SpeedButton3->click();
        QTRY_COMPARE(QFileInfo(m_local.filePath(u"Ordner/ä.bin"_s)).size(), 70000);
        QTRY_COMPARE(QFileInfo(m_local.filePath(u"Ordner/tief/b.bin"_s)).size(), 3000);
        QVERIFY(Window()->Log()->Lines().filter(u"beschäftigt"_s).isEmpty());

        QFile upload(m_local.filePath(u"hoch.txt"_s));
        QVERIFY(upload.open(QIODevice::WriteOnly));
        upload.write("nach oben");
        upload.close();
        LocalListView *list = Window()->Local()->List;
        list->Reload();
        QTRY_VERIFY(list->FindEntry(u"hoch.txt"_s).isValid());
        list->SelectionModel()->select(list->FindEntry(u"hoch.txt"_s),
                                       QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        QTRY_VERIFY(Window()->Local()->SpeedButton18->isEnabled());
        Window()->Local()->SpeedButton18->click();
        QTRY_COMPARE(QFileInfo(m_server.rootDir() + u"/hoch.txt"_s).size(), 9);
        QTRY_VERIFY(Lists(u"hoch.txt"_s));
    }

    // The accepted key is known next time; a changed one ends the connect.
    void knownAndChangedKeys()
    {
        Window()->ToolBar()->SpeedButton2->click();
        QTRY_VERIFY(!Window()->Main().Remote().IsConnected());
        m_keyQuestions.clear();
        {
            const auto answer = AnswerHostKey(u"AcceptHostKeyButton"_s);
            ConnectThroughFile();
        }
        QVERIFY(m_keyQuestions.isEmpty());
        QVERIFY(Window()->Main().Remote().IsConnected());
        Window()->ToolBar()->SpeedButton2->click();
        QTRY_VERIFY(!Window()->Main().Remote().IsConnected());

        QString why;
        QVERIFY2(m_server.changeHostKey(&why), qPrintable(why));
        m_server.clearLog();
        {
            const auto answer = AnswerHostKey(u"AcceptHostKeyButton"_s);
            ConnectThroughFile();
        }
        QVERIFY(m_keyQuestions.isEmpty());
        QVERIFY(!Window()->Main().Remote().IsConnected());
        QVERIFY2(!m_server.log().contains(u"method password"_s), qPrintable(m_server.log()));
    }

    void cleanupTestCase() { m_fixture.Close(); }
};

QTEST_MAIN(SftpWindowTest)
#include "test_sftpwindow.moc"
