// The main window's session does one thing at a time. While a listing, a
// download, an upload, a delete, the folder tree's walk, entering a folder,
// opening a file, a paste, a save-back or the keep-alive's NOOP waits on
// the server, the window
// keeps running, so the user can press anything: every enabled command is
// pressed again and again in every wait of each of them, and the running
// one must still finish byte-exact with the session in step.
#include "remoteopshelpers.h"
#include "transferwindow.h"

#include "keepalive.h"
#include "localbrowser.h"
#include "remotedeletion.h"
#include "tidantifreeze.h"

#include <QAbstractButton>
#include <QAction>
#include <QClipboard>
#include <QDesktopServices>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QTreeView>

using namespace Qt::StringLiterals;

namespace {

// Commands that are meant for a running operation: they stop it or end
// the session. The local pane's own folder commands never reach a server.
const QSet<QString> kLeftOut{
    u"SpeedButton10"_s,        u"Datentransferabbrechen1"_s, u"SpeedButton2"_s,  u"SpeedButton12"_s,
    u"LocalNewFolderButton"_s, u"LocalNewFolderItem"_s,      u"LocalUpButton"_s,
};

const QByteArray kLarge = QByteArray(3 * 1024 * 1024, 'L') + "end";

QMap<QString, QByteArray> ServerFiles()
{
    QMap<QString, QByteArray> files{{u"tree/a.bin"_s, kLarge},
                                    {u"tree/sub/b.txt"_s, "b content"},
                                    {u"tree/sub/deeper/c.txt"_s, "c content"},
                                    {u"trash/x.txt"_s, "x"},
                                    {u"trash/in/y.txt"_s, "y"},
                                    {u"keep.txt"_s, "keep me"}};
    for (int n = 0; n < 5; ++n)
        files.insert(u"tree/many/f%1.txt"_s.arg(n), QByteArray::number(n).repeated(100));
    return files;
}

// The files below a server or local folder with their bytes.
QMap<QString, QByteArray> FilesBelow(const QString &root)
{
    QMap<QString, QByteArray> files;
    const QMap<QString, QByteArray> tree = TreeOf(root);
    for (auto entry = tree.cbegin(); entry != tree.cend(); ++entry) {
        if (!entry.key().endsWith(u'/'))
            files.insert(entry.key(), entry.value());
    }
    return files;
}

QSet<QString> Verbs(const QStringList &commands)
{
    QSet<QString> verbs;
    for (const QString &command : commands)
        verbs.insert(command.section(u' ', 0, 0).toUpper());
    return verbs;
}

// Presses every enabled command of the main window, and of the folder tree
// window, each time the session's waits let the window run: also in a wait
// that an operation forgot to mark as its own.
class CommandPresser : public QObject {
public:
    CommandPresser(TFTPqvx &window, QString localFile)
        : m_window(window)
        , m_localFile(std::move(localFile))
    {
        // Windows and menus that the presses open modally are closed again at once.
        m_modalCloser.setInterval(2);
        connect(&m_modalCloser, &QTimer::timeout, this, [] {
            if (QWidget *popup = QApplication::activePopupWidget())
                popup->close();
            else if (auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget()))
                dialog->reject();
        });
        m_modalCloser.start();
        TIdAntiFreeze::Install([this] {
            QCoreApplication::processEvents();
            PressDuringWait();
        });
    }
    ~CommandPresser() override { RemoteSessionFixture::InstallProgramServices(); }

    void Arm(bool mayCloseFolderTree)
    {
        m_armed = true;
        m_mayCloseFolderTree = mayCloseFolderTree;
        m_rounds = 0;
        m_presses.clear();
    }
    void Disarm() { m_armed = false; }
    int Rounds() const { return m_rounds; }
    QStringList Pressed() const { return m_presses.keys(); }

private:
    void PressDuringWait()
    {
        if (!m_armed || m_pressing)
            return;
        m_pressing = true;
        ++m_rounds;
        PressButtonsAndItems();
        PressGestures();
        PressFolderTree();
        m_pressing = false;
    }

    void PressButtonsAndItems()
    {
        for (QAbstractButton *button : m_window.findChildren<QAbstractButton *>()) {
            if (button->window() == &m_window && button->isVisible() && button->isEnabled() &&
                !kLeftOut.contains(button->objectName()))
                Press(button->objectName(), [button] { button->click(); });
        }
        for (QAction *action : m_window.findChildren<QAction *>()) {
            const auto *owner = qobject_cast<QWidget *>(action->parent());
            if (owner && owner->window() == &m_window && action->isEnabled() && !action->isSeparator() &&
                !action->menu() && !kLeftOut.contains(action->objectName()))
                Press(action->objectName().isEmpty() ? action->text() : action->objectName(),
                      [action] { action->trigger(); });
        }
    }

    void PressGestures()
    {
        RemoteListView *list = m_window.Remote()->List;
        QTreeView *view = list->DetailsView();
        if (list->RowCount() > 1) {
            Press(u"double-click"_s, [list] { DoubleClickRow(list, 1); });
            Press(u"Enter"_s, [view] { QTest::keyClick(view, Qt::Key_Return); });
        }
        Press(u"Backspace"_s, [view] { QTest::keyClick(view, Qt::Key_Backspace); });
        Press(u"F5"_s, [view] { QTest::keyClick(view, Qt::Key_F5); });
        Press(u"path typed into the remote path field"_s, [this] {
            QLineEdit *field = m_window.Paths()->Edit1;
            QTest::keyClicks(field, u"/tree/sub"_s);
            QTest::keyClick(field, Qt::Key_Return);
        });
        Press(u"Del"_s, [view] { QTest::keyClick(view, Qt::Key_Delete); });
        Press(u"drop onto the remote list"_s, [this, view] {
            QMimeData files;
            files.setUrls({QUrl::fromLocalFile(m_localFile)});
            Drop(view->viewport(), files);
        });
        // The paste items are set when their menu opens, which may have
        // been before the operation began.
        for (QAction *item : {m_window.Remote()->Einfgeh1, m_window.Local()->Einfgen1}) {
            Press(item->objectName() + u" from a menu opened before"_s, [item] {
                item->setEnabled(true);
                item->trigger();
            });
        }
        Press(u"drop onto the local list"_s, [this, list] {
            std::unique_ptr<QMimeData> rows(list->Rows()->mimeData({list->Rows()->index(1, 0)}));
            if (rows)
                Drop(m_window.Local()->List->CurrentView()->viewport(), *rows);
        });
    }

    void PressFolderTree()
    {
        TTreeDlg1 *tree = m_window.Browser()->FolderTree();
        if (!tree)
            return;
        if (!tree->isVisible())
            tree->Browse();
        if (tree->SpeedButton1->isEnabled())
            Press(u"folder tree: Aktualisieren"_s, [tree] { tree->SpeedButton1->click(); });
        if (m_mayCloseFolderTree)
            Press(u"folder tree: Schliessen"_s, [tree] { tree->SpeedButton12->click(); });
    }

    static void Drop(QWidget *viewport, const QMimeData &data)
    {
        const QPoint at(5, 5);
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(viewport, &enter);
        QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(viewport, &drop);
    }

    void Press(const QString &name, const std::function<void()> &press)
    {
        // Twice is enough to meet the operation in different steps, and it
        // keeps the menus and windows that some presses open from slowing
        // the test down.
        int &presses = m_presses[name];
        if (presses == kPressesPerCommand)
            return;
        ++presses;
        press();
    }

    TFTPqvx &m_window;
    const QString m_localFile;
    QTimer m_modalCloser;
    static constexpr int kPressesPerCommand = 2;
    QHash<QString, int> m_presses;
    bool m_armed = false;
    bool m_mayCloseFolderTree = true;
    bool m_pressing = false;
    int m_rounds = 0;
};

enum class Operation {
    Listing,
    Download,
    Upload,
    Delete,
    FolderTreeWalk,
    EnterFolder,     // a double-click on a folder
    OpenFile,        // a double-click on a file: fetched into work and opened
    PasteFromServer, // "Aus dem FTP Server einfügen" of copied entries
    PasteClipboard,  // "Einfügen" of the files the clipboard names
    SaveBack,        // "Ja" to saving a changed opened file
    KeepAlive,       // the NOOP of an idle session, sent by its timer
    NewFolder,       // "Neuer Ordner": MKD, then the editor on the new row
    Rename,          // a caption edited in place: RNFR and RNTO
};

} // namespace

Q_DECLARE_METATYPE(Operation)

class CommandsDuringOperationsTest : public QObject {
    Q_OBJECT

private:
    RemoteSessionFixture m_fixture;
    std::unique_ptr<QTemporaryDir> m_local;

    TFTPqvx *Window() const { return m_fixture.Window(); }
    RemotePane *Pane() const { return Window()->Remote(); }

private slots:
    void initTestCase()
    {
        RemoteSessionFixture::InstallProgramServices();
        // Nothing the presses open may start a program of the desktop.
        QDesktopServices::setUrlHandler(u"file"_s, this, "ignoreUrl");
    }
    void cleanupTestCase() { QDesktopServices::unsetUrlHandler(u"file"_s); }
    void init()
    {
        m_local = std::make_unique<QTemporaryDir>();
        QVERIFY(m_local->isValid());
        TFTPqvx *window = m_fixture.OpenWindow();
        QVERIFY(window);
        InstallRemoteOperations(window->Parts());
        InstallTransfers(window->Parts());
        window->Settings.Delete_Confirm = false;
        window->Settings.All_Delete = true;
    }
    void cleanup()
    {
        m_fixture.Close();
        m_local.reset();
        QGuiApplication::clipboard()->clear();
    }
    void ignoreUrl(const QUrl &) {}

    void everyCommandDuringEveryOperation_data()
    {
        QTest::addColumn<Operation>("operation");
        QTest::addColumn<bool>("mlsd");
        for (bool mlsd : {true, false}) {
            const QString lister = mlsd ? u"MLSD"_s : u"LIST"_s;
            QTest::newRow(qPrintable(u"listing, "_s + lister)) << Operation::Listing << mlsd;
            QTest::newRow(qPrintable(u"download, "_s + lister)) << Operation::Download << mlsd;
            QTest::newRow(qPrintable(u"upload, "_s + lister)) << Operation::Upload << mlsd;
            QTest::newRow(qPrintable(u"delete, "_s + lister)) << Operation::Delete << mlsd;
            QTest::newRow(qPrintable(u"folder tree walk, "_s + lister)) << Operation::FolderTreeWalk << mlsd;
        }
        QTest::newRow("entering a folder, MLSD") << Operation::EnterFolder << true;
        QTest::newRow("opening a file, MLSD") << Operation::OpenFile << true;
        QTest::newRow("paste from the server, MLSD") << Operation::PasteFromServer << true;
        QTest::newRow("paste from the clipboard, MLSD") << Operation::PasteClipboard << true;
        QTest::newRow("saving an opened file back, MLSD") << Operation::SaveBack << true;
        QTest::newRow("keep-alive NOOP") << Operation::KeepAlive << true;
        QTest::newRow("new folder, MLSD") << Operation::NewFolder << true;
        QTest::newRow("rename in place, MLSD") << Operation::Rename << true;
    }

    void everyCommandDuringEveryOperation()
    {
        QFETCH(Operation, operation);
        QFETCH(bool, mlsd);
        RealFtpServer::Options options;
        options.hideMlsd = !mlsd;
        options.files = ServerFiles();
        // Every reply comes late enough for the window to run while it is
        // awaited: the waits are cut into slices of 10 ms.
        options.commandDelayMs = 25;
        RealFtpServer server(options);
        START_OR_SKIP(server, Kind::Pyftpdlib);
        m_fixture.Connect(server, mlsd);
        TIdAntiFreeze::SetIdleTimeOut(10);
        TFTPqvx *window = Window();
        QVERIFY(window->Main().Connection.IsConnected());
        window->Local()->List->SetFolder(m_local->path());

        const QString upload = m_local->filePath(u"up"_s);
        QVERIFY(QDir().mkpath(upload + u"/inner"_s));
        QVERIFY(WriteFileContent(upload + u"/u1.bin"_s, kLarge));
        QVERIFY(WriteFileContent(upload + u"/inner/u2.txt"_s, "u2"));
        const QString stray = m_local->filePath(u"stray.txt"_s);
        QVERIFY(WriteFileContent(stray, "dropped during another operation"));
        Prepare(operation, upload, stray);
        server.clearTranscript();

        CommandPresser presser(*window, stray);
        presser.Arm(operation != Operation::FolderTreeWalk);
        Start(operation);
        // The timer sends it on its own, a second later; the answered
        // question starts its upload from the event loop.
        if (operation == Operation::KeepAlive)
            QVERIFY(QTest::qWaitFor([&] { return server.commands().contains(u"NOOP"_s); }, 5000));
        if (operation == Operation::SaveBack)
            QVERIFY(QTest::qWaitFor([&] { return Verbs(server.commands()).contains(u"STOR"_s); }, 5000));
        if (operation == Operation::Rename)
            QVERIFY(QTest::qWaitFor([&] { return Verbs(server.commands()).contains(u"RNTO"_s); }, 5000));
        QVERIFY(QTest::qWaitFor([&] { return !Busy(); }, 30000));
        presser.Disarm();
        // The checks below talk to the server themselves.
        window->KeepAliveTimer()->SetInterval(0);

        QVERIFY2(presser.Rounds() > 0, "nothing was pressed while the operation ran");
        const QString pressed = presser.Pressed().join(u", "_s);
        VerifyOutcome(operation, server);
        VerifyOnlyItsCommands(operation, server.commands());
        VerifyInStep(operation == Operation::EnterFolder ? u"/tree"_s : u"/"_s);
        QVERIFY2(!QFileInfo::exists(server.rootDir() + u"/stray.txt"_s), qPrintable(pressed));
    }

private:
    bool Busy() const
    {
        const OperationFlags &flags = Window()->Main().Flags;
        return flags.OperationBusy || flags.TransferActive || flags.ListingBusy ||
               Window()->Browser()->FolderTree()->IsBuilding();
    }

    void SelectLocal(const QString &name)
    {
        LocalListView *local = Window()->Local()->List;
        QTRY_VERIFY(local->FindEntry(name).isValid());
        local->SelectionModel()->select(local->FindEntry(name),
                                        QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }

    QString OpenedCopy() const { return Window()->Folders().WorkFolder() + u"keep.txt"_s; }

    // What an operation needs before it starts: copied entries, the
    // clipboard's files, an opened file with a change. The other
    // operations find a copied file and the stray file on the clipboard,
    // for the paste commands pressed while they run.
    void Prepare(Operation operation, const QString &uploadFolder, const QString &strayFile)
    {
        const QStringList copied = operation == Operation::PasteFromServer
                                       ? QStringList{u"tree"_s, u"keep.txt"_s}
                                       : QStringList{u"keep.txt"_s};
        SelectCaptions(Pane()->List, copied);
        Window()->Browser()->UpdateCommandStates();
        Pane()->Kopieren1->trigger();
        QCOMPARE(Window()->Main().CopyList.size(), copied.size());
        Pane()->List->ClearSelection();
        auto *clipboard = new QMimeData;
        clipboard->setUrls(
            {QUrl::fromLocalFile(operation == Operation::PasteClipboard ? uploadFolder : strayFile)});
        QGuiApplication::clipboard()->setMimeData(clipboard);
        if (operation != Operation::SaveBack)
            return;
        DoubleClickRow(Pane()->List, RowNamed(Pane()->List, u"keep.txt"_s));
        QCOMPARE(FileContent(OpenedCopy()), QByteArray("keep me"));
        QVERIFY(WriteFileContent(OpenedCopy(), "saved back during the presses"));
        QVERIFY(SetModified(OpenedCopy(), QDateTime::currentDateTimeUtc().addSecs(10)));
        QTRY_VERIFY(Transfers::Of(*Window())->Opened().Question());
    }

    void Start(Operation operation)
    {
        RemoteListView *list = Pane()->List;
        switch (operation) {
        case Operation::Listing:
            list->ClearSelection();
            Pane()->RefreshButton->click();
            break;
        case Operation::Download:
            SelectCaptions(list, {u"tree"_s, u"keep.txt"_s});
            Window()->Browser()->UpdateCommandStates();
            Pane()->SpeedButton3->click();
            break;
        case Operation::Upload:
            SelectLocal(u"up"_s);
            QVERIFY(Window()->Local()->SpeedButton18->isEnabled());
            Window()->Local()->SpeedButton18->click();
            break;
        case Operation::Delete:
            SelectCaptions(list, {u"trash"_s});
            Window()->Browser()->UpdateCommandStates();
            Pane()->SpeedButton7->click();
            break;
        case Operation::FolderTreeWalk:
            Window()->Browser()->FolderTree()->SpeedButton1->click();
            break;
        case Operation::EnterFolder:
            DoubleClickRow(list, RowNamed(list, u"tree"_s));
            break;
        case Operation::OpenFile:
            DoubleClickRow(list, RowNamed(list, u"keep.txt"_s));
            break;
        case Operation::PasteFromServer:
            Window()->Local()->Einfgen1->trigger();
            break;
        case Operation::PasteClipboard:
            Pane()->Einfgeh1->setEnabled(true);
            Pane()->Einfgeh1->trigger();
            break;
        case Operation::SaveBack:
            Transfers::Of(*Window())->Opened().Question()->button(QMessageBox::Yes)->click();
            break;
        case Operation::KeepAlive:
            Window()->KeepAliveTimer()->SetInterval(1);
            break;
        case Operation::NewFolder:
            list->ClearSelection();
            Window()->Browser()->UpdateCommandStates();
            Pane()->SpeedButton5->click();
            break;
        case Operation::Rename: {
            SelectCaptions(list, {u"keep.txt"_s});
            Window()->Browser()->UpdateCommandStates();
            Pane()->SpeedButton6->click();
            auto *editor = list->CurrentView()->findChild<QLineEdit *>();
            QVERIFY(editor);
            editor->selectAll();
            editor->insert(u"umbenannt.txt"_s);
            QTest::keyClick(editor, Qt::Key_Return);
            break;
        }
        }
    }

    // The files the local pane's folder got, without the ones the test put there.
    QMap<QString, QByteArray> Downloaded() const
    {
        QMap<QString, QByteArray> local = FilesBelow(m_local->path());
        local.remove(u"stray.txt"_s);
        for (auto file = local.begin(); file != local.end();) {
            file = file.key().startsWith(u"up/"_s) ? local.erase(file) : std::next(file);
        }
        return local;
    }

    void VerifyOutcome(Operation operation, const RealFtpServer &server)
    {
        const QMap<QString, QByteArray> before = ServerFiles();
        QMap<QString, QByteArray> onServer = FilesBelow(server.rootDir());
        onServer.remove(u"transcript.txt"_s);
        switch (operation) {
        case Operation::Listing:
        case Operation::KeepAlive:
            QCOMPARE(Captions(Pane()->List), (QStringList{u".."_s, u"trash"_s, u"tree"_s, u"keep.txt"_s}));
            QCOMPARE(onServer, before);
            break;
        case Operation::NewFolder:
            QVERIFY(QFileInfo(server.rootDir() + u"/Neuer_Ordner"_s).isDir());
            QCOMPARE(onServer, before);
            break;
        case Operation::Rename: {
            QMap<QString, QByteArray> renamed = before;
            renamed.insert(u"umbenannt.txt"_s, renamed.take(u"keep.txt"_s));
            QCOMPARE(onServer, renamed);
            break;
        }
        case Operation::Download:
        case Operation::PasteFromServer: {
            QMap<QString, QByteArray> expected;
            for (auto file = before.cbegin(); file != before.cend(); ++file) {
                if (file.key().startsWith(u"tree/"_s) || file.key() == u"keep.txt"_s)
                    expected.insert(file.key(), file.value());
            }
            QCOMPARE(Downloaded(), expected);
            break;
        }
        case Operation::EnterFolder:
            QCOMPARE(Captions(Pane()->List), (QStringList{u".."_s, u"many"_s, u"sub"_s, u"a.bin"_s}));
            QCOMPARE(onServer, before);
            break;
        case Operation::OpenFile:
            QCOMPARE(FileContent(OpenedCopy()), QByteArray("keep me"));
            QCOMPARE(onServer, before);
            break;
        case Operation::SaveBack: {
            QMap<QString, QByteArray> expected = before;
            expected.insert(u"keep.txt"_s, "saved back during the presses");
            QCOMPARE(onServer, expected);
            QVERIFY(!Transfers::Of(*Window())->Opened().Copies().HasUnsavedChange(OpenedCopy()));
            break;
        }
        case Operation::Upload:
        case Operation::PasteClipboard: {
            QMap<QString, QByteArray> expected = before;
            expected.insert(u"up/u1.bin"_s, kLarge);
            expected.insert(u"up/inner/u2.txt"_s, "u2");
            QCOMPARE(onServer, expected);
            break;
        }
        case Operation::Delete: {
            QMap<QString, QByteArray> expected = before;
            expected.remove(u"trash/x.txt"_s);
            expected.remove(u"trash/in/y.txt"_s);
            QCOMPARE(onServer, expected);
            QVERIFY(!QFileInfo::exists(server.rootDir() + u"/trash"_s));
            break;
        }
        case Operation::FolderTreeWalk: {
            QStringList paths;
            for (QTreeWidgetItemIterator node(Window()->Browser()->FolderTree()->TreeView1); *node; ++node)
                paths.append(TTreeDlg1::PathOf(*node));
            paths.sort();
            QCOMPARE(paths, (QStringList{u"/trash/"_s, u"/trash/in/"_s, u"/tree/"_s, u"/tree/many/"_s,
                                         u"/tree/sub/"_s, u"/tree/sub/deeper/"_s}));
            QCOMPARE(onServer, before);
            break;
        }
        }
        QVERIFY2(Window()->Status()->PanelText(2) != u"Abgebrochen"_s, "the operation was stopped");
        // No paste from the server cut in.
        if (operation != Operation::Download && operation != Operation::PasteFromServer)
            QVERIFY(Downloaded().isEmpty());
    }

    // No other operation cut in: the server saw only the running one's commands.
    void VerifyOnlyItsCommands(Operation operation, const QStringList &commands)
    {
        QSet<QString> allowed{u"TYPE"_s, u"PWD"_s, u"EPSV"_s, u"PASV"_s, u"MLSD"_s,
                              u"LIST"_s, u"CWD"_s, u"CDUP"_s, u"SIZE"_s, u"MLST"_s};
        if (operation == Operation::Download || operation == Operation::PasteFromServer ||
            operation == Operation::OpenFile)
            allowed.insert(u"RETR"_s);
        // The extra connections of a folder transfer log in and out.
        if (operation == Operation::Download || operation == Operation::PasteFromServer ||
            operation == Operation::Upload || operation == Operation::PasteClipboard)
            allowed += {u"USER"_s, u"PASS"_s, u"SYST"_s, u"QUIT"_s, u"OPTS"_s};
        if (operation == Operation::Upload || operation == Operation::PasteClipboard)
            allowed += {u"STOR"_s, u"MKD"_s, u"MFMT"_s};
        if (operation == Operation::SaveBack)
            allowed += {u"STOR"_s, u"MFMT"_s};
        if (operation == Operation::Delete)
            allowed += {u"DELE"_s, u"RMD"_s};
        if (operation == Operation::KeepAlive)
            allowed = {u"NOOP"_s};
        if (operation == Operation::NewFolder)
            allowed.insert(u"MKD"_s);
        if (operation == Operation::Rename)
            allowed += {u"RNFR"_s, u"RNTO"_s};
        const QSet<QString> foreign = Verbs(commands) - allowed;
        QVERIFY2(foreign.isEmpty(), qPrintable(commands.join(u" | "_s)));
    }

    // Asked as a command of the window, as every command is: what waits for
    // an idle session (the folder tree the presses opened) keeps waiting.
    void VerifyInStep(const QString &folder)
    {
        TIdFTP &session = Window()->Main().Connection;
        QVERIFY(session.IsConnected());
        QList<int> codes;
        QString pwdReply;
        Window()->Main().RunCommand([&] {
            codes = {session.SendCommand(u"SYST"_s, 215), session.SendCommand(u"NOOP"_s, 200),
                     session.SendCommand(u"PWD"_s, 257)};
            pwdReply = session.LastReplyLine();
        });
        QCOMPARE(codes, (QList<int>{215, 200, 257}));
        QVERIFY2(pwdReply.contains(u'"' + folder + u'"'), qPrintable(pwdReply));
    }
};

QTEST_MAIN(CommandsDuringOperationsTest)
#include "test_commandsduringoperations.moc"
