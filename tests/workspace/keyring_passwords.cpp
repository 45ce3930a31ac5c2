// Saved passwords in the desktop's keyring, against a real Secret Service
// that tests/support/with-secret-service.sh starts for this program alone:
// the setting in "Einstellungen" moves every stored password into the
// keyring and back, the window and glimra-cli log in with passwords read
// from it, a missing entry is asked for, and without a keyring the setting
// cannot be chosen.
#include "../connections/modalanswer.h"
#include "connectiontree.h"
#include "connectiontreestore.h"
#include "datafolders.h"
#include "keyring.h"
#include "passwordscramble.h"
#include "passwordstore.h"
#include "realftpserver.h"
#include "scriptedhost.h"
#include "sessionwindow.h"
#include "tidftp.h"
#include "tinifile.h"
#include "tsetup.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace {

// One saved connection and the passwords it keeps.
struct SavedConnection {
    QString groupPath;
    QString name;
    QString ftpPassword;
    QString proxyPassword;
    QString socksPassword;
    QString keyPassword;
    QString sshKeyPassword; // SFTP connections only
};

struct PasswordKey {
    QString key;
    QString SavedConnection::*password;
};

const PasswordKey kPasswordKeys[] = {
    {u"FTP_Pass"_s, &SavedConnection::ftpPassword},       {u"FW_Pass"_s, &SavedConnection::proxyPassword},
    {u"Socket_Pass"_s, &SavedConnection::socksPassword},  {u"SSLPassword"_s, &SavedConnection::keyPassword},
    {u"SSH_KeyPass"_s, &SavedConnection::sshKeyPassword},
};

QString EntryKey(const SavedConnection &connection, const QString &key)
{
    QString path;
    for (const QString &group : connection.groupPath.split(u'/', Qt::SkipEmptyParts))
        path += u'/' + group;
    return path + u'/' + connection.name + u'/' + key;
}

const ConnectionTreeNode *FindConnection(const ConnectionTree &tree, const QString &groupPath,
                                         const QString &name)
{
    for (int index = 0; index < tree.NodeCount(); ++index) {
        const ConnectionTreeNode *node = tree.NodeAt(index);
        if (node->IsConnection() && node->GroupPath() == groupPath && node->Text() == name)
            return node;
    }
    return nullptr;
}

QString CliPath()
{
    return qEnvironmentVariable("GLIMRA_BINARY_DIR") + u"/src/cli/glimra-cli"_s;
}

} // namespace

class KeyringPasswordsTest : public QObject {
    Q_OBJECT

private:
    SessionWindow m_window;
    std::unique_ptr<RealFtpServer> m_server;

    QString TreeFolder() const { return m_window.DataRoot() + u"Inhaltsverzeichnis/"_s; }

    // Ticks or clears "Kennwörter im Schlüsselbund speichern" through the
    // window's settings dialog and confirms it.
    void ChooseKeyring(bool on, QString *problem = nullptr)
    {
        ModalAnswer<Tsetup> answer([&](Tsetup &dialog) {
            auto *box = dialog.findChild<QCheckBox *>(u"KeyringBox"_s);
            if (box->isChecked() != on)
                box->click();
            if (problem) {
                const auto *label = dialog.findChild<QLabel *>(u"KeyringProblemLabel"_s);
                *problem = label->isVisibleTo(&dialog) ? label->text() : QString();
            }
            dialog.findChild<QPushButton *>(u"OKBtn"_s)->click();
        });
        m_window.Window()->findChild<QToolButton *>(u"SpeedButton17"_s)->click();
        QCOMPARE(answer.Answered(), 1);
    }

    bool LogsIn(TIdFTP &session, ScriptedHost &host)
    {
        session.setSessionHost(&host);
        session.ConnectAndLogin();
        const bool loggedIn = session.LoggedIn();
        if (session.IsConnected())
            session.Quit();
        return loggedIn;
    }

private slots:
    void initTestCase()
    {
        SessionWindow::InstallProgramServices();
        m_server = std::make_unique<RealFtpServer>(RealFtpServer::Options{});
        QString error;
        QVERIFY2(m_server->start(&error), qPrintable(error));
    }

    void cleanup() { m_window.Close(); }

    // Runs first: the keyring's library keeps the session bus once it has
    // reached it.
    void unreachableKeyringCannotBeChosen()
    {
        const QByteArray bus = qgetenv("DBUS_SESSION_BUS_ADDRESS");
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/glimra-test-bus");
        QVERIFY(m_window.PrepareHome());
        QVERIFY(m_window.Open());
        QString problem;
        ChooseKeyring(true, &problem);
        qputenv("DBUS_SESSION_BUS_ADDRESS", bus);

        QVERIFY2(problem.contains(u"Schlüsselbund"_s), qPrintable(problem));
        QVERIFY(!m_window.Window()->Settings.Passwords_Keyring);
        QVERIFY(!PasswordStore::KeyringUse());
    }

    void passwordsMoveIntoTheKeyringAndBack()
    {
        QVERIFY(Keyring::Unreachable() == std::nullopt);
        QVERIFY(m_window.PrepareHome());
        const QList<SavedConnection> connections{
            {QString(), u"Demo"_s, m_server->password(), u"proxy-geheim"_s, u"socks-geheim"_s, u"schlüssel"_s,
             QString()},
            {u"Linux/"_s, u"Spiegel"_s, u"Zloty zł €"_s, QString(), u"s"_s, QString(), u"Passphrase ß"_s},
            {u"Linux/Alt/"_s, u"Ohne"_s, QString(), QString(), QString(), QString(), QString()},
        };
        {
            DataFolders folders; // the data root under the fresh home
            const ConnectionTreeStore store(TreeFolder());
            for (const SavedConnection &connection : connections) {
                QVERIFY(QDir().mkpath(store.GroupFolder(connection.groupPath)));
                ConnectionProfile profile;
                profile.FTP_Server = u"127.0.0.1"_s;
                profile.FTP_Port = QString::number(m_server->port());
                profile.FTP_User = m_server->user();
                profile.FTP_Passive = true;
                profile.FTP_Pass = connection.ftpPassword;
                profile.FW_Pass = connection.proxyPassword;
                profile.Socket_Pass = connection.socksPassword;
                profile.SSLPassword = connection.keyPassword;
                if (!connection.sshKeyPassword.isEmpty()) {
                    profile.Protokoll = FileProtocol::Sftp;
                    profile.SSH_KeyPass = connection.sshKeyPassword;
                }
                QVERIFY(store.SaveConnection(connection.groupPath, QString(), connection.name, profile));
            }
        }
        QVERIFY(m_window.Open());
        const ConnectionTreeStore store(TreeFolder());

        // On: the files keep the marker and no password, the keyring the passwords.
        QString problem;
        ChooseKeyring(true, &problem);
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        QVERIFY(m_window.Window()->Settings.Passwords_Keyring);
        for (const SavedConnection &connection : connections) {
            const TIniFile ini(store.ConnectionFileOf(connection.groupPath));
            QCOMPARE(ini.ReadString(connection.name, u"Keyring"_s, QString()), u"-1"_s);
            for (const PasswordKey &key : kPasswordKeys) {
                QVERIFY2(!ini.ValueExists(connection.name, key.key), qPrintable(connection.name + key.key));
                const Keyring::Answer entry = Keyring::Read(EntryKey(connection, key.key));
                QVERIFY(entry.reached);
                const QString &password = connection.*key.password;
                QCOMPARE(entry.password.value_or(QString()), password);
            }
            // Every reader of profiles takes the passwords from the keyring.
            const std::optional<ConnectionProfile> profile =
                store.ReadConnection(connection.groupPath, connection.name);
            QVERIFY(profile);
            QCOMPARE(profile->FTP_Pass, connection.ftpPassword);
            QCOMPARE(profile->FW_Pass, connection.proxyPassword);
            QCOMPARE(profile->Socket_Pass, connection.socksPassword);
            QCOMPARE(profile->SSLPassword, connection.keyPassword);
            QCOMPARE(profile->SSH_KeyPass, connection.sshKeyPassword);
        }

        // The window's way: "Verbinden" applies the profile, the login needs no question.
        ConnectionTree tree;
        store.LoadConnectionTree(tree);
        const ConnectionTreeNode *demo = FindConnection(tree, QString(), u"Demo"_s);
        QVERIFY(demo);
        {
            TIdFTP session;
            QVERIFY(store.ApplyConnection(*demo, session));
            ScriptedHost host;
            QVERIFY(LogsIn(session, host));
            QCOMPARE(host.credentialCaptions, QStringList());
        }

        // glimra-cli with a desktop shortcut's connection file of the connection.
        const auto shortcut =
            store.CreateConnectionShortcut(*demo, m_window.Home(u"links"_s), QString(), u"/usr/bin/glimra"_s);
        QVERIFY(shortcut);
        QVERIFY(!TIniFile(shortcut->connectionFile).ValueExists(u"Demo"_s, u"FTP_Pass"_s));
        QProcess cli;
        cli.start(CliPath(), {u"--connection"_s, shortcut->connectionFile, u"ls"_s});
        QVERIFY(cli.waitForFinished(30000));
        QVERIFY2(cli.exitCode() == 0, cli.readAllStandardError().constData());

        // Saving a changed password while on replaces the entry.
        auto changed = store.ReadConnection(u"Linux/"_s, u"Spiegel"_s);
        changed->FTP_Pass = u"neu"_s;
        QVERIFY(store.SaveConnection(u"Linux/"_s, u"Spiegel"_s, u"Spiegel"_s, *changed));
        QCOMPARE(Keyring::Read(u"/Linux/Spiegel/FTP_Pass"_s).password, std::optional<QString>(u"neu"_s));
        QVERIFY(!TIniFile(store.ConnectionFileOf(u"Linux/"_s)).ValueExists(u"Spiegel"_s, u"FTP_Pass"_s));

        // Off: the passwords return scrambled, the marker and the entries go.
        ChooseKeyring(false);
        QVERIFY(!m_window.Window()->Settings.Passwords_Keyring);
        for (SavedConnection connection : connections) {
            if (connection.name == u"Spiegel"_s)
                connection.ftpPassword = u"neu"_s;
            const TIniFile ini(store.ConnectionFileOf(connection.groupPath));
            QVERIFY(!ini.ValueExists(connection.name, u"Keyring"_s));
            for (const PasswordKey &key : kPasswordKeys) {
                const QString stored = ini.ReadString(connection.name, key.key, QString());
                QCOMPARE(UnscramblePassword(stored).value_or(u"?"_s), connection.*key.password);
                QCOMPARE(Keyring::Read(EntryKey(connection, key.key)).password, std::nullopt);
            }
        }
    }

    // A profile whose passwords are said to be in the keyring, but whose
    // entry is not there: the login asks, as after a refused password.
    void missingEntryAsksForThePassword()
    {
        QVERIFY(m_window.PrepareHome());
        DataFolders folders;
        const ConnectionTreeStore store(TreeFolder());
        {
            TIniFile ini(store.ConnectionFileOf(QString()));
            ini.WriteString(u"Verloren"_s, u"FTP_Server"_s, u"127.0.0.1"_s);
            ini.WriteInteger(u"Verloren"_s, u"FTP_Port"_s, m_server->port());
            ini.WriteString(u"Verloren"_s, u"FTP_User"_s, m_server->user());
            ini.WriteBool(u"Verloren"_s, u"FTP_Passive"_s, true);
            ini.WriteBool(u"Verloren"_s, u"Keyring"_s, true);
            QVERIFY(ini.UpdateFile());
        }
        ConnectionTree tree;
        store.LoadConnectionTree(tree);
        const ConnectionTreeNode *lost = FindConnection(tree, QString(), u"Verloren"_s);
        QVERIFY(lost);
        TIdFTP session;
        QVERIFY(store.ApplyConnection(*lost, session));
        QCOMPARE(session.Password, QString());
        ScriptedHost host;
        host.credentialAnswers = {{true, m_server->user(), m_server->password()}};
        m_server->clearTranscript();
        QVERIFY(LogsIn(session, host));
        QCOMPARE(host.credentialCaptions, QStringList{u"UserID/Pass für 127.0.0.1"_s});
        // The question came before any password went out.
        const QStringList passwords = m_server->commands().filter(QRegularExpression(u"^PASS"_s));
        QCOMPARE(passwords, QStringList{u"PASS "_s + m_server->password()});
    }
};

QTEST_MAIN(KeyringPasswordsTest)
#include "keyring_passwords.moc"
