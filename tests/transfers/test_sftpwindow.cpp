// The main window over SFTP, offscreen, against OpenSSH's sshd on
// 127.0.0.1: a saved SFTP connection opens after the host key question,
// the remote pane lists and browses, folders go down and files up, the
// remote operations, copy and paste, opening and saving back and the
// gallery work as over FTP, a download the server cut off is continued
// with "Fortsetzen", and the key the user accepted is known on the next
// connect; a changed key stops the connect before any password goes out.
#include "openinghelpers.h"
#include "remoteopshelpers.h"

#include "datafolders.h"
#include "locallistview.h"
#include "localpane.h"
#include "maintoolbar.h"
#include "partfile.h"
#include "promptanswer.h"
#include "remotepane.h"
#include "sessioncontrol.h"
#include "sftpprofile.h"
#include "slideshow.h"
#include "statuspanels.h"
#include "tfrageueberschreiben.h"
#include "timagelibthumbnails.h"
#include "tinifile.h"
#include "transfers.h"
#include "tthumbfromfileform.h"

#include <QAction>
#include <QBuffer>
#include <QClipboard>
#include <QDesktopServices>
#include <QDirIterator>
#include <QImage>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QToolButton>

using namespace Qt::StringLiterals;

using Tree = QMap<QString, QByteArray>;

namespace {

// A small picture of the format ("jpg", "png"), different for each seed.
QByteArray PictureBytes(const char *format, int seed)
{
    QImage image(48, 32, QImage::Format_RGB32);
    image.fill(QColor::fromHsv(seed * 70 % 360, 200, 220));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

QStringList ShownPictures(const TImageLibThumbnails &grid)
{
    QStringList names;
    for (int index = 0; index < grid.Count(); ++index)
        names.append(QFileInfo(grid.FilePath(index)).fileName());
    names.sort();
    return names;
}

// The names directly in a tree's top folder, sorted.
QStringList TopNames(const Tree &tree)
{
    QStringList names;
    for (const QString &path : tree.keys()) {
        const QString top = path.section(u'/', 0, 0);
        if (!names.contains(top))
            names.append(top);
    }
    names.sort();
    return names;
}

} // namespace

class SftpWindowTest : public QObject {
    Q_OBJECT

    SshServer m_server;
    RemoteOperationsFixture m_fixture;
    QTemporaryDir m_local;
    QString m_connectionFile;
    QStringList m_keyQuestions;
    // The folder the server puts the user in, as the remote pane shows it.
    QString m_home;
    UrlRecorder m_opened;
    // The local pane's folder for one test, empty at its start.
    std::unique_ptr<QTemporaryDir> m_localFolder;

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

    RemoteListView *List() const { return m_fixture.List(); }

    // The remote pane's rows but "..", sorted.
    QStringList ListedNames() const
    {
        QStringList names = Captions(List());
        names.removeAll(u".."_s);
        names.sort();
        return names;
    }

    RemotePane *RemoteSide() const { return Window()->Remote(); }
    LocalPane *LocalSide() const { return Window()->Local(); }
    QString OnServer(const QString &relativePath) const { return m_server.rootDir() + u'/' + relativePath; }

    // The user's home folder on the server holds exactly the tree, the local
    // pane shows an empty folder of its own, and the remote pane the home.
    void StartAfresh(const Tree &serverTree)
    {
        const QDir root(m_server.rootDir());
        for (const QFileInfo &entry :
             root.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)) {
            if (entry.isDir() && !entry.isSymLink())
                QVERIFY(QDir(entry.filePath()).removeRecursively());
            else
                QVERIFY(QFile::remove(entry.filePath()));
        }
        for (auto entry = serverTree.cbegin(); entry != serverTree.cend(); ++entry) {
            if (entry.key().endsWith(u'/'))
                QVERIFY(m_server.addFolder(entry.key()));
            else
                QVERIFY(m_server.addFile(entry.key(), entry.value()));
        }
        m_localFolder = std::make_unique<QTemporaryDir>();
        QVERIFY(LocalSide()->List->SetFolder(m_localFolder->path()));
        QVERIFY(Window()->Main().Remote().IsConnected());
        Window()->Browser()->ChangeRemoteFolder(m_home);
        Window()->Browser()->RefreshRemoteList();
        QCOMPARE(m_fixture.ShownFolder(), m_home);
        QCOMPARE(ListedNames(), TopNames(serverTree));
    }

    // The menu items' states are worked out when their menu opens.
    void OpenMenus()
    {
        emit RemoteSide()->ContextMenu->aboutToShow();
        emit LocalSide()->ContextMenu->aboutToShow();
    }

    void Trigger(QAction *action)
    {
        OpenMenus();
        QVERIFY2(action->isEnabled(), qPrintable(action->text()));
        action->trigger();
    }

    void RunOperation(const QString &operation);

private slots:
    void initTestCase()
    {
        SSH_START_OR_SKIP(m_server);
        qunsetenv("SSH_AUTH_SOCK");
        QVERIFY(m_server.addFile(u"liesmich.txt"_s, "Hallo über SFTP\n"));
        QVERIFY(m_server.addFile(u"Ordner/ä.bin"_s, QByteArray(70000, 'a')));
        QVERIFY(m_server.addFile(u"Ordner/tief/b.bin"_s, QByteArray(3000, 'b')));

        RemoteSessionFixture::InstallProgramServices();
        QDesktopServices::setUrlHandler(u"file"_s, &m_opened, "open");
        QVERIFY(m_fixture.Open());
        InstallTransfers(Window()->Parts());
        InstallSlideshow(Window()->Parts());
        QVERIFY(Window()->Local()->List->SetFolder(m_local.path()));

        const ConnectionProfile profile = SftpProfileFor(m_server);
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
        m_home = m_fixture.ShownFolder();
        QCOMPARE(m_home, QDir(m_server.rootDir()).canonicalPath());
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

    // The remote pane's operations, each on a home folder of its own: the
    // server's files afterwards, what came down into the local pane's
    // folder, and the remote pane showing the server's folder as it is.
    void remoteOperations_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<Tree>("before");
        QTest::addColumn<Tree>("after");
        QTest::addColumn<Tree>("fetched");
        QTest::addColumn<QString>("shownFolder"); // below the home folder
        const auto row = [](const char *name, const QString &operation, const Tree &before, const Tree &after,
                            const Tree &fetched = {}, const QString &shownFolder = {}) {
            QTest::newRow(name) << operation << before << after << fetched << shownFolder;
        };
        const QByteArray big = RandomBytes(150000, 3);
        row("delete a file", u"delete"_s, {{u"weg ä.txt"_s, "w"}, {u"bleibt.txt"_s, "b"}},
            {{u"bleibt.txt"_s, "b"}});
        row("delete a folder tree", u"delete"_s,
            {{u"baum/a.txt"_s, "a"},
             {u"baum/ünter/b.txt"_s, "b"},
             {u"baum/leer/"_s, {}},
             {u"bleibt.txt"_s, "b"}},
            {{u"bleibt.txt"_s, "b"}});
        row("rename", u"rename"_s, {{u"alt.txt"_s, "Inhalt"}}, {{u"Ärger ß.txt"_s, "Inhalt"}});
        row("new folder", u"new folder"_s, {{u"da.txt"_s, "d"}}, {{u"da.txt"_s, "d"}, {u"Größe/"_s, {}}});
        row("move to another folder", u"move"_s, {{u"a ä.txt"_s, "a"}, {u"b.txt"_s, "b"}, {u"ziel/"_s, {}}},
            {{u"ziel/"_s, {}}, {u"ziel/a ä.txt"_s, "a"}, {u"ziel/b.txt"_s, "b"}});
        const Tree copied{{u"quelle/"_s, {}},
                          {u"quelle/a.txt"_s, "a"},
                          {u"quelle/größe.bin"_s, big},
                          {u"quelle/ordner/"_s, {}},
                          {u"quelle/ordner/c.txt"_s, "c"},
                          {u"quelle/ordner/leer/"_s, {}},
                          {u"quelle/nicht kopiert.txt"_s, "n"},
                          {u"ziel/"_s, {}}};
        row("copy and paste into the local folder", u"copy down"_s, copied, copied,
            {{u"a.txt"_s, "a"},
             {u"größe.bin"_s, big},
             {u"ordner/"_s, {}},
             {u"ordner/c.txt"_s, "c"},
             {u"ordner/leer/"_s, {}}},
            u"ziel"_s);
        row("paste local files onto the server", u"paste up"_s, {{u"ablage/"_s, {}}},
            {{u"ablage/"_s, {}},
             {u"ablage/eins ö.txt"_s, "eins"},
             {u"ablage/mappe/"_s, {}},
             {u"ablage/mappe/x.bin"_s, big}},
            {}, u"ablage"_s);
    }

    void remoteOperations()
    {
        QFETCH(QString, operation);
        QFETCH(Tree, before);
        QFETCH(Tree, after);
        QFETCH(Tree, fetched);
        QFETCH(QString, shownFolder);
        StartAfresh(before);
        Window()->Log()->Clear();

        RunOperation(operation);
        if (QTest::currentTestFailed())
            return;

        QTRY_VERIFY(!Window()->Main().Flags.OperationBusy);
        QCOMPARE(TreeOf(m_server.rootDir()), after);
        QCOMPARE(TreeOf(m_localFolder->path()), fetched);
        QCOMPARE(m_fixture.ShownFolder(), shownFolder.isEmpty() ? m_home : m_home + u'/' + shownFolder);
        Tree shown;
        const QString prefix = shownFolder.isEmpty() ? QString() : shownFolder + u'/';
        for (auto entry = after.cbegin(); entry != after.cend(); ++entry)
            if (entry.key().startsWith(prefix) && entry.key() != prefix)
                shown.insert(entry.key().mid(prefix.size()), {});
        QCOMPARE(ListedNames(), TopNames(shown));
        QVERIFY(Window()->Main().Remote().IsConnected());
        QVERIFY2(Window()->Log()->Lines().filter(u"beschäftigt"_s).isEmpty(),
                 qPrintable(Window()->Log()->Lines().join(u'\n')));
    }

    // A double-click opens a copy of the file; a change of the copy is
    // offered for saving and goes back where the copy came from, also once
    // the pane shows another folder.
    void opensAndSavesBack()
    {
        StartAfresh({{u"texte/brief ä.txt"_s, "Entwurf"}});
        Window()->Browser()->ChangeRemoteFolder(u"texte"_s);
        m_opened.urls.clear();
        const int row = RowNamed(List(), u"brief ä.txt"_s);
        QVERIFY(row >= 0);
        DoubleClickRow(List(), row);
        const QString copy = Window()->Folders().WorkFolder() + u"brief ä.txt"_s;
        QCOMPARE(m_opened.urls, QList<QUrl>{QUrl::fromLocalFile(copy)});
        QCOMPARE(FileContent(copy), QByteArray("Entwurf"));
        OpenedFiles &opened = Transfers::Of(*Window())->Opened();
        QVERIFY(!AwaitSaveQuestion(opened, 700));

        const QString onServer = OnServer(u"texte/brief ä.txt"_s);
        const QStringList contents{u"Erste Fassung"_s, u"Zweite Fassung"_s};
        for (const QString &content : contents) {
            QVERIFY(EditCopy(copy, content.toUtf8(), 10 * (contents.indexOf(content) + 1)));
            QMessageBox *question = AwaitSaveQuestion(opened);
            QVERIFY2(question, "no question after the change");
            QCOMPARE(question->text(), u"Die Datei \"%1\" ist geändert worden. Speichern?"_s.arg(copy));
            question->button(QMessageBox::Yes)->click();
            QTRY_COMPARE(FileContent(onServer), content.toUtf8());
            QTRY_VERIFY(!Window()->Main().Flags.OperationBusy);
            QVERIFY(!opened.Copies().HasUnsavedChange(copy));
            // The second change is made while the pane shows the folder above.
            Window()->Browser()->ChangeRemoteFolder(m_home);
        }
        QCOMPARE(TreeOf(m_server.rootDir()),
                 (Tree{{u"texte/"_s, {}}, {u"texte/brief ä.txt"_s, "Zweite Fassung"}}));
        QCOMPARE(m_fixture.ShownFolder(), m_home);
    }

    // "Diavorschau" fetches the pictures of the folder shown.
    void galleryShowsTheFoldersPictures()
    {
        const QByteArray jpeg = PictureBytes("jpg", 1);
        const QByteArray png = PictureBytes("png", 2);
        StartAfresh(
            {{u"galerie/bild ä.jpg"_s, jpeg}, {u"galerie/b.png"_s, png}, {u"galerie/text.txt"_s, "t"}});
        Window()->Browser()->ChangeRemoteFolder(u"galerie"_s);

        Window()->ToolBar()->SpeedButton20->click();
        Slideshow *show = Slideshow::Of(*Window());
        QVERIFY(show);
        QTRY_VERIFY(show->ThumbnailWindow() && !show->LoadRunning() && !show->ThumbnailWindow()->Loading());
        TThumbFromFileForm *thumbnails = show->ThumbnailWindow();
        QCOMPARE(ShownPictures(*thumbnails->ImageLibThumbnails1), (QStringList{u"b.png"_s, u"bild ä.jpg"_s}));
        const QString images = Window()->Folders().ImagesFolder();
        QCOMPARE(FileContent(images + u"bild ä.jpg"_s), jpeg);
        QCOMPARE(FileContent(images + u"b.png"_s), png);
        QCOMPARE(thumbnails->PanelText(0), u"2 Bilder"_s);
        QCOMPARE(thumbnails->windowTitle(), u"Diashow - "_s + m_home + u"/galerie"_s);
        thumbnails->close();

        // The session goes on as before.
        const OperationFlags &flags = Window()->Main().Flags;
        QVERIFY(!flags.OperationBusy && !flags.TransferActive && !flags.ListingBusy);
        Window()->Browser()->RefreshRemoteList();
        QVERIFY(Lists(u"text.txt"_s));
    }

    // The server's side of the line dies in the middle of a download: what
    // arrived stays in the part file; connected again, "Fortsetzen" in the
    // overwrite question fetches the rest, and the file is the server's.
    void continuesADownloadTheServerCut()
    {
        const QByteArray content = RandomBytes(48 * 1024 * 1024, 26);
        StartAfresh({{u"groß.bin"_s, content}});
        const QString target = m_localFolder->filePath(u"groß.bin"_s);
        const QString part = PartFile::PartPath(target);
        bool cut = false;
        QTimer cutter;
        cutter.setInterval(1);
        connect(&cutter, &QTimer::timeout, this, [&] {
            if (!cut && QFileInfo(part).size() > 0) {
                m_server.cutConnections();
                cut = true;
            }
        });
        cutter.start();
        SelectCaptions(List(), {u"groß.bin"_s});
        RemoteSide()->SpeedButton3->click();
        QTRY_VERIFY(!Window()->Main().Flags.TransferActive);
        cutter.stop();
        QVERIFY(cut);
        QVERIFY(!QFileInfo::exists(target));
        const qint64 kept = QFileInfo(part).size();
        QVERIFY2(kept > 0 && kept < content.size(), qPrintable(QString::number(kept)));
        QCOMPARE(FileContent(part), content.left(kept));
        QVERIFY(!Window()->Main().Remote().IsConnected());
        // A cut line is told as such, never as a closed connection.
        QVERIFY2(Window()->Status()->PanelText(2).startsWith(u"Die Verbindung zum Server ist unterbrochen"_s),
                 qPrintable(Window()->Status()->PanelText(2)));

        ConnectThroughFile();
        QVERIFY(Window()->Main().Remote().IsConnected());
        QTRY_VERIFY(Lists(u"groß.bin"_s));
        QStringList asked;
        bool continueOffered = false;
        {
            PromptAnswer<Tfrageueberschreiben> answer([&](Tfrageueberschreiben &prompt, int) {
                asked.append(prompt.Edit1->text());
                continueOffered = prompt.Button6->isVisible();
                prompt.Button6->click();
            });
            SelectCaptions(List(), {u"groß.bin"_s});
            RemoteSide()->SpeedButton3->click();
            QTRY_VERIFY(!Window()->Main().Flags.TransferActive);
        }
        QCOMPARE(asked, QStringList{part});
        QVERIFY(continueOffered);
        QVERIFY(FileContent(target) == content);
        QVERIFY(!QFileInfo::exists(part));
        QCOMPARE(Window()->Status()->PanelText(2), u"Fertig"_s);
        QVERIFY(!Window()->Log()->Lines().filter(u"(lesen ab %1)"_s.arg(kept)).isEmpty());
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

    void cleanupTestCase()
    {
        m_fixture.Close();
        QDesktopServices::unsetUrlHandler(u"file"_s);
        QGuiApplication::clipboard()->clear();
    }
};

void SftpWindowTest::RunOperation(const QString &operation)
{
    if (operation == u"delete"_s) {
        QStringList doomed = ListedNames();
        doomed.removeAll(u"bleibt.txt"_s);
        QVERIFY(m_fixture.Select(doomed));
        // "Ja zu allen" for what the delete asks about.
        DeletePromptAnswers prompt(m_fixture.Operations()->DeletePrompt(), {u"Button1"_s});
        QVERIFY(RemoteSide()->SpeedButton7->isEnabled());
        RemoteSide()->SpeedButton7->click();
        QVERIFY(!prompt.asked.isEmpty());
    } else if (operation == u"rename"_s) {
        QVERIFY(m_fixture.RenameInPlace(u"alt.txt"_s, u"Ärger ß.txt"_s));
    } else if (operation == u"new folder"_s) {
        RemoteSide()->SpeedButton5->click();
        QLineEdit *editor = OpenEditor(List()->CurrentView());
        QVERIFY(editor);
        QVERIFY(m_fixture.TypeIntoEditor(editor, u"Größe"_s));
    } else if (operation == u"move"_s) {
        QVERIFY(m_fixture.Select({u"a ä.txt"_s, u"b.txt"_s}));
        FolderTreeAnswer tree(Window()->Browser()->FolderTree(), u"ziel"_s);
        Trigger(RemoteSide()->Bewegen1);
        QVERIFY(tree.shown);
    } else if (operation == u"copy down"_s) {
        Window()->Browser()->ChangeRemoteFolder(u"quelle"_s);
        SelectCaptions(List(), {u".."_s, u"a.txt"_s, u"größe.bin"_s, u"ordner"_s});
        Trigger(RemoteSide()->Kopieren1);
        // Pasted while another folder is shown.
        Window()->Browser()->ChangeRemoteFolder(m_home + u"/ziel"_s);
        Trigger(LocalSide()->Einfgen1);
    } else if (operation == u"paste up"_s) {
        Window()->Browser()->ChangeRemoteFolder(u"ablage"_s);
        QTemporaryDir from;
        QVERIFY(WriteFileContent(from.filePath(u"eins ö.txt"_s), "eins"));
        QVERIFY(QDir().mkpath(from.filePath(u"mappe"_s)));
        QVERIFY(WriteFileContent(from.filePath(u"mappe/x.bin"_s), RandomBytes(150000, 3)));
        auto *clipboard = new QMimeData;
        clipboard->setUrls({QUrl::fromLocalFile(from.filePath(u"eins ö.txt"_s)),
                            QUrl::fromLocalFile(from.filePath(u"mappe"_s))});
        QGuiApplication::clipboard()->setMimeData(clipboard);
        Trigger(RemoteSide()->Einfgeh1);
        QTRY_VERIFY(!Window()->Main().Flags.OperationBusy);
    } else {
        QFAIL(qPrintable(u"no such operation: "_s + operation));
    }
}

QTEST_MAIN(SftpWindowTest)
#include "moc_openinghelpers.cpp"
#include "test_sftpwindow.moc"
