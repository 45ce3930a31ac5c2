#include "connectiontreestore.h"
#include "filesizelimit.h"
#include "tidftp.h"
#include "tinifile.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// Groups end with "/", connections carry their group path; top-down order.
QStringList Describe(const ConnectionTree &tree)
{
    QStringList lines;
    for (int i = 0; i < tree.NodeCount(); ++i) {
        const ConnectionTreeNode *node = tree.NodeAt(i);
        lines.append(node->GroupPath() + node->Text() + (node->IsGroup() ? u"/"_s : QString()));
    }
    return lines;
}

const ConnectionTreeNode *Find(const ConnectionTree &tree, const QString &description)
{
    const int index = int(Describe(tree).indexOf(description));
    return index < 0 ? nullptr : tree.NodeAt(index);
}

QByteArray Section(const QByteArray &name, const QByteArray &server)
{
    return "[" + name + "]\r\nFTP_Server=" + server + "\r\nFTP_User=u\r\n";
}

} // namespace

class ConnectionTreeStoreTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany)); }

    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_root = m_dir->filePath(u"Inhaltsverzeichnis"_s);
        QVERIFY(QDir().mkpath(m_root));
    }

    void loadsGroupsAndConnectionsSorted()
    {
        ConnectionTree tree;
        ConnectionTreeStore(m_root).LoadConnectionTree(tree);
        QVERIFY(tree.IsEmpty());

        Put(u"inhalt.ini"_s, Section("zeta", "z") + Section("Alpha", "a"));
        Put(u"beta/INHALT.INI"_s, Section("Web", "w") + Section("mail", "m"));
        Put(u"beta/Kopie von inhalt.ini"_s, Section("Alt", "x"));
        Put(u"beta/notiz.txt"_s, "[Fremd]\r\n");
        Put(u"Gamma/tief/inhalt.ini"_s, Section("Innen", "i"));
        Put(u".versteckt/inhalt.ini"_s, Section("Geheim", "g"));
        ConnectionTreeStore(m_root).LoadConnectionTree(tree);
        QCOMPARE(Describe(tree), (QStringList{u".versteckt/"_s, u".versteckt/Geheim"_s, u"Alpha"_s,
                                              u"beta/"_s, u"beta/mail"_s, u"beta/Web"_s, u"Gamma/"_s,
                                              u"Gamma/tief/"_s, u"Gamma/tief/Innen"_s, u"zeta"_s}));
        QCOMPARE(Find(tree, u"Alpha"_s)->StateMark(), 1);
        QCOMPARE(Find(tree, u"beta/"_s)->StateMark(), 3);
    }

    void newGroupsAreNumbered()
    {
        Put(u"G/Neue Gruppe"_s, "eine Datei");
        Put(u"G/inhalt.ini"_s, Section("Web", "w"));
        ConnectionTreeStore store(m_root);
        ConnectionTree tree;
        store.LoadConnectionTree(tree);
        for (int i = 0; i < 3; ++i)
            QVERIFY(store.CreateGroup(tree, nullptr));
        QVERIFY(store.CreateGroup(tree, const_cast<ConnectionTreeNode *>(Find(tree, u"G/Web"_s))));
        QCOMPARE(Describe(tree), (QStringList{u"G/"_s, u"G/Neue Gruppe (1)/"_s, u"G/Web"_s, u"Neue Gruppe/"_s,
                                              u"Neue Gruppe (1)/"_s, u"Neue Gruppe (2)/"_s}));
        for (const QString &folder :
             {u"Neue Gruppe"_s, u"Neue Gruppe (1)"_s, u"Neue Gruppe (2)"_s, u"G/Neue Gruppe (1)"_s})
            QVERIFY2(QFileInfo(Path(folder)).isDir(), qPrintable(folder));
    }

    void renamesGroups_data()
    {
        QTest::addColumn<QString>("entered");
        QTest::addColumn<QString>("warning");
        QTest::addColumn<QString>("folderAfter");
        QTest::newRow("accepted") << u"Neu "_s << QString() << u"Neu "_s;
        QTest::newRow("blank") << u"   "_s << QString() << u"Alt"_s;
        QTest::newRow("unchanged") << u"Alt"_s << QString() << u"Alt"_s;
        QTest::newRow("slash") << u"a/b"_s << u"Zeichen /\\:*?\"<>| sind nicht zulässig"_s << u"Alt"_s;
        QTest::newRow("star") << u"a*"_s << u"Zeichen /\\:*?\"<>| sind nicht zulässig"_s << u"Alt"_s;
        QTest::newRow("sibling") << u"Zwei"_s << u"Der Name \"Zwei\" wird bereits verwendet"_s << u"Alt"_s;
        QTest::newRow("sibling in other case")
            << u"zWEI"_s << u"Der Name \"zWEI\" wird bereits verwendet"_s << u"Alt"_s;
        QTest::newRow("parent folder") << u".."_s << u"Der Name \"..\" wird bereits verwendet"_s << u"Alt"_s;
        QTest::newRow("name of the connection file")
            << u"inhalt.ini"_s << u"Der Name \"inhalt.ini\" ist für die Verbindungsdateien reserviert"_s
            << u"Alt"_s;
        QTest::newRow("name of the connection file in other case")
            << u"Inhalt.INI"_s << u"Der Name \"Inhalt.INI\" ist für die Verbindungsdateien reserviert"_s
            << u"Alt"_s;
        QTest::newRow("name of the backup copy") << u"Kopie von inhalt.ini"_s
                                                 << u"Der Name \"Kopie von inhalt.ini\" ist für die "
                                                    u"Verbindungsdateien reserviert"_s
                                                 << u"Alt"_s;
    }

    void renamesGroups()
    {
        QFETCH(QString, entered);
        QFETCH(QString, warning);
        QFETCH(QString, folderAfter);
        Put(u"Alt/inhalt.ini"_s, Section("Web", "w"));
        Put(u"Alt/Unter/inhalt.ini"_s, Section("Tief", "t"));
        QVERIFY(QDir().mkpath(Path(u"Zwei"_s)));
        ConnectionTreeStore store(m_root);
        ConnectionTree tree;
        store.LoadConnectionTree(tree);
        const auto outcome =
            store.RenameGroup(tree, *const_cast<ConnectionTreeNode *>(Find(tree, u"Alt/"_s)), entered);
        QCOMPARE(outcome.warning, warning);
        QCOMPARE(tree.TopLevel(0)->Text(), folderAfter);
        QVERIFY(QFile::exists(Path(folderAfter + u"/Unter/inhalt.ini"_s)));
        QCOMPARE(QFile::exists(Path(u"Alt"_s)), folderAfter == u"Alt"_s);
        ConnectionTree reloaded;
        store.LoadConnectionTree(reloaded);
        QCOMPARE(Describe(reloaded), Describe(tree));
    }

    void renamesConnections_data()
    {
        QTest::addColumn<QString>("entered");
        QTest::addColumn<QByteArray>("after");
        const QByteArray before =
            "[Web]\r\nFTP_Server=w\r\nFTP_Pass=\r\nFTP_User=u\r\n[Mail]\r\nFTP_Server=m\r\n";
        QTest::newRow("renamed: at the end, keys reversed, empty ones dropped")
            << u"Neu"_s
            << QByteArray("[Mail]\r\nFTP_Server=m\r\n\r\n[Neu]\r\nFTP_User=u\r\nFTP_Server=w\r\n");
        QTest::newRow("only the letter case") << u"WEB"_s << before;
        QTest::newRow("name of another") << u"mail"_s << before;
        QTest::newRow("blank") << u" "_s << before;
    }

    void renamesConnections()
    {
        QFETCH(QString, entered);
        QFETCH(QByteArray, after);
        Put(u"inhalt.ini"_s,
            "[Web]\r\nFTP_Server=w\r\nFTP_Pass=\r\nFTP_User=u\r\n[Mail]\r\nFTP_Server=m\r\n");
        ConnectionTreeStore store(m_root);
        ConnectionTree tree;
        store.LoadConnectionTree(tree);
        auto *web = const_cast<ConnectionTreeNode *>(Find(tree, u"Web"_s));
        const bool expectRename = after != Get(u"inhalt.ini"_s);
        QCOMPARE(store.RenameConnection(tree, *web, entered), expectRename);
        QCOMPARE(web->Text(), expectRename ? entered : u"Web"_s);
        QCOMPARE(Get(u"inhalt.ini"_s), after);
        ConnectionTree reloaded;
        store.LoadConnectionTree(reloaded);
        QCOMPARE(Describe(reloaded), Describe(tree));
    }

    void movesItems_data()
    {
        QTest::addColumn<QString>("moved");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QStringList>("treeAfter"); // empty: nothing moved

        QTest::newRow("connection into a group that has the name twice")
            << u"A/Web"_s << u"B/"_s
            << QStringList{u"A/"_s,    u"A/A1/"_s,     u"A/Mail"_s,    u"B/"_s, u"B/A/"_s,
                           u"B/Web"_s, u"B/Web (1)"_s, u"B/Web (2)"_s, u"C/"_s, u"Top"_s};
        QTest::newRow("connection onto a connection of another group")
            << u"A/Mail"_s << u"B/Web (1)"_s
            << QStringList{u"A/"_s,     u"A/A1/"_s, u"A/Web"_s,     u"B/"_s, u"B/A/"_s,
                           u"B/Mail"_s, u"B/Web"_s, u"B/Web (1)"_s, u"C/"_s, u"Top"_s};
        QTest::newRow("connection into an empty group")
            << u"Top"_s << u"C/"_s
            << QStringList{u"A/"_s,   u"A/A1/"_s, u"A/Mail"_s,    u"A/Web"_s, u"B/"_s,
                           u"B/A/"_s, u"B/Web"_s, u"B/Web (1)"_s, u"C/"_s,    u"C/Top"_s};
        QTest::newRow("connection to the top level")
            << u"A/Mail"_s << u"Top"_s
            << QStringList{u"A/"_s,    u"A/A1/"_s,     u"A/Web"_s, u"B/"_s,   u"B/A/"_s,
                           u"B/Web"_s, u"B/Web (1)"_s, u"C/"_s,    u"Mail"_s, u"Top"_s};
        QTest::newRow("group into a group")
            << u"A/"_s << u"C/"_s
            << QStringList{u"B/"_s,   u"B/A/"_s,    u"B/Web"_s,    u"B/Web (1)"_s, u"C/"_s,
                           u"C/A/"_s, u"C/A/A1/"_s, u"C/A/Mail"_s, u"C/A/Web"_s,   u"Top"_s};
        QTest::newRow("group onto a connection of another group")
            << u"C/"_s << u"B/Web"_s
            << QStringList{u"A/"_s,   u"A/A1/"_s, u"A/Mail"_s, u"A/Web"_s,     u"B/"_s,
                           u"B/A/"_s, u"B/C/"_s,  u"B/Web"_s,  u"B/Web (1)"_s, u"Top"_s};
        QTest::newRow("group onto a top-level connection")
            << u"A/A1/"_s << u"Top"_s
            << QStringList{u"A/"_s,   u"A/Mail"_s, u"A/Web"_s,     u"A1/"_s, u"B/"_s,
                           u"B/A/"_s, u"B/Web"_s,  u"B/Web (1)"_s, u"C/"_s,  u"Top"_s};
        QTest::newRow("refused: connection into its own group") << u"A/Web"_s << u"A/"_s << QStringList{};
        QTest::newRow("refused: connection onto its neighbour") << u"A/Web"_s << u"A/Mail"_s << QStringList{};
        QTest::newRow("refused: group into its descendant") << u"A/"_s << u"A/A1/"_s << QStringList{};
        QTest::newRow("refused: group into its own parent") << u"A/A1/"_s << u"A/"_s << QStringList{};
        QTest::newRow("refused: group onto itself") << u"C/"_s << u"C/"_s << QStringList{};
        QTest::newRow("refused: group into a group of its name") << u"B/A/"_s << u"A/"_s << QStringList{};
        QTest::newRow("refused: target holds a folder of that name") << u"A/"_s << u"B/"_s << QStringList{};
        QTest::newRow("refused: group next to the target connection") << u"C/"_s << u"Top"_s << QStringList{};
    }

    void movesItems()
    {
        QFETCH(QString, moved);
        QFETCH(QString, target);
        QFETCH(QStringList, treeAfter);
        Put(u"inhalt.ini"_s, Section("Top", "t"));
        Put(u"A/inhalt.ini"_s, Section("Web", "a.web") + Section("Mail", "a.mail"));
        Put(u"A/A1/inhalt.ini"_s, QByteArray());
        Put(u"B/inhalt.ini"_s, Section("Web", "b.web") + Section("Web (1)", "b.web1"));
        QVERIFY(QDir().mkpath(Path(u"B/A"_s)));
        QVERIFY(QDir().mkpath(Path(u"C"_s)));
        ConnectionTreeStore store(m_root);
        ConnectionTree tree;
        store.LoadConnectionTree(tree);
        const QStringList before = Describe(tree);

        QCOMPARE(store.MoveTreeItem(Find(tree, moved), Find(tree, target)), !treeAfter.isEmpty());
        store.LoadConnectionTree(tree);
        QCOMPARE(Describe(tree), treeAfter.isEmpty() ? before : treeAfter);
    }

    // A group folder under one of these names would stand where its parent
    // keeps its connections or their backup copy.
    void aGroupNamedLikeAConnectionFileIsNotMoved()
    {
        QVERIFY(QDir().mkpath(Path(u"A/Kopie von inhalt.ini"_s)));
        Put(u"B/inhalt.ini"_s, Section("Web", "b.web"));
        ConnectionTreeStore store(m_root);
        ConnectionTree tree;
        store.LoadConnectionTree(tree);
        QVERIFY(!store.MoveTreeItem(Find(tree, u"A/Kopie von inhalt.ini/"_s), Find(tree, u"B/"_s)));
        QVERIFY(!QFileInfo::exists(Path(u"B/Kopie von inhalt.ini"_s)));
        store.BackupConnectionFiles();
        QCOMPARE(Get(u"B/Kopie von inhalt.ini"_s), Section("Web", "b.web"));
    }

    void aMovedSectionKeepsItsValues()
    {
        Put(u"A/inhalt.ini"_s,
            "[Web]\r\nFTP_Server=a.web\r\nFTP_Pass=eutq31bc\r\n\r\n[Mail]\r\nFTP_Server=m\r\n");
        Put(u"B/inhalt.ini"_s, Section("Web", "b.web"));
        ConnectionTreeStore store(m_root);
        ConnectionTree tree;
        store.LoadConnectionTree(tree);
        QVERIFY(store.MoveTreeItem(Find(tree, u"A/Web"_s), Find(tree, u"B/"_s)));
        QCOMPARE(Get(u"A/inhalt.ini"_s), QByteArray("[Mail]\r\nFTP_Server=m\r\n"));
        QCOMPARE(Get(u"B/inhalt.ini"_s),
                 Section("Web", "b.web") + "\r\n[Web (1)]\r\nFTP_Pass=eutq31bc\r\nFTP_Server=a.web\r\n");
    }

    void deletesGroupsAndConnections()
    {
        Put(u"inhalt.ini"_s, Section("Eins", "1") + Section("Zwei", "2"));
        Put(u"Weg/inhalt.ini"_s, Section("Web", "w"));
        Put(u"Weg/Tief/Tiefer/inhalt.ini"_s, Section("Innen", "i"));
        Put(u"Weg/Tief/.versteckt"_s, "x");
        QVERIFY(QFile::setPermissions(Path(u"Weg/Tief/Tiefer/inhalt.ini"_s), QFile::ReadOwner));
        ConnectionTreeStore store(m_root);
        ConnectionTree tree;
        store.LoadConnectionTree(tree);
        store.DeleteGroup(*Find(tree, u"Weg/"_s));
        store.DeleteConnection(*Find(tree, u"Eins"_s));
        QVERIFY(!QFileInfo::exists(Path(u"Weg"_s)));
        QCOMPARE(Get(u"inhalt.ini"_s), Section("Zwei", "2"));
    }

    void backsUpEveryConnectionFile()
    {
        Put(u"inhalt.ini"_s, Section("Top", "t"));
        Put(u"A/B/inhalt.ini"_s, Section("Tief", "\xe4"));
        Put(u"A/B/Kopie von inhalt.ini"_s, "alt");
        QVERIFY(QDir().mkpath(Path(u"Leer"_s)));
        ConnectionTreeStore(m_root).BackupConnectionFiles();
        QCOMPARE(Get(u"Kopie von inhalt.ini"_s), Section("Top", "t"));
        QCOMPARE(Get(u"A/B/Kopie von inhalt.ini"_s), Section("Tief", "\xe4"));
        QVERIFY(!QFileInfo::exists(Path(u"Leer/Kopie von inhalt.ini"_s)));
        QVERIFY(!QFileInfo::exists(Path(u"A/Kopie von inhalt.ini"_s)));
    }

    void shortcutsAreNumbered()
    {
        Put(u"G/inhalt.ini"_s,
            "[Mein Server]\r\nFTP_Server=ftp.example.org\r\n\r\nFTP_Pass=eutq31bc\r\n[x]\r\n");
        const QString links = m_dir->filePath(u"Links"_s);
        const QString desktop = m_dir->filePath(u"Schreib tisch"_s);
        QVERIFY(QDir().mkpath(links));
        ConnectionTreeStore store(m_root);
        ConnectionTree tree;
        store.LoadConnectionTree(tree);
        const ConnectionTreeNode &node = *Find(tree, u"G/Mein Server"_s);
        const QString program = u"/opt/my $apps/glimra"_s;

        const auto first = store.CreateConnectionShortcut(node, links, desktop, program);
        const auto second = store.CreateConnectionShortcut(node, links, desktop, program);
        QVERIFY(first && second);
        QCOMPARE(first->connectionFile, links + u"/Mein Server.glimra"_s);
        QCOMPARE(second->connectionFile, links + u"/Mein Server(1).glimra"_s);
        QCOMPARE(first->launcher, desktop + u"/Mein Server.desktop"_s);
        QCOMPARE(second->launcher, desktop + u"/Mein Server(1).desktop"_s);

        const QByteArray section = "[Mein Server]\r\nFTP_Server=ftp.example.org\r\nFTP_Pass=eutq31bc\r\n";
        QCOMPARE(Read(first->connectionFile), section);
        QCOMPARE(Read(second->connectionFile), section);
        const QByteArray launcher = Read(second->launcher);
        QVERIFY(launcher.startsWith("[Desktop Entry]\n"));
        QVERIFY(launcher.contains("\nName=Mein Server\n"));
        QVERIFY(launcher.contains("\nComment=Mein Server - FTP Glimra Verbindung\n"));
        const QByteArray exec =
            "\nExec=\"/opt/my \\\\$apps/glimra\" \"" + links.toUtf8() + "/Mein Server(1).glimra\"\n";
        QVERIFY2(launcher.contains(exec), launcher.constData());
        QVERIFY(QFile::permissions(second->launcher) & QFile::ExeOwner);
    }

    void shortcutNamesStayInTheirFolder()
    {
        Put(u"inhalt.ini"_s, "[../../boese]\r\nFTP_Server=x\r\n");
        const QString links = m_dir->filePath(u"Links"_s);
        QVERIFY(QDir().mkpath(links));
        ConnectionTreeStore store(m_root);
        ConnectionTree tree;
        store.LoadConnectionTree(tree);
        const auto files = store.CreateConnectionShortcut(*tree.TopLevel(0), links, QString(), u"glimra"_s);
        QVERIFY(files);
        QCOMPARE(files->connectionFile, links + u"/.._.._boese.glimra"_s);
        QVERIFY(files->launcher.isEmpty());
    }

    void findsTheFirstConnectionOfTheWalk_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("user"); // empty: not found
        QTest::newRow("sub folder before the later inhalt.ini") << u"FTP.Example.org"_s << u"in-a"_s;
        QTest::newRow("inhalt.ini before a later sub folder") << u"both.example.org"_s << u"root"_s;
        QTest::newRow("stored with a blank") << u"blank.example.org"_s << QString();
        QTest::newRow("unknown") << u"nowhere.example.org"_s << QString();
    }

    void findsTheFirstConnectionOfTheWalk()
    {
        QFETCH(QString, host);
        QFETCH(QString, user);
        Put(u"A/inhalt.ini"_s, "[Eins]\r\nFTP_Server=ftp.example.org\r\nFTP_User=in-a\r\nssl=-1\r\n");
        Put(u"inhalt.ini"_s, "[Drei]\r\nFTP_Server=both.example.org\r\nFTP_User=root\r\nTimeout=700\r\n"
                             "[Vier]\r\nFTP_Server= blank.example.org\r\n"
                             "[Sechs]\r\nFTP_Server=ftp.example.org\r\nFTP_User=root-ftp\r\n");
        Put(u"Zet/inhalt.ini"_s, "[Fünf]\r\nFTP_Server=both.example.org\r\nFTP_User=in-zet\r\n");
        TIdFTP session;
        session.User = u"vorher"_s;
        session.isSearch = true;
        session.UseSSL = true;
        const auto found = ConnectionTreeStore(m_root).FindConnectionByServer(host, session);
        QCOMPARE(found.has_value(), !user.isEmpty());
        QCOMPARE(session.User, user.isEmpty() ? u"vorher"_s : user);
        QCOMPARE(session.isSearch, user.isEmpty());
        QCOMPARE(session.UseSSL, user.isEmpty());
        if (user == u"root")
            QCOMPARE(found->Timeout, 700);
    }

    void savesConnectionsForTheDialog()
    {
        QVERIFY(QDir().mkpath(Path(u"G"_s)));
        ConnectionTreeStore store(m_root);
        ConnectionProfile profile;
        profile.FTP_Server = u"ftp.example.org"_s;
        QCOMPARE(store.SaveConnection(u"G/"_s, QString(), u"Web"_s, profile),
                 std::optional<QString>(u"Web"_s));
        QCOMPARE(store.SaveConnection(u"G/"_s, QString(), u"web"_s, profile), std::nullopt);
        QCOMPARE(store.SaveConnection(u"G/"_s, QString(), u"Mail"_s, profile),
                 std::optional<QString>(u"Mail"_s));
        QCOMPARE(store.SaveConnection(u"G/"_s, u"Web"_s, u"Mail"_s, profile), std::nullopt);
        profile.FTP_Server = u"neu.example.org"_s;
        QCOMPARE(store.SaveConnection(u"G/"_s, u"Web"_s, u"WEB"_s, profile),
                 std::optional<QString>(u"WEB"_s));
        const TIniFile ini(Path(u"G/inhalt.ini"_s));
        QCOMPARE(ini.ReadSections(), (QStringList{u"Mail"_s, u"WEB"_s}));
        QCOMPARE(store.ReadConnection(u"G/"_s, u"web"_s)->FTP_Server, u"neu.example.org"_s);
        profile.FTP_Pass = QString(400, u'x');
        QCOMPARE(store.SaveConnection(u"G/"_s, u"Mail"_s, u"Mail"_s, profile), std::nullopt);
        profile.FTP_Pass.clear();
        profile.FTP_Port = u"70000"_s;
        QCOMPARE(store.SaveConnection(u"G/"_s, u"Mail"_s, u"Mail"_s, profile), std::nullopt);
        QCOMPARE(store.ReadConnection(u"G/"_s, u"Mail"_s)->FTP_Port, u"21"_s);
    }

    // A full disk while a connection is saved: the save is refused and the
    // group's file keeps every connection it had.
    void aFullDiskKeepsTheConnectionFile()
    {
        QVERIFY(QDir().mkpath(Path(u"G"_s)));
        ConnectionTreeStore store(m_root);
        ConnectionProfile profile;
        profile.FTP_Server = u"ftp.example.org"_s;
        QVERIFY(store.SaveConnection(u"G/"_s, QString(), u"Web"_s, profile));
        QFile file(Path(u"G/inhalt.ini"_s));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray before = file.readAll();
        file.close();

        profile.FTP_Server = u"neu.example.org"_s;
        {
            FileSizeLimit full(before.size() + 8);
            QVERIFY(full.Active());
            QCOMPARE(store.SaveConnection(u"G/"_s, QString(), u"Mail"_s, profile), std::nullopt);
        }

        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), before);
        QCOMPARE(QDir(Path(u"G"_s)).entryList(QDir::Files | QDir::Hidden), QStringList{u"inhalt.ini"_s});
    }

    void addsConnectionsFromTheList_data()
    {
        QTest::addColumn<QString>("groupPath");
        QTest::addColumn<QString>("iniFile"); // empty: refused
        QTest::newRow("nested, made when missing")
            << u"Öffentlich\\Linux"_s << u"Öffentlich/Linux/inhalt.ini"_s;
        QTest::newRow("present section is kept") << u"Da"_s << QString();
        QTest::newRow("parent reference") << u"..\\..\\.config"_s << QString();
        QTest::newRow("current folder") << u"A\\.\\B"_s << QString();
        QTest::newRow("group named like the connection file") << u"INHALT.ini"_s << QString();
        QTest::newRow("group named like the backup copy") << u"Kopie von inhalt.ini\\B"_s << QString();
    }

    void addsConnectionsFromTheList()
    {
        QFETCH(QString, groupPath);
        QFETCH(QString, iniFile);
        Put(u"Da/inhalt.ini"_s, Section("Server", "alt"));
        ConnectionProfile profile;
        profile.FTP_Server = u"ftp.example.org"_s;
        profile.Comments = QStringList{u"Spiegel"_s};
        const bool added = ConnectionTreeStore(m_root).AddConnection(groupPath, u"Server"_s, profile);
        QCOMPARE(added, !iniFile.isEmpty());
        QCOMPARE(Get(u"Da/inhalt.ini"_s), Section("Server", "alt"));
        if (added) {
            QCOMPARE(Get(iniFile),
                     QByteArray("\r\n[Server]\r\nComment0=Spiegel\r\nMLSD=0\r\nMaxentry=1000\r\nLog=-1\r\n"
                                "Timeout=5000\r\nSocket_Port=1080\r\nSocket_Use=0\r\nFW_Art=0\r\n"
                                "FW_Use=0\r\nProxy_Use=0\r\nFTP_Passive=0\r\nFTP_Port=21\r\n"
                                "FTP_Server=ftp.example.org\r\nanonymous=0\r\n"));
        }
        QVERIFY(!QFileInfo::exists(m_dir->filePath(u".config"_s)));
    }

private:
    QString Path(const QString &relative) const { return m_root + u'/' + relative; }

    void Put(const QString &relative, const QByteArray &bytes)
    {
        QVERIFY(QDir().mkpath(QFileInfo(Path(relative)).path()));
        QFile file(Path(relative));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    static QByteArray Read(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QByteArray Get(const QString &relative) const { return Read(Path(relative)); }

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_root;
};

QTEST_GUILESS_MAIN(ConnectionTreeStoreTest)
#include "test_connectiontreestore.moc"
