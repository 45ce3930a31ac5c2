// Draws the pictures of the README on a real X display (Xvfb): the main
// window connected to the demo server, the connection manager, the remote
// folder tree, the thumbnail window, the prompt before saving a picture over
// an existing one, the search options and results, the connection list
// update asking about an entry, the properties of an SFTP connection, the
// question about a server certificate that changed and the one about an
// unknown SSH host key. scripts/screenshots.sh prepares the home, the demo
// server, a web server with a sample list and the display, then runs this
// program.
//
//   glimra_screenshots FOLDER LIST_URL

#include "connectiontreestore.h"
#include "connectiontreeview.h"
#include "datafolders.h"
#include "listupdate.h"
#include "locallistview.h"
#include "localpane.h"
#include "maintoolbar.h"
#include "modalanswer.h"
#include "programstart.h"
#include "remotebrowser.h"
#include "remotepane.h"
#include "search.h"
#include "sessioncontrol.h"
#include "sessionhost.h"
#include "slideshow.h"
#include "tcertfkdlg1.h"
#include "teeinfdlg.h"
#include "tftpqvx.h"
#include "tinifile.h"
#include "tpagesdlg.h"
#include "tpmultiimage.h"
#include "transfers.h"
#include "tsuchergdlg.h"
#include "tsuchwahldlg.h"
#include "tthumbfromfileform.h"
#include "ttreedlg1.h"
#include "tueberschrdlg.h"
#include "tupdatedlg.h"
#include "tverblist.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTemporaryDir>
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

// The properties of an SFTP connection, saved only now so that the other
// pictures do not show it: no passive mode, no TLS and proxy pages, a key
// file instead.
bool ShowSftpProperties(QWidget &window, const QString &fileName)
{
    ConnectionProfile sftp;
    sftp.Protokoll = FileProtocol::Sftp;
    sftp.FTP_Server = u"webspace.beispiel.de"_s;
    sftp.FTP_Port = u"22"_s;
    sftp.FTP_User = u"anna"_s;
    sftp.FTPOrdner = u"/var/www"_s;
    sftp.SSH_KeyFile = QDir::home().filePath(u".ssh/id_ed25519"_s);
    sftp.SSH_KeyPassask = true;
    ConnectionTreeStore(DataFolders().TreeFolder())
        .SaveConnection(u"Arbeit"_s, QString(), u"Webspace"_s, sftp);
    TPagesDlg dialog(&window);
    dialog.SetTreeFolder(DataFolders().TreeFolder());
    dialog.SetConnection(u"Webspace"_s, u"Arbeit/"_s);
    dialog.show();
    const bool saved = QTest::qWaitForWindowExposed(&dialog) && SaveScreen(dialog, fileName);
    dialog.reject();
    return saved;
}

// A server that was accepted with one self-signed certificate shows another.
bool ShowChangedCertificate(QWidget &window, const QString &fileName)
{
    ServerCertificateInfo certificate;
    certificate.issuer = u"/C=DE/O=Beispiel GmbH/CN=ftp.beispiel.de"_s;
    certificate.subject = certificate.issuer;
    certificate.verifyError = u"Das Zertifikat ist selbst signiert."_s;
    certificate.fingerprint = u"3F:A2:91:0C:5E:77:B4:18:D2:6A:E0:4C:9B:31:F5:82:"
                              u"07:C9:6D:AE:12:58:F3:40:BB:1D:86:E5:2A:7C:94:D1"_s;
    certificate.notBefore = QDateTime(QDate(2026, 11, 2), QTime(9, 14, 5), Qt::UTC);
    certificate.notAfter = QDateTime(QDate(2027, 11, 2), QTime(9, 14, 5), Qt::UTC);
    certificate.rememberedFingerprint = u"A1:5B:E2:40:9C:13:7F:D8:62:0E:B7:4A:C5:91:2D:F6:"
                                        u"88:3C:D0:1E:7B:A9:54:E3:06:CF:42:9D:B1:65:28:7A"_s;
    TCertfkDlg1 question(&window);
    bool saved = false;
    ModalAnswer<TCertfkDlg1> answer([&](TCertfkDlg1 &shown) {
        saved = QTest::qWaitForWindowExposed(&shown) && SaveScreen(shown, fileName);
        shown.CancelBtn->click();
    });
    question.Ask(certificate);
    return saved;
}

// The first connect to an SSH server whose key is not yet known.
bool ShowHostKeyQuestion(TFTPqvx &window, const QString &fileName)
{
    HostKeyInfo key;
    key.host = u"webspace.beispiel.de"_s;
    key.keyType = u"ssh-ed25519"_s;
    key.fingerprint = u"SHA256:q3W8n1ZkV0hE5rJtYc2uLxP9aGfD7sM4bN6oKiQeT1A"_s;
    bool saved = false;
    ModalAnswer<QMessageBox> answer([&](QMessageBox &shown) {
        saved = QTest::qWaitForWindowExposed(&shown) && SaveScreen(shown, fileName);
        shown.reject();
    });
    const bool refused = window.AskHostKey(key) == HostKeyAnswer::Refuse;
    return saved && refused && answer.Answered() == 1;
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

// The search options for pictures and documents on the demo server, on the
// page that shows the patterns; then the search itself and its results.
bool ShowSearch(TFTPqvx &window, const QDir &folder)
{
    bool done = true;
    ModalAnswer<TSuchwahlDlg> options([&](TSuchwahlDlg &dialog) {
        const auto demo = dialog.TreeView1->findItems(u"Demo"_s, Qt::MatchExactly | Qt::MatchRecursive);
        if (!demo.isEmpty())
            demo.first()->setSelected(true);
        dialog.CheckBox7->click();
        dialog.CheckBox10->click();
        dialog.PageControl1->setCurrentIndex(2);
        done = QTest::qWaitForWindowExposed(&dialog) &&
               SaveScreen(dialog, folder.filePath(u"search-options.png"_s)) && !demo.isEmpty();
        dialog.OKBtn->click();
    });
    ModalAnswer<QMessageBox> finished([](QMessageBox &box) { box.accept(); });
    window.ToolBar()->NeueSuche1->trigger();
    TSuchergDlg *results = Search::Of(window)->Results();
    results->resize(900, 420);
    return done && finished.Answered() == 1 && SaveScreen(*results, folder.filePath(u"search-results.png"_s));
}

// The demo's "Bilder" folder in the thumbnail window.
bool ShowThumbnails(TFTPqvx &window, const QString &fileName)
{
    window.Browser()->ChangeRemoteFolder(u"Bilder"_s);
    window.ToolBar()->SpeedButton20->click();
    TThumbFromFileForm *thumbnails = Slideshow::Of(window)->ThumbnailWindow();
    const bool loaded = thumbnails && QTest::qWaitFor([thumbnails] { return !thumbnails->Loading(); }, 20000);
    return loaded && SaveScreen(*thumbnails, fileName);
}

// Saving a picture of the gallery into a folder that has one of that name.
bool ShowSavePrompt(TFTPqvx &window, const QString &fileName)
{
    const QString picture = window.Folders().ImagesFolder() + u"Ringe.png"_s;
    QTemporaryDir target;
    const QString existing = target.filePath(u"Ringe.png"_s);
    if (!QFile::copy(window.Folders().ImagesFolder() + u"Sonnenuntergang.png"_s, existing))
        return false;
    TueberschrDlg prompt(&window);
    bool saved = false;
    ModalAnswer<TueberschrDlg> answer([&](TueberschrDlg &shown) {
        const bool previews = QTest::qWaitFor(
            [&] { return shown.PMultiImage1->IsLoaded() && shown.PMultiImage2->IsLoaded(); }, 5000);
        saved = previews && SaveScreen(shown, fileName);
        shown.Button1->click();
    });
    prompt.Ask(existing, picture, u"Ringe_1.png"_s);
    return saved;
}

// Starts the update from the sample list with local firewall settings and
// takes the picture while the first entry is offered; "Abbrechen" in the
// prompt then ends the run without adding anything.
bool ShowListUpdate(TFTPqvx &window, const QString &listUrl, const QString &fileName)
{
    {
        TIniFile settings(window.Folders().SettingsFile());
        settings.WriteString(u"StartUp"_s, u"Update_URL"_s, listUrl);
    }
    bool saved = false;
    ModalAnswer<TUpdateDlg> start([](TUpdateDlg &dialog) {
        dialog.CheckBox2->setChecked(true);
        dialog.Edit6->setText(u"firewall.intern"_s);
        dialog.Edit7->setText(u"21"_s);
        dialog.ComboBox1->setCurrentIndex(1);
        QMetaObject::invokeMethod(dialog.OKBtn, &QPushButton::click, Qt::QueuedConnection);
    });
    ModalAnswer<TeeinfDlg> prompt([&](TeeinfDlg &question) {
        TUpdateDlg *dialog = ListUpdate::Of(window)->UpdateWindow();
        saved = QTest::qWaitForWindowExposed(&question) && SaveScreen(*dialog, fileName);
        question.CancelBtn->click();
    });
    // Nothing was added, which the window then says.
    ModalAnswer<QMessageBox> nothingNew([](QMessageBox &box) { box.accept(); });
    window.ToolBar()->SpeedButton19->click();
    return saved && start.Answered() == 1;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: glimra_screenshots FOLDER LIST_URL\n");
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    InstallGermanLanguage(application);
    InstallDialogTitleRoom(application);
    InstallUserInterfacePump();

    TFTPqvx window;
    InstallSlideshow(window.Parts());
    SaveSampleConnections();
    window.CreateDialogs();
    InstallTransfers(window.Parts());
    InstallSearch(window.Parts());
    InstallListUpdate(window.Parts());
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
        done = done && pick.Answered() == 1 && window.Main().Connection.LoggedIn();
    }
    done = done && SaveScreen(window, folder.filePath(u"main-window.png"_s));
    done = done && ShowFolderTree(window, folder.filePath(u"folder-tree.png"_s));
    window.Browser()->CloseFolderTree();
    done = done && ShowThumbnails(window, folder.filePath(u"thumbnails.png"_s));
    done = done && ShowSavePrompt(window, folder.filePath(u"save-prompt.png"_s));
    done = done && ShowSearch(window, folder);
    done = done && ShowSftpProperties(window, folder.filePath(u"sftp-properties.png"_s));
    done = done && ShowChangedCertificate(window, folder.filePath(u"certificate-changed.png"_s));
    done = done && ShowHostKeyQuestion(window, folder.filePath(u"host-key-question.png"_s));
    window.Session()->Disconnect();
    done = done &&
           ShowListUpdate(window, QString::fromLocal8Bit(argv[2]), folder.filePath(u"update-window.png"_s));
    return done ? 0 : 1;
}
