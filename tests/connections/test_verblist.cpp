#include "modalanswer.h"
#include "rememberedtreeposition.h"
#include "tidftp.h"
#include "tinifile.h"
#include "tpagesdlg.h"
#include "tverblist.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

using namespace Qt::StringLiterals;

namespace {

QByteArray Section(const QByteArray &name, const QByteArray &server)
{
    return "[" + name + "]\r\nFTP_Server=" + server + "\r\n";
}

} // namespace

class VerblistTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void init()
    {
        RememberTreePosition(-1);
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_root = m_dir->filePath(u"Inhaltsverzeichnis"_s);
        Put(u"inhalt.ini"_s, Section("Alpha", "alpha.example.org"));
        Put(u"A/inhalt.ini"_s, Section("Web", "a-web") + "\r\n" + Section("Mail", "a-mail"));
        Put(u"A/Sub/inhalt.ini"_s, Section("Tief", "tief"));
        Put(u"B/inhalt.ini"_s, Section("Web", "b-web") + "\r\n" + Section("Web (1)", "b-web1"));
        m_session = std::make_unique<TIdFTP>();
        m_window = std::make_unique<TVerblist>();
        m_window->SetTreeFolder(m_root);
        m_window->SetSession(m_session.get());
        m_window->SetShortcutFolders(m_dir->filePath(u"Links"_s), m_dir->filePath(u"Desktop"_s));
        m_tree = m_window->findChild<QTreeWidget *>(u"TreeView1"_s);
        QVERIFY(m_tree);
    }

    void cleanup()
    {
        m_window.reset();
        m_session.reset();
    }

    void connectModeAppliesTheChosenConnection_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("OK button") << u"button"_s;
        QTest::newRow("double-click") << u"double-click"_s;
        QTest::newRow("Enter key") << u"enter"_s;
    }

    void connectModeAppliesTheChosenConnection()
    {
        QFETCH(QString, how);
        Put(u"A/inhalt.ini"_s, "[Web]\r\nFTP_Server= ftp.example.org \r\nFTP_Port=2121\r\nFTP_User=ich\r\n"
                               "FTP_Pass=eutq31bc\r\nFTP_Passive=-1\r\nssl=-1\r\nSSLDepth=3\r\nSSLPeer=-1\r\n"
                               "Log=0\r\nMaxentry=50\r\nFTPOrdner=/pub\r\nTimeout=7000\r\n");
        m_session->isSearch = true;
        Open(TVerblist::Mode::Connect);
        QPushButton *ok = Button(u"BitBtn1"_s);
        QVERIFY(ok->isVisible());
        QCOMPARE(ok->text(), u" O K"_s);
        QVERIFY(!ok->isEnabled());

        Select(u"A/"_s);
        QVERIFY(!ok->isEnabled());
        DoubleClick(u"A/"_s);
        QVERIFY(m_window->isVisible());

        Select(u"A/Web"_s);
        QVERIFY(ok->isEnabled());
        if (how == u"button"_s) {
            ok->click();
        } else if (how == u"double-click"_s) {
            DoubleClick(u"A/Web"_s);
        } else {
            m_tree->setFocus();
            QTest::keyClick(m_tree, Qt::Key_Return);
        }
        QVERIFY(m_window->isHidden());
        QCOMPARE(m_window->result(), int(QDialog::Accepted));
        QCOMPARE(m_session->Host, u"ftp.example.org"_s);
        QCOMPARE(m_session->Port, 2121);
        QCOMPARE(m_session->User, u"ich"_s);
        QCOMPARE(m_session->Password, u"geheim"_s);
        QVERIFY(m_session->Passive);
        QVERIFY(m_session->UseSSL);
        QCOMPARE(m_session->SSLDepth, 3);
        QVERIFY(m_session->SSLPeer);
        QVERIFY(!m_session->isSearch);
        QVERIFY(m_window->AppliedValues());
        QCOMPARE(m_window->AppliedValues()->Log, false);
        QCOMPARE(m_window->AppliedValues()->Maxentry, 50);
        QCOMPARE(m_window->AppliedValues()->FTPOrdner, u"/pub"_s);
        QCOMPARE(m_window->AppliedValues()->Timeout, 7000);
    }

    void manageModeEditsInsteadOfConnecting()
    {
        Open(TVerblist::Mode::Manage);
        QPushButton *close = Button(u"BitBtn2"_s);
        QVERIFY(Button(u"BitBtn1"_s)->isHidden());
        QCOMPARE(close->text(), u"Schliessen"_s);
        QCOMPARE(Action(u"Abbrechen1"_s)->text(), u"Schliessen"_s);
        QCOMPARE(close->x(), (m_window->width() - close->width()) / 2);

        QString openedName;
        ModalAnswer<TPagesDlg> answer([&](TPagesDlg &dialog) {
            auto *name = dialog.findChild<QLineEdit *>(u"vbname"_s);
            openedName = name->text();
            name->setText(u"Web2"_s);
            dialog.findChild<QPushButton *>(u"OKBtn"_s)->click();
        });
        Select(u"A/Web"_s);
        DoubleClick(u"A/Web"_s);
        QCOMPARE(answer.Answered(), 1);
        QCOMPARE(openedName, u"Web"_s);
        QVERIFY(m_window->isVisible());
        QCOMPARE(SelectedPath(), u"A/Web2"_s);
        QVERIFY(!m_session->UseSSL && m_session->Host.isEmpty());

        m_window->hide();
        Open(TVerblist::Mode::Connect);
        QPushButton *ok = Button(u"BitBtn1"_s);
        QCOMPARE(close->text(), u"Abbrechen"_s);
        QCOMPARE(close->x(), (m_window->width() - close->width()) / 2 + close->width() / 2 + 20);
        QCOMPARE(ok->x(), (m_window->width() - ok->width()) / 2 - ok->width() / 2 - 20);
    }

    void newConnectionGoesIntoTheSelectedGroup_data()
    {
        QTest::addColumn<QString>("selected");
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("groupPath");
        QTest::newRow("beside a connection") << u"A/Web"_s << u"NeueVerbindung2"_s << u"A/"_s;
        QTest::newRow("into a group") << u"A/Sub/"_s << u"NeueVerbindung1"_s << u"A/Sub/"_s;
        QTest::newRow("nothing selected") << QString() << u"NeueVerbindung1"_s << QString();
    }

    void newConnectionGoesIntoTheSelectedGroup()
    {
        QFETCH(QString, selected);
        QFETCH(QString, action);
        QFETCH(QString, groupPath);
        Open(TVerblist::Mode::Manage);
        if (!selected.isEmpty())
            Select(selected);
        ModalAnswer<TPagesDlg> answer([](TPagesDlg &dialog) {
            QTest::keyClicks(dialog.findChild<QLineEdit *>(u"HostTxt"_s), u"neu.example.org"_s);
            dialog.findChild<QPushButton *>(u"OKBtn"_s)->click();
        });
        Action(action)->trigger();
        QCOMPARE(answer.Answered(), 1);
        QCOMPARE(SelectedPath(), groupPath + u"neu.example.org"_s);
        QVERIFY(TIniFile(m_root + u'/' + groupPath + u"inhalt.ini"_s).SectionExists(u"neu.example.org"_s));
    }

    void cutAndPasteMovesOnDisk()
    {
        Open(TVerblist::Mode::Manage);
        QVERIFY(!Action(u"Einfgen1"_s)->isEnabled());
        Select(u"A/Mail"_s);
        Action(u"Ausschneiden1"_s)->trigger();
        QVERIFY(Action(u"Einfgen1"_s)->isEnabled());
        Select(u"B/"_s);
        Action(u"Einfgen1"_s)->trigger();
        QCOMPARE(SelectedPath(), u"B/Mail"_s);
        QVERIFY(!Shown().contains(u"A/Mail"_s));
        QVERIFY(!Action(u"Einfgen1"_s)->isEnabled());
        QVERIFY(OnDisk(u"B/Mail"_s));
        QVERIFY(!OnDisk(u"A/Mail"_s));
    }

    void dragAndDropMovesOnDisk_data()
    {
        QTest::addColumn<QString>("dragged");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("landed"); // empty: nothing moves
        QTest::newRow("connection onto a connection of another group")
            << u"A/Web"_s << u"B/Web"_s << u"B/Web (2)"_s;
        QTest::newRow("group into a group") << u"A/Sub/"_s << u"B/"_s << u"B/Sub/"_s;
        QTest::newRow("connection onto its own group") << u"A/Web"_s << u"A/Mail"_s << QString();
        QTest::newRow("group onto its own child") << u"A/"_s << u"A/Sub/Tief"_s << QString();
    }

    void dragAndDropMovesOnDisk()
    {
        QFETCH(QString, dragged);
        QFETCH(QString, target);
        QFETCH(QString, landed);
        Open(TVerblist::Mode::Manage);
        m_tree->expandAll();
        const QStringList before = Shown();
        Select(dragged);
        DragAndDrop(Item(target));

        if (landed.isEmpty()) {
            QTest::qWait(20);
            QCOMPARE(Shown(), before);
            return;
        }
        QTRY_COMPARE(SelectedPath(), landed);
        QVERIFY(!Shown().contains(dragged));
        QVERIFY(OnDisk(landed));
        QVERIFY(!OnDisk(dragged));
    }

    // A connection's name may hold a slash: dragging the top-level "A/Web"
    // moves that connection, not the Web of group A.
    void dragMovesTheDraggedNodeNotItsNamesake()
    {
        Put(u"inhalt.ini"_s, Section("Alpha", "alpha.example.org") + "\r\n" + Section("A/Web", "slash"));
        Open(TVerblist::Mode::Manage);
        m_tree->expandAll();
        const QList<QTreeWidgetItem *> topLevel = m_tree->findItems(u"A/Web"_s, Qt::MatchExactly);
        QCOMPARE(topLevel.size(), 1);
        m_tree->setCurrentItem(topLevel.constFirst());
        DragAndDrop(Item(u"B/"_s));

        QTRY_COMPARE(TIniFile(m_root + u"/B/inhalt.ini"_s).ReadString(u"A/Web"_s, u"FTP_Server"_s, QString()),
                     u"slash"_s);
        QVERIFY(!TIniFile(m_root + u"/inhalt.ini"_s).SectionExists(u"A/Web"_s));
        QVERIFY(OnDisk(u"A/Web"_s));
    }

    void foreignDragsAreRefused()
    {
        Open(TVerblist::Mode::Manage);
        QMimeData text;
        text.setText(u"A/Web"_s);
        const QPoint at = m_tree->visualItemRect(Item(u"B/"_s)).center();
        QDragEnterEvent enter(at, Qt::MoveAction, &text, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(m_tree->viewport(), &enter);
        QVERIFY(!enter.isAccepted());
    }

    void removeAsksOnce_data()
    {
        QTest::addColumn<QString>("node");
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("yes");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("question");
        QTest::newRow("group, yes") << u"A/"_s << u"Entfernen1"_s << true << u"Eine Gruppe entfernen"_s
                                    << u"Gruppe \"A\" entfernen?"_s;
        QTest::newRow("group, no") << u"A/"_s << u"Delete"_s << false << u"Eine Gruppe entfernen"_s
                                   << u"Gruppe \"A\" entfernen?"_s;
        QTest::newRow("connection, yes")
            << u"B/Web"_s << u"Entfernen2"_s << true << u"Eine Verbindung entfernen"_s
            << u"Verbindung \"Web\" entfernen?"_s;
    }

    void removeAsksOnce()
    {
        QFETCH(QString, node);
        QFETCH(QString, how);
        QFETCH(bool, yes);
        QFETCH(QString, caption);
        QFETCH(QString, question);
        Open(TVerblist::Mode::Manage);
        Select(node);
        QString shownCaption;
        QString shownQuestion;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        ModalAnswer<QMessageBox> answer(
            [&](QMessageBox &box) {
                shownCaption = box.windowTitle();
                shownQuestion = box.text();
                icon = box.icon();
                box.button(yes ? QMessageBox::Yes : QMessageBox::No)->click();
            },
            2);
        if (how == u"Delete"_s) {
            m_tree->setFocus();
            QTest::keyClick(m_tree, Qt::Key_Delete);
        } else {
            Action(how)->trigger();
        }
        QTest::qWait(20);
        QCOMPARE(answer.Answered(), 1);
        QCOMPARE(shownCaption, caption);
        QCOMPARE(shownQuestion, question);
        QCOMPARE(icon, QMessageBox::Question);
        QCOMPARE(Shown().contains(node), !yes);
        QCOMPARE(OnDisk(node), !yes);
    }

    void reopeningSelectsTheRememberedNode()
    {
        Open(TVerblist::Mode::Manage);
        Select(u"A/Sub/Tief"_s);
        const int position = int(Shown().indexOf(u"A/Sub/Tief"_s));
        Button(u"BitBtn2"_s)->click();
        QVERIFY(m_window->isHidden());
        QCOMPARE(RememberedTreePosition(), position);

        Open(TVerblist::Mode::Connect);
        QCOMPARE(SelectedPath(), u"A/Sub/Tief"_s);
        QVERIFY(Button(u"BitBtn1"_s)->isEnabled());

        // Another window that shows the tree starts from the same place.
        TVerblist other;
        other.SetTreeFolder(m_root);
        other.show();
        auto *otherTree = other.findChild<QTreeWidget *>(u"TreeView1"_s);
        QCOMPARE(otherTree->currentItem()->text(0), u"Tief"_s);
    }

    void labelEditing_data()
    {
        QTest::addColumn<QString>("node");
        QTest::addColumn<QString>("entered");
        QTest::addColumn<QString>("warning");
        QTest::addColumn<QString>("shownAfter");
        QTest::newRow("group to a taken name")
            << u"A/"_s << u"b"_s << u"Der Name \"b\" wird bereits verwendet"_s << u"A/"_s;
        QTest::newRow("group with a slash")
            << u"A/"_s << u"x/y"_s << u"Zeichen /\\:*?\"<>| sind nicht zulässig"_s << u"A/"_s;
        QTest::newRow("group to the name of its parent's connection file")
            << u"A/Sub/"_s << u"inhalt.ini"_s
            << u"Der Name \"inhalt.ini\" ist für die Verbindungsdateien reserviert"_s << u"A/Sub/"_s;
        QTest::newRow("group to the name of the backup copy")
            << u"B/"_s << u"Kopie von inhalt.ini"_s
            << u"Der Name \"Kopie von inhalt.ini\" ist für die Verbindungsdateien reserviert"_s << u"B/"_s;
        QTest::newRow("group to blanks") << u"A/"_s << u"   "_s << QString() << u"A/"_s;
        QTest::newRow("group to a free name") << u"A/"_s << u"C"_s << QString() << u"C/"_s;
        QTest::newRow("connection to a free name") << u"A/Web"_s << u"Neu"_s << QString() << u"A/Neu"_s;
        QTest::newRow("connection to a taken name") << u"A/Web"_s << u"mail"_s << QString() << u"A/Web"_s;
    }

    void labelEditing()
    {
        QFETCH(QString, node);
        QFETCH(QString, entered);
        QFETCH(QString, warning);
        QFETCH(QString, shownAfter);
        Open(TVerblist::Mode::Connect);
        Select(node);
        QPushButton *ok = Button(u"BitBtn1"_s);
        const bool connection = !node.endsWith(u'/');
        QCOMPARE(ok->isEnabled(), connection);

        Action(u"Umbenennen1"_s)->trigger();
        QLineEdit *editor = m_tree->viewport()->findChild<QLineEdit *>();
        QVERIFY(editor);
        QVERIFY(!ok->isEnabled());
        QString shownWarning;
        QString caption = u"-"_s;
        ModalAnswer<QMessageBox> answer([&](QMessageBox &box) {
            shownWarning = box.text();
            caption = box.windowTitle();
            QCOMPARE(box.icon(), QMessageBox::Warning);
            box.button(QMessageBox::Ok)->click();
        });
        editor->setText(entered);
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_VERIFY(Shown().contains(shownAfter));
        QTest::qWait(20);
        QCOMPARE(shownWarning, warning);
        if (!warning.isEmpty())
            QCOMPARE(caption, QString());
        QCOMPARE(ok->isEnabled(), connection);
        QVERIFY(OnDisk(shownAfter));
    }

    void newGroupIsNamedInPlace()
    {
        Open(TVerblist::Mode::Manage);
        Action(u"NeueGruppe1"_s)->trigger();
        QVERIFY(QFileInfo(m_root + u"/Neue Gruppe"_s).isDir());
        QLineEdit *editor = m_tree->viewport()->findChild<QLineEdit *>();
        QVERIFY(editor);
        editor->setText(u"Projekte"_s);
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_COMPARE(SelectedPath(), u"Projekte/"_s);
        QVERIFY(QFileInfo(m_root + u"/Projekte"_s).isDir());
        QVERIFY(!QFileInfo::exists(m_root + u"/Neue Gruppe"_s));
    }

    void contextMenuFollowsTheClickedNode_data()
    {
        QTest::addColumn<QString>("node");
        QTest::addColumn<bool>("connection");
        QTest::newRow("group") << u"B/"_s << false;
        QTest::newRow("connection") << u"Alpha"_s << true;
    }

    void contextMenuFollowsTheClickedNode()
    {
        QFETCH(QString, node);
        QFETCH(bool, connection);
        Open(TVerblist::Mode::Manage);
        Select(u"A/Web"_s);
        const QPoint at = m_tree->visualItemRect(Item(node)).center();
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, m_tree->viewport()->mapToGlobal(at));
        QApplication::sendEvent(m_tree->viewport(), &event);
        auto *menu = m_window->findChild<QMenu *>(u"PopupMenu1"_s);
        QTRY_VERIFY(menu->isVisible());
        QCOMPARE(SelectedPath(), node);
        QCOMPARE(Action(u"Bearbeiten2"_s)->isEnabled(), connection);
        QCOMPARE(Action(u"VerknpfungaufdemDesktoperstellen1"_s)->isEnabled(), connection);
        QVERIFY(Action(u"Entfernen2"_s)->isEnabled());
        QVERIFY(Action(u"Umbenennen1"_s)->isEnabled());
        QVERIFY(Action(u"Ausschneiden1"_s)->isEnabled());
        QVERIFY(!Action(u"Einfgen1"_s)->isEnabled());
        menu->hide();
    }

    void desktopShortcutWritesBothFiles()
    {
        Open(TVerblist::Mode::Manage);
        Select(u"B/Web"_s);
        Action(u"VerknpfungaufdemDesktoperstellen1"_s)->trigger();
        QFile connectionFile(m_dir->filePath(u"Links/Web.glimra"_s));
        QVERIFY(connectionFile.open(QIODevice::ReadOnly));
        QCOMPARE(connectionFile.readLine(), QByteArray("[Web]\r\n"));
        QFile launcher(m_dir->filePath(u"Desktop/Web.desktop"_s));
        QVERIFY(launcher.open(QIODevice::ReadOnly));
        QVERIFY(launcher.readAll().contains(QCoreApplication::applicationFilePath().toUtf8()));
        QCOMPARE(RememberedTreePosition(), int(Shown().indexOf(u"B/Web"_s)));
    }

private:
    void Put(const QString &relativePath, const QByteArray &bytes)
    {
        const QString path = m_root + u'/' + relativePath;
        QVERIFY(QDir().mkpath(QFileInfo(path).path()));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    // Drags the current item onto the target as the window system would.
    void DragAndDrop(QTreeWidgetItem *target)
    {
        const std::unique_ptr<QMimeData> data(m_tree->model()->mimeData({m_tree->currentIndex()}));
        const QPoint at = m_tree->visualItemRect(target).center();
        QDragEnterEvent enter(at, Qt::MoveAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(m_tree->viewport(), &enter);
        QVERIFY(enter.isAccepted());
        QDragMoveEvent move(at, Qt::MoveAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(m_tree->viewport(), &move);
        QVERIFY(move.isAccepted());
        QDropEvent drop(at, Qt::MoveAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(m_tree->viewport(), &drop);
    }

    // A group path ("A/Sub/") is a folder, a connection path ("A/Web") a
    // section in its group's inhalt.ini.
    bool OnDisk(const QString &path) const
    {
        if (path.endsWith(u'/'))
            return QFileInfo(m_root + u'/' + path).isDir();
        const qsizetype nameStart = path.lastIndexOf(u'/') + 1;
        return TIniFile(m_root + u'/' + path.left(nameStart) + u"inhalt.ini"_s)
            .SectionExists(path.mid(nameStart));
    }

    void Open(TVerblist::Mode mode)
    {
        m_window->SetMode(mode);
        m_window->show();
        m_window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    }

    static QString PathOf(const QTreeWidgetItem *item)
    {
        QString path = item->text(0);
        for (const QTreeWidgetItem *parent = item->parent(); parent; parent = parent->parent())
            path.prepend(parent->text(0) + u'/');
        return path;
    }

    // Every node top-down; groups end with "/".
    QStringList Shown() const
    {
        QStringList paths;
        const auto walk = [&](QTreeWidgetItem *parent, QString prefix, const auto &self) -> void {
            for (int i = 0; i < parent->childCount(); ++i) {
                QTreeWidgetItem *item = parent->child(i);
                const bool group = QFileInfo(m_root + u'/' + prefix + item->text(0)).isDir();
                paths.append(prefix + item->text(0) + (group ? u"/"_s : QString()));
                if (group)
                    self(item, prefix + item->text(0) + u'/', self);
            }
        };
        walk(m_tree->invisibleRootItem(), QString(), walk);
        return paths;
    }

    QTreeWidgetItem *Item(const QString &path) const
    {
        const QStringList names = path.split(u'/', Qt::SkipEmptyParts);
        QTreeWidgetItem *item = m_tree->invisibleRootItem();
        for (const QString &name : names) {
            QTreeWidgetItem *next = nullptr;
            for (int i = 0; i < item->childCount() && !next; ++i) {
                if (item->child(i)->text(0) == name)
                    next = item->child(i);
            }
            if (!next)
                qFatal("no node %s", qPrintable(path));
            item = next;
        }
        return item;
    }

    QString SelectedPath() const
    {
        const QList<QTreeWidgetItem *> selected = m_tree->selectedItems();
        if (selected.isEmpty())
            return QString();
        const QString path = PathOf(selected.constFirst());
        return QFileInfo(m_root + u'/' + path).isDir() ? path + u'/' : path;
    }

    void Select(const QString &path)
    {
        QTreeWidgetItem *item = Item(path);
        for (QTreeWidgetItem *parent = item->parent(); parent; parent = parent->parent())
            parent->setExpanded(true);
        m_tree->setCurrentItem(item);
    }

    // What the window system delivers: press, release, double-click, release.
    void DoubleClick(const QString &path)
    {
        const QPoint at = m_tree->visualItemRect(Item(path)).center();
        QTest::mouseClick(m_tree->viewport(), Qt::LeftButton, Qt::NoModifier, at);
        QTest::mouseDClick(m_tree->viewport(), Qt::LeftButton, Qt::NoModifier, at);
        QTest::mouseRelease(m_tree->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    }

    QPushButton *Button(const QString &name) const { return m_window->findChild<QPushButton *>(name); }

    QAction *Action(const QString &name) const
    {
        auto *action = m_window->findChild<QAction *>(name);
        if (!action)
            qFatal("no action %s", qPrintable(name));
        return action;
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_root;
    std::unique_ptr<TIdFTP> m_session;
    std::unique_ptr<TVerblist> m_window;
    QTreeWidget *m_tree = nullptr;
};

QTEST_MAIN(VerblistTest)
#include "test_verblist.moc"
