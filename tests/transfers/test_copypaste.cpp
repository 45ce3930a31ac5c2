// Copy and paste against pyftpdlib and vsftpd: "Kopieren" in the remote
// pane and "Aus dem FTP Server einfügen" in the local pane fetch the copied
// entries wherever the remote pane has gone since; "Einfügen" uploads the
// files the desktop clipboard names.
#include "transferwindow.h"

#include <QAction>
#include <QClipboard>
#include <QMenu>
#include <QMimeData>

using namespace Qt::StringLiterals;

class CopyPasteTest : public QObject {
    Q_OBJECT

private:
    TransferWindow m_window;

    RemotePane *Remote() const { return m_window.Window()->Remote(); }
    LocalPane *LocalSide() const { return m_window.Window()->Local(); }

    // The menu items' states are worked out when their menu opens.
    void OpenMenus()
    {
        emit Remote()->ContextMenu->aboutToShow();
        emit LocalSide()->ContextMenu->aboutToShow();
    }

    void Copy(const QStringList &captions)
    {
        SelectCaptions(m_window.List(), captions);
        OpenMenus();
        QVERIFY(Remote()->Kopieren1->isEnabled());
        Remote()->Kopieren1->trigger();
    }

    void PasteFromServer()
    {
        OpenMenus();
        QVERIFY(LocalSide()->Einfgen1->isEnabled());
        LocalSide()->Einfgen1->trigger();
    }

private slots:
    void initTestCase() { RemoteSessionFixture::InstallProgramServices(); }
    void cleanup()
    {
        m_window.Close();
        QGuiApplication::clipboard()->clear();
    }

    void pastingFetchesWhatWasCopied_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<bool>("mlsd");
        QTest::newRow("pyftpdlib LIST") << Kind::Pyftpdlib << false;
        QTest::newRow("pyftpdlib MLSD") << Kind::Pyftpdlib << true;
        QTest::newRow("vsftpd") << Kind::Vsftpd << false;
    }

    void pastingFetchesWhatWasCopied()
    {
        QFETCH(Kind, kind);
        QFETCH(bool, mlsd);
        const QMap<QString, QByteArray> copied{
            {u"a.txt"_s, "a aus der Quelle"}, {u"größe.bin"_s, RandomBytes(150000, 3)},
            {u"ordner/c.txt"_s, "c"},         {u"ordner/tief/d.bin"_s, RandomBytes(40000, 4)},
            {u"ordner/leer/"_s, {}},
        };
        QMap<QString, QByteArray> files{{u"quelle/nicht kopiert.txt"_s, "n"},
                                        {u"ziel/a.txt"_s, "ein Namensvetter"},
                                        {u"ziel/ordner/fremd.txt"_s, "fremd"}};
        for (auto file = copied.cbegin(); file != copied.cend(); ++file)
            files.insert(u"quelle/"_s + file.key(), file.value());
        RealFtpServer server({.kind = kind, .hideMlsd = kind == Kind::Pyftpdlib && !mlsd, .files = files});
        QVERIFY(MakeSymlink(u"a.txt"_s, server.rootDir() + u"/quelle/verweis"_s));
        START_OR_SKIP(server, kind);
        QVERIFY(m_window.Open(server, mlsd));
        TFTPqvx *window = m_window.Window();
        window->Browser()->ChangeRemoteFolder(u"quelle"_s);
        const QString link = mlsd ? QString() : u"verweis -> a.txt"_s;

        QStringList selection{u".."_s, u"a.txt"_s, u"größe.bin"_s, u"ordner"_s};
        if (!link.isEmpty())
            selection.append(link);
        Copy(selection);
        QStringList paths;
        for (const CopiedRemoteEntry &entry : std::as_const(window->Main().CopyList))
            paths.append(entry.kind + u' ' + entry.path);
        QCOMPARE(paths, (QStringList{u"d /quelle/ordner"_s, u"- /quelle/a.txt"_s, u"- /quelle/größe.bin"_s}));

        // Pasted while another folder with namesakes is shown.
        window->Browser()->ChangeRemoteFolder(u"/ziel"_s);
        PasteFromServer();
        QTRY_VERIFY(!window->Main().Flags.OperationBusy);
        QMap<QString, QByteArray> expected = copied;
        expected.insert(u"ordner/"_s, {});
        expected.insert(u"ordner/tief/"_s, {});
        QCOMPARE(TreeOf(m_window.LocalRoot()), expected);
        QCOMPARE(m_window.ShownFolder(), u"/ziel"_s);
        QCOMPARE(m_window.Panel(2), u"Fertig"_s);
        // The list stays for pasting into another folder.
        QCOMPARE(window->Main().CopyList.size(), 3);

        // Gone with the session.
        window->Session()->Disconnect();
        QVERIFY(window->Main().CopyList.isEmpty());
        OpenMenus();
        QVERIFY(!LocalSide()->Einfgen1->isEnabled());
    }

    // Only ".." and links selected: nothing to paste. A copied folder that
    // is gone when pasting stops the paste.
    void nothingOrGoneToPaste()
    {
        RealFtpServer server(
            {.hideMlsd = true, .files = {{u"quelle/weg/x.txt"_s, "x"}, {u"quelle/z.txt"_s, "z"}}});
        QVERIFY(MakeSymlink(u"z.txt"_s, server.rootDir() + u"/quelle/verweis"_s));
        START_OR_SKIP(server, Kind::Pyftpdlib);
        QVERIFY(m_window.Open(server, false));
        TFTPqvx *window = m_window.Window();
        window->Browser()->ChangeRemoteFolder(u"quelle"_s);

        Copy({u".."_s, u"verweis -> z.txt"_s});
        QVERIFY(window->Main().CopyList.isEmpty());
        OpenMenus();
        QVERIFY(!LocalSide()->Einfgen1->isEnabled());

        Copy({u"weg"_s, u"z.txt"_s});
        QVERIFY(QDir(server.rootDir() + u"/quelle/weg"_s).removeRecursively());
        window->Browser()->ChangeRemoteFolder(u".."_s);
        PasteFromServer();
        QTRY_VERIFY(!window->Main().Flags.OperationBusy);
        QCOMPARE(m_window.Panel(2), u"Abgebrochen"_s);
        QVERIFY(TreeOf(m_window.LocalRoot()).isEmpty());
        QCOMPARE(m_window.ShownFolder(), u"/"_s);

        // The stop does not carry over into the next paste.
        QVERIFY(server.addFolder(u"quelle/weg"_s));
        PasteFromServer();
        QTRY_VERIFY(!window->Main().Flags.OperationBusy);
        QCOMPARE(TreeOf(m_window.LocalRoot()),
                 (QMap<QString, QByteArray>{{u"weg/"_s, {}}, {u"z.txt"_s, "z"}}));
    }

    void pastingUploadsTheClipboardsFiles_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::newRow("pyftpdlib") << Kind::Pyftpdlib;
        QTest::newRow("vsftpd") << Kind::Vsftpd;
    }

    void pastingUploadsTheClipboardsFiles()
    {
        QFETCH(Kind, kind);
        RealFtpServer server({.kind = kind, .files = {{u"ablage/"_s, {}}}});
        START_OR_SKIP(server, kind);
        QVERIFY(m_window.Open(server));
        m_window.Window()->Browser()->ChangeRemoteFolder(u"ablage"_s);
        const QMap<QString, QByteArray> local{
            {u"eins.txt"_s, "eins"},
            {u"zwei #%.bin"_s, RandomBytes(90000, 9)},
            {u"mappe/x.txt"_s, "x"},
            {u"mappe/unter/y.bin"_s, RandomBytes(5000, 5)},
        };
        const QString from = m_window.Local(u"von"_s);
        for (auto file = local.cbegin(); file != local.cend(); ++file) {
            QVERIFY(QDir().mkpath(QFileInfo(from + u'/' + file.key()).absolutePath()));
            QVERIFY(WriteFileContent(from + u'/' + file.key(), file.value()));
        }
        auto *clipboard = new QMimeData;
        clipboard->setUrls({QUrl::fromLocalFile(from + u"/eins.txt"_s),
                            QUrl::fromLocalFile(from + u"/nicht mehr da.txt"_s),
                            QUrl::fromLocalFile(from + u"/zwei #%.bin"_s),
                            QUrl(u"https://example.org/x.txt"_s), QUrl::fromLocalFile(from + u"/mappe"_s)});
        QGuiApplication::clipboard()->setMimeData(clipboard);

        OpenMenus();
        QVERIFY(Remote()->Einfgeh1->isEnabled());
        Remote()->Einfgeh1->trigger();
        QTRY_VERIFY(!m_window.Window()->Main().Flags.OperationBusy);
        QMap<QString, QByteArray> expected = local;
        expected.insert(u"mappe/"_s, {});
        expected.insert(u"mappe/unter/"_s, {});
        QCOMPARE(TreeOf(server.rootDir() + u"/ablage"_s), expected);
        QCOMPARE(m_window.ShownFolder(), u"/ablage"_s);
    }
};

QTEST_MAIN(CopyPasteTest)
#include "test_copypaste.moc"
