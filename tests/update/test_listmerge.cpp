#include "connectiontreestore.h"
#include "listmerge.h"
#include "tinifile.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QByteArray kSignature = "[ORNA FTP Glimra Tessaline FTP Ferbindungsliste Update]\r\nVersion=7\r\n";

QByteArray ListedSection(const QByteArray &name, const QByteArray &group, const QByteArray &server)
{
    return "[" + name + "]\r\nGruppe=" + group + "\r\nFTP_Server=" + server + "\r\nFTPOrdner=/pub\r\n";
}

// A signature and five connections; "Alpha" is already saved as "ALPHA".
QByteArray FiveEntries()
{
    return kSignature + ListedSection("Alpha", "Linux", "a.example") +
           ListedSection("Bravo", "Linux", "b.example") + ListedSection("Charlie", "Linux", "c.example") +
           ListedSection("Delta", "Linux", "d.example") + ListedSection("Echo", "Linux", "e.example");
}

// Answers the offers from a script (a missing answer is "Nein") and can
// stop the run after a number of new entries, as "Abbrechen" in the window.
class ScriptedMergeHost : public ListMergeHost {
public:
    explicit ScriptedMergeHost(QList<EntryAnswer> answers = {})
        : m_answers(std::move(answers))
    {
    }

    EntryAnswer AskToAdd(const ListedConnection &entry) override
    {
        asked.append(entry.name);
        return m_answers.isEmpty() ? EntryAnswer::Skip : m_answers.takeFirst();
    }
    void LogLine(const QString &line) override
    {
        log.append(line);
        if (line.startsWith(u"Neuer Eintrag: "_s) && --stopAfterAdding == 0)
            m_stop = true;
    }
    void SectionHandled(int position, int total, int added) override
    {
        positions.append(u"%1/%2:%3"_s.arg(position).arg(total).arg(added));
    }
    void ProcessPendingEvents() override {}
    bool StopRequested() const override { return m_stop; }

    QStringList asked;
    QStringList log;
    QStringList positions;
    int stopAfterAdding = -1;

private:
    QList<EntryAnswer> m_answers;
    bool m_stop = false;
};

} // namespace

class ListMergeTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_root = m_dir->filePath(u"Inhaltsverzeichnis"_s);
        QVERIFY(QDir().mkpath(m_root));
    }

    void groupsStayInsideTheTree_data()
    {
        QTest::addColumn<QString>("listed");
        QTest::addColumn<QString>("groupPath"); // empty: refused
        QTest::newRow("one group") << u"Linux"_s << u"Linux"_s;
        QTest::newRow("nested with backslashes")
            << u"Öffentlich\\Linux\\Debian"_s << u"Öffentlich/Linux/Debian"_s;
        QTest::newRow("closing backslash") << u"Linux\\"_s << u"Linux"_s;
        QTest::newRow("slashes") << u"A/B"_s << u"A/B"_s;
        QTest::newRow("parent references") << u"..\\..\\x"_s << QString();
        QTest::newRow("parent in the middle") << u"A\\..\\..\\x"_s << QString();
        QTest::newRow("current folder") << u"A\\.\\B"_s << QString();
        QTest::newRow("absolute with slash") << u"/etc"_s << QString();
        QTest::newRow("absolute with backslash") << u"\\etc"_s << QString();
        QTest::newRow("drive letter") << u"C:\\Windows"_s << QString();
        QTest::newRow("empty name between separators") << u"A\\\\B"_s << QString();
        QTest::newRow("only a separator") << u"\\"_s << QString();
    }

    void groupsStayInsideTheTree()
    {
        QFETCH(QString, listed);
        QFETCH(QString, groupPath);
        QCOMPARE(GroupPathInTree(listed).value_or(QString()), groupPath);
    }

    // The prompt's answers and what each leaves in the tree and in the list.
    void answersDecideWhatIsAdded_data()
    {
        using A = EntryAnswer;
        QTest::addColumn<QList<EntryAnswer>>("answers");
        QTest::addColumn<QStringList>("asked");
        QTest::addColumn<QStringList>("added");
        QTest::addColumn<QStringList>("listLeft"); // sections of the list written back
        const QString signature = u"ORNA FTP Glimra Tessaline FTP Ferbindungsliste Update"_s;
        QTest::newRow("Ja, Nein, Ja, Ja")
            << QList<A>{A::Add, A::Skip, A::Add, A::Add}
            << QStringList{u"Bravo"_s, u"Charlie"_s, u"Delta"_s, u"Echo"_s}
            << QStringList{u"Bravo"_s, u"Delta"_s, u"Echo"_s} << QStringList{signature};
        QTest::newRow("Ja zu allen at once")
            << QList<A>{A::AddAll} << QStringList{u"Bravo"_s}
            << QStringList{u"Bravo"_s, u"Charlie"_s, u"Delta"_s, u"Echo"_s} << QStringList{signature};
        QTest::newRow("Nein, then Ja zu allen")
            << QList<A>{A::Skip, A::AddAll} << QStringList{u"Bravo"_s, u"Charlie"_s}
            << QStringList{u"Charlie"_s, u"Delta"_s, u"Echo"_s} << QStringList{signature};
        QTest::newRow("Ja, then Abbrechen")
            << QList<A>{A::Add, A::Stop} << QStringList{u"Bravo"_s, u"Charlie"_s} << QStringList{u"Bravo"_s}
            << QStringList{signature, u"Charlie"_s, u"Delta"_s, u"Echo"_s};
    }

    void answersDecideWhatIsAdded()
    {
        QFETCH(QList<EntryAnswer>, answers);
        QFETCH(QStringList, asked);
        QFETCH(QStringList, added);
        QFETCH(QStringList, listLeft);
        const QByteArray saved = "[ALPHA]\r\nFTP_Server=alt.example\r\n";
        Put(u"Linux/inhalt.ini"_s, saved);
        Put(u"../FTPAdressen.txt"_s, FiveEntries());

        ScriptedMergeHost host(answers);
        QCOMPARE(Merge(host, {}), int(added.size()));
        QCOMPARE(host.asked, asked);
        QCOMPARE(TIniFile(Path(u"Linux/inhalt.ini"_s)).ReadSections(), QStringList{u"ALPHA"_s} + added);
        QVERIFY(Get(u"Linux/inhalt.ini"_s).startsWith(saved));
        QCOMPARE(TIniFile(ListFile()).ReadSections(), listLeft);
        QCOMPARE(host.log.filter(u"Neuer Eintrag: "_s).size(), added.size());
    }

    // "Ja zu allen" no longer looks for present entries, but a present
    // section is still neither replaced nor counted.
    void addAllNeverReplacesAConnection()
    {
        const QByteArray saved = "[delta]\r\nFTP_Server=alt.example\r\n";
        Put(u"Linux/inhalt.ini"_s, saved);
        Put(u"../FTPAdressen.txt"_s, FiveEntries());
        ScriptedMergeHost host({EntryAnswer::AddAll});
        QCOMPARE(Merge(host, {}), 4);
        QCOMPARE(TIniFile(Path(u"Linux/inhalt.ini"_s)).ReadString(u"Delta"_s, u"FTP_Server"_s, {}),
                 u"alt.example"_s);
    }

    // The whole section as it lands on disk: every key of a new connection
    // in the order the INI rules give (each new key under the header), the
    // passwords scrambled, the local proxy and SOCKS settings applied, and
    // the nested group made.
    // Scrambled forms worked out with a separate Python version of the cipher.
    void newConnectionsHoldTheirKeys_data()
    {
        QTest::addColumn<QByteArray>("listed");
        QTest::addColumn<bool>("localSettings");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("everything listed, proxy and SOCKS on")
            << QByteArray(
                   "[Debian Spiegel]\r\nGruppe=Öffentlich\\Linux\\Debian\r\nFTP_Server=ftp.de.debian.org\r\n"
                   "FTPOrdner=/debian\r\nanonymous=0\r\nFTP_Port=2100\r\nFTP_User=spiegel\r\n"
                   "FTP_Pass=geheim\r\nFTP_Passive=-1\r\nMLSD=1\r\nComment0=  Offizieller Spiegel \r\n"
                   "Comment2=in Deutschland\r\nComment3=   \r\n")
            << true
            << QByteArray(
                   "\r\n[Debian Spiegel]\r\nComment2=in Deutschland\r\nComment0=Offizieller Spiegel\r\n"
                   "MLSD=-1\r\nMaxentry=1000\r\nLog=-1\r\nFTPOrdner=/debian\r\nTimeout=5000\r\n"
                   "Socket_Pass=dA==\r\nSocket_User=sockuser\r\nSocket_Port=1081\r\n"
                   "Socket_Host=socks.local\r\nSocket_Use=-1\r\nFW_Art=1\r\nFW_Pass=Y7k/zWD2gBw6LCw=\r\n"
                   "FW_User=fwuser\r\nFW_Use=-1\r\nProxy_Port=2121\r\nProxy_Server=proxy.local\r\n"
                   "Proxy_Use=-1\r\nFTP_Passive=-1\r\nFTP_Pass=eutq31bc\r\nFTP_User=spiegel\r\n"
                   "FTP_Port=2100\r\nFTP_Server=ftp.de.debian.org\r\nanonymous=0\r\n");
        QTest::newRow("defaults, local settings off")
            << QByteArray("[Debian Spiegel]\r\nGruppe=Öffentlich\\Linux\\Debian\r\n") << false
            << QByteArray("\r\n[Debian Spiegel]\r\nMLSD=0\r\nMaxentry=1000\r\nLog=-1\r\nTimeout=5000\r\n"
                          "Socket_Use=0\r\nFW_Art=0\r\nFW_Use=0\r\nProxy_Use=0\r\nFTP_Passive=0\r\n"
                          "FTP_Pass=evJ5938CTKf9Zc5Q3leT1E/h\r\nFTP_User=anonymous\r\nFTP_Port=21\r\n"
                          "anonymous=-1\r\n");
    }

    void newConnectionsHoldTheirKeys()
    {
        QFETCH(QByteArray, listed);
        QFETCH(bool, localSettings);
        QFETCH(QByteArray, expected);
        Put(u"../FTPAdressen.txt"_s, kSignature + listed);
        AddedConnectionSettings settings;
        // The texts count only while their check box is on.
        settings.proxyUse = localSettings;
        settings.proxyServer = u" proxy.local "_s;
        settings.proxyPort = u"2121 "_s;
        settings.proxyAuthenticate = true;
        settings.proxyUser = u" fwuser"_s;
        settings.proxyPassword = u"Passwort123"_s;
        settings.loginStyle = 1;
        settings.socksUse = localSettings;
        settings.socksHost = u"socks.local"_s;
        settings.socksPort = u" 1081"_s;
        settings.socksUser = u"sockuser "_s;
        settings.socksPassword = u"a"_s;

        ScriptedMergeHost host({EntryAnswer::Add});
        QCOMPARE(Merge(host, settings), 1);
        QCOMPARE(Get(u"Öffentlich/Linux/Debian/inhalt.ini"_s), expected);
    }

    // A published list never makes the program write outside the tree.
    void hostileGroupsWriteNothing()
    {
        const QByteArray hostile =
            ListedSection("Up", "..\\..\\x", "u.example") + ListedSection("Etc", "/etc", "e.example") +
            ListedSection("Drive", "C:\\x", "d.example") + ListedSection("Gap", "A\\\\B", "g.example") +
            ListedSection("Fine", "Ok", "f.example");
        Put(u"../FTPAdressen.txt"_s, kSignature + hostile);
        const QStringList before = FilesBelow(m_dir->path());

        ScriptedMergeHost host({EntryAnswer::AddAll});
        QCOMPARE(Merge(host, {}), 1);
        QCOMPARE(host.asked, QStringList{u"Fine"_s});
        QCOMPARE(FilesBelow(m_dir->path()),
                 QStringList(before + QStringList{u"Inhaltsverzeichnis/Ok/inhalt.ini"_s}));
        QCOMPARE(host.log.filter(u"übersprungen"_s).size(), 4);
        QVERIFY2(host.log.first().contains(u"..\\..\\x"_s), qPrintable(host.log.first()));
    }

    // A listed group names the folder of that name whatever its letter case:
    // present entries are not offered again and no second folder appears.
    void groupsAreFoundIgnoringCase_data()
    {
        QTest::addColumn<QString>("listedGroup");
        QTest::addColumn<QString>("inhaltName");
        QTest::newRow("lower case") << u"linux"_s << u"inhalt.ini"_s;
        QTest::newRow("upper case, nested") << u"ÖFFENTLICH\\LINUX"_s << u"inhalt.ini"_s;
        QTest::newRow("file name in other case") << u"LiNuX"_s << u"INHALT.INI"_s;
    }

    void groupsAreFoundIgnoringCase()
    {
        QFETCH(QString, listedGroup);
        QFETCH(QString, inhaltName);
        const QString folder = listedGroup.contains(u'\\') ? u"Öffentlich/Linux"_s : u"Linux"_s;
        Put(folder + u'/' + inhaltName, "[KERNEL ARCHIV]\r\nFTP_Server=k.example\r\n");
        Put(u"../FTPAdressen.txt"_s, kSignature +
                                         ListedSection("Kernel Archiv", listedGroup.toUtf8(), "k.example") +
                                         ListedSection("Neu", listedGroup.toUtf8(), "n.example"));
        const QStringList before = FilesBelow(m_root);

        ScriptedMergeHost host({EntryAnswer::Add});
        QCOMPARE(Merge(host, {}), 1);
        QCOMPARE(host.asked, QStringList{u"Neu"_s});
        QCOMPARE(FilesBelow(m_root), before);
        QCOMPARE(TIniFile(Path(folder + u'/' + inhaltName)).ReadSections(),
                 (QStringList{u"KERNEL ARCHIV"_s, u"Neu"_s}));
    }

    // "Abbrechen" during the merge keeps what was added; the progress
    // says where the run stood.
    void stoppingKeepsTheEntriesAddedSoFar()
    {
        Put(u"../FTPAdressen.txt"_s, FiveEntries());
        ScriptedMergeHost host({EntryAnswer::AddAll});
        host.stopAfterAdding = 2;
        QCOMPARE(Merge(host, {}), 2);
        QCOMPARE(TIniFile(Path(u"Linux/inhalt.ini"_s)).ReadSections(), (QStringList{u"Alpha"_s, u"Bravo"_s}));
        QCOMPARE(host.positions, (QStringList{u"1/6:0"_s, u"2/6:1"_s}));
    }

    void aFileWithoutSignatureIsNoList()
    {
        QVERIFY(!IsConnectionList(TIniFile(Path(u"missing.ini"_s))));
        Put(u"../FTPAdressen.txt"_s, ListedSection("Alpha", "Linux", "a.example"));
        QVERIFY(!IsConnectionList(TIniFile(ListFile())));
        Put(u"../FTPAdressen.txt"_s, "[orna ftp glimra tessaline ftp ferbindungsliste update]\r\n");
        QVERIFY(IsConnectionList(TIniFile(ListFile())));
    }

private:
    int Merge(ScriptedMergeHost &host, const AddedConnectionSettings &settings)
    {
        const ConnectionTreeStore tree(m_root);
        TIniFile list(ListFile());
        return ConnectionListMerge(tree, settings, host).Run(list);
    }

    QString Path(const QString &relative) const { return m_root + u'/' + relative; }
    QString ListFile() const { return m_dir->filePath(u"FTPAdressen.txt"_s); }

    void Put(const QString &relative, const QByteArray &bytes)
    {
        QVERIFY(QDir().mkpath(QFileInfo(Path(relative)).path()));
        QFile file(Path(relative));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    QByteArray Get(const QString &relative) const
    {
        QFile file(Path(relative));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // Every file below the folder, relative, sorted.
    static QStringList FilesBelow(const QString &folder)
    {
        QStringList files;
        QDirIterator entries(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (entries.hasNext())
            files.append(QDir(folder).relativeFilePath(entries.next()));
        files.sort();
        return files;
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_root;
};

QTEST_GUILESS_MAIN(ListMergeTest)
#include "test_listmerge.moc"
