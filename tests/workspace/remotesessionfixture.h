#pragma once

// The main window on a temporary home, with its main session logged in to
// a real server on 127.0.0.1: what the remote pane, the local pane and the
// folder tree tests share. Header only; each test includes it once.

#include "datetext.h"
#include "enginetesthelpers.h"
#include "programstart.h"
#include "realftpserver.h"
#include "remotebrowser.h"
#include "remotelistmodel.h"
#include "remotelistview.h"
#include "sessionlogview.h"
#include "tftpqvx.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCoreApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include <fcntl.h>
#include <sys/stat.h>

#include <memory>

class RemoteSessionFixture {
public:
    // Once per test program: German texts and the pump that keeps the
    // window running while the session waits, as the program has them.
    static void InstallProgramServices()
    {
        InstallGermanLanguage(*QCoreApplication::instance());
        InstallUserInterfacePump();
    }

    // A fresh home with the data folders under it, and a shown window.
    TFTPqvx *OpenWindow()
    {
        m_home = std::make_unique<QTemporaryDir>();
        if (!m_home->isValid())
            return nullptr;
        qputenv("HOME", QFile::encodeName(m_home->path()));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home->filePath(QStringLiteral(".config"))));
        m_window = std::make_unique<TFTPqvx>();
        m_window->CreateDialogs();
        m_window->show();
        if (!QTest::qWaitForWindowExposed(m_window.get()))
            return nullptr;
        return m_window.get();
    }

    // The next run of the program: a new window over the same home.
    TFTPqvx *ReopenWindow()
    {
        if (m_window && m_window->Main().Connection.IsConnected())
            m_window->Main().Connection.CloseConnection();
        m_window.reset();
        m_window = std::make_unique<TFTPqvx>();
        m_window->CreateDialogs();
        m_window->show();
        if (!QTest::qWaitForWindowExposed(m_window.get()))
            return nullptr;
        WatchForHangs();
        return m_window.get();
    }

    // Logs the main session in and lists the server's first folder, as a
    // connect does, without the connection manager.
    void Connect(const RealFtpServer &server, bool useMlsd = true)
    {
        TIdFTP &session = m_window->Main().Connection;
        session.Host = server.host();
        session.Port = server.port();
        session.User = server.user();
        session.Password = server.password();
        session.Passive = true;
        session.MListart = useMlsd;
        session.UseNagle = false;
        // As a connect through the window does: a silent server ends the wait
        // with an error instead of holding the test until its time runs out.
        if (session.ReadTimeout == TIdTCPConnection::kWaitForever)
            session.ReadTimeout = kReplyWaitMs;
        // Listed times stay as the server gives them.
        session.TimeCorrection.DateTimeNo = true;
        session.ConnectAndLogin();
        session.ProbeFeatures(m_window->Main().Features);
        m_window->Browser()->RefreshRemoteList();
    }

    void Close()
    {
        if (m_window && m_window->Main().Connection.IsConnected())
            m_window->Main().Connection.CloseConnection();
        m_window.reset();
        m_home.reset();
    }

    TFTPqvx *Window() const { return m_window.get(); }
    QString Home() const { return m_home->path(); }

private:
    static constexpr int kReplyWaitMs = 30000;
    static constexpr int kHangReportMs = 90000;

    // A test that waits far longer than any should prints what the window
    // shows, the dialog in front and the session log, before its time runs out.
    void WatchForHangs()
    {
        m_hangReport = std::make_unique<QTimer>();
        m_hangReport->setSingleShot(true);
        QObject::connect(m_hangReport.get(), &QTimer::timeout, [this] {
            if (!m_window)
                return;
            qWarning().noquote() << "Still waiting after" << kHangReportMs / 1000 << "s. Dialog in front:"
                                 << (QApplication::activeModalWidget()
                                         ? QApplication::activeModalWidget()->metaObject()->className()
                                         : "none");
            for (const QWidget *widget : QApplication::topLevelWidgets())
                if (widget->isVisible() && widget != m_window.get())
                    qWarning().noquote()
                        << "  shown:" << widget->metaObject()->className() << widget->windowTitle();
            for (const QString &line : m_window->Log()->Lines())
                qWarning().noquote() << "  log:" << line;
        });
        m_hangReport->start(kHangReportMs);
    }

    std::unique_ptr<QTemporaryDir> m_home;
    std::unique_ptr<TFTPqvx> m_window;
    std::unique_ptr<QTimer> m_hangReport;
};

// --- reading and driving the remote list ---------------------------------

inline QStringList Captions(const RemoteListView *list)
{
    QStringList captions;
    for (int row = 0; row < list->RowCount(); ++row)
        captions.append(list->Row(row).name);
    return captions;
}

inline int RowNamed(const RemoteListView *list, const QString &caption)
{
    return list->Rows()->FindCaption(caption);
}

inline void SelectCaptions(RemoteListView *list, const QStringList &captions)
{
    list->ClearSelection();
    for (const QString &caption : captions) {
        const QModelIndex index = list->Rows()->index(RowNamed(list, caption), 0);
        list->SelectionModel()->select(index, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
}

inline QStringList SelectedCaptions(const RemoteListView *list)
{
    QStringList captions;
    for (int row : list->SelectedRows())
        captions.append(list->Row(row).name);
    return captions;
}

// A double-click on the row in the details view, as the user makes it.
inline void DoubleClickRow(RemoteListView *list, int row)
{
    QTreeView *view = list->DetailsView();
    const QRect cell = view->visualRect(list->Rows()->index(row, 0));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, cell.center());
}

inline void ClickHeader(RemoteListView *list, int column)
{
    QHeaderView *header = list->DetailsView()->header();
    const int x = header->sectionViewportPosition(column) + header->sectionSize(column) / 2;
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
}

// The caption editor a view has open, or nullptr.
inline QLineEdit *OpenEditor(const QAbstractItemView *view)
{
    for (QLineEdit *editor : view->viewport()->findChildren<QLineEdit *>()) {
        if (editor->isVisible())
            return editor;
    }
    return nullptr;
}

// Sets a file's or folder's modification time (a link's own with noFollow).
inline bool SetModified(const QString &path, const QDateTime &time, bool noFollow = false)
{
    timespec times[2];
    times[0].tv_sec = times[1].tv_sec = time.toSecsSinceEpoch();
    times[0].tv_nsec = times[1].tv_nsec = 0;
    return ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times,
                       noFollow ? AT_SYMLINK_NOFOLLOW : 0) == 0;
}

inline bool MakeSymlink(const QString &target, const QString &linkPath)
{
    return ::symlink(QFile::encodeName(target).constData(), QFile::encodeName(linkPath).constData()) == 0;
}

// The date text a listed UTC time shows without time correction.
inline QString ListedDateText(const QDateTime &utc)
{
    const QDateTime time = utc.toUTC();
    return FormatDateText(DateTimeParts{time.date().year(), time.date().month(), time.date().day(),
                                        time.time().hour(), time.time().minute(), time.time().second()});
}

// A recent time to the minute: within half a year servers list the time of
// day, so LIST and MLSD show the same instant.
inline QDateTime RecentMinute(int daysAgo, int minutes = 0)
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const QDateTime day(now.date().addDays(-daysAgo), QTime(10, 0), Qt::UTC);
    return day.addSecs(60 * minutes);
}
