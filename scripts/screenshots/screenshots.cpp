// Draws the pictures of the README on a real X display (Xvfb): the main
// window connected to the demo server, the connection manager and the
// remote folder tree. scripts/screenshots.sh prepares the home, the demo
// server and the display, then runs this program.
//
//   glimra_screenshots FOLDER

#include "connectiontreestore.h"
#include "datafolders.h"
#include "locallistview.h"
#include "localpane.h"
#include "modalanswer.h"
#include "programstart.h"
#include "remotebrowser.h"
#include "remotepane.h"
#include "sessioncontrol.h"
#include "tftpqvx.h"
#include "ttreedlg1.h"
#include "tverblist.h"

#include <QApplication>
#include <QDir>
#include <QGuiApplication>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

// What the display shows inside the window's frame, after the pending paints.
bool SaveScreen(const QWidget &window, const QString &fileName)
{
    QTest::qWait(400);
    const QRect area = window.frameGeometry();
    const QPixmap picture =
        QGuiApplication::primaryScreen()->grabWindow(0, area.x(), area.y(), area.width(), area.height());
    const bool saved = picture.save(fileName);
    std::fprintf(stderr, "%s %s\n", saved ? "saved" : "could not save", qPrintable(fileName));
    return saved;
}

// A few saved servers in groups beside "Demo", as a user's tree looks.
void SaveSampleConnections()
{
    const QString treeFolder = DataFolders().TreeFolder();
    const ConnectionTreeStore store(treeFolder);
    const struct {
        const char16_t *group;
        const char16_t *name;
        const char16_t *host;
    } samples[] = {{u"Arbeit", u"Webseite", u"ftp.beispiel.de"},
                   {u"Arbeit", u"Kundenarchiv", u"archiv.beispiel.de"},
                   {u"Arbeit/Lieferanten", u"Druckerei", u"ftp.druckerei.example"},
                   {u"Öffentlich", u"Debian-Spiegel", u"ftp.de.debian.org"}};
    for (const auto &sample : samples) {
        const QString group = QString::fromUtf16(sample.group);
        QDir(treeFolder).mkpath(group);
        ConnectionProfile profile;
        profile.FTP_Server = QString::fromUtf16(sample.host);
        profile.FTP_User = u"anonymous"_s;
        store.SaveConnection(group, QString(), QString::fromUtf16(sample.name), profile);
    }
}

bool PickInManager(TVerblist &manager, const QString &connection, const QString &fileName)
{
    auto *tree = manager.findChild<QTreeWidget *>(u"TreeView1"_s);
    const QList<QTreeWidgetItem *> items = tree->findItems(connection, Qt::MatchExactly | Qt::MatchRecursive);
    if (items.isEmpty())
        return false;
    tree->expandAll();
    tree->setCurrentItem(items.first());
    const bool saved = QTest::qWaitForWindowExposed(&manager) && SaveScreen(manager, fileName);
    manager.findChild<QPushButton *>(u"BitBtn1"_s)->click();
    return saved;
}

bool ShowFolderTree(TFTPqvx &window, const QString &fileName)
{
    window.Remote()->FolderTreeButton->click();
    TTreeDlg1 *tree = window.Browser()->FolderTree();
    const bool built = QTest::qWaitFor(
        [tree] {
            return tree->isVisible() && tree->TreeView1->topLevelItemCount() > 0 && !tree->IsBuilding();
        },
        20000);
    if (!built)
        return false;
    tree->TreeView1->expandAll();
    return SaveScreen(*tree, fileName);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: glimra_screenshots FOLDER\n");
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    InstallGermanLanguage(application);
    InstallDialogTitleRoom(application);
    InstallUserInterfacePump();

    TFTPqvx window;
    SaveSampleConnections();
    window.CreateDialogs();
    window.setGeometry(QGuiApplication::primaryScreen()->availableGeometry());
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return 1;
    window.Local()->List->SetFolder(QDir::homePath());

    bool done = true;
    {
        ModalAnswer<TVerblist> pick([&](TVerblist &manager) {
            done = PickInManager(manager, u"Demo"_s, folder.filePath(u"connection-manager.png"_s)) && done;
        });
        window.Session()->Connect();
        done = done && pick.Answered() == 1 && window.IdFTP1.LoggedIn();
    }
    done = done && SaveScreen(window, folder.filePath(u"main-window.png"_s));
    done = done && ShowFolderTree(window, folder.filePath(u"folder-tree.png"_s));
    window.Session()->Disconnect();
    return done ? 0 : 1;
}
