#include "activityindicator.h"
#include "enginetesthelpers.h"
#include "maintoolbar.h"
#include "sessioncontrol.h"
#include "sessionwindow.h"
#include "statuspanels.h"
#include "transferprogress.h"

#include <QProgressBar>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

constexpr qint64 kGiB = 1024LL * 1024 * 1024;

} // namespace

class ProgressTest : public QObject {
    Q_OBJECT

private:
    SessionWindow m_fixture;
    TFTPqvx *m_window = nullptr;
    qint64 m_now = 1000;

    TransferProgress &Progress() { return m_window->Session()->Progress(); }
    QString Panel1() const { return m_window->Status()->PanelText(1); }
    double BarFraction() const
    {
        const QProgressBar *bar = m_window->Progress();
        return double(bar->value() - bar->minimum()) / double(bar->maximum() - bar->minimum());
    }

private slots:
    void initTestCase() { SessionWindow::InstallProgramServices(); }

    void init()
    {
        QVERIFY(m_fixture.PrepareHome());
        m_window = m_fixture.Open();
        QVERIFY(m_window);
        m_now = 1000;
        Progress().SetClock([this] { return m_now; });
    }

    void cleanup()
    {
        m_fixture.Close();
        m_window = nullptr;
    }

    void speedAndCountsAreShown_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<qint64>("countMax");
        QTest::addColumn<qint64>("expectedSize");
        QTest::addColumn<int>("elapsed");
        QTest::addColumn<qint64>("count");
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("bar");
        QTest::newRow("2048 bytes in one second") << int(wmRead) << 2048LL << 0LL << 1000 << 2048LL
                                                  << u"Download speed 2,00 KB/s  2048 von 2048 Byte"_s << 1.0;
        QTest::newRow("upload half done") << int(wmWrite) << 4096LL << 0LL << 500 << 2048LL
                                          << u"Uploade speed 4,00 KB/s  2048 von 4096 Byte"_s << 0.5;
        QTest::newRow("size unknown: a full bar, no counts")
            << int(wmRead) << 0LL << 0LL << 1000 << 5000LL << u"Download speed 4,88 KB/s"_s << 1.0;
        QTest::newRow("size known to the command")
            << int(wmRead) << 0LL << 10240LL << 2000 << 1024LL
            << u"Download speed 0,50 KB/s  1024 von 10240 Byte"_s << 0.1;
        QTest::newRow("first event in the same millisecond")
            << int(wmRead) << 2048LL << 0LL << 0 << 1024LL
            << u"Download speed Not detectable  1024 von 2048 Byte"_s << 0.5;
        QTest::newRow("3 GiB upload, no group separator")
            << int(wmWrite) << 3 * kGiB << 0LL << 1000 << 3 * kGiB / 2
            << u"Uploade speed 1572864,00 KB/s  1610612736 von 3221225472 Byte"_s << 0.5;
    }

    void speedAndCountsAreShown()
    {
        QFETCH(int, mode);
        QFETCH(qint64, countMax);
        QFETCH(qint64, expectedSize);
        QFETCH(int, elapsed);
        QFETCH(qint64, count);
        QFETCH(QString, text);
        QFETCH(double, bar);
        const auto workMode = TWorkMode(mode);
        m_window->Main().Flags.ExpectedSize = expectedSize;

        Progress().WorkBegin(workMode, countMax);
        QVERIFY(m_window->Main().Flags.TransferActive);
        QCOMPARE(Panel1(), workMode == wmRead ? u"Download beginnt..."_s : u"Uploade beginnt..."_s);
        QCOMPARE(m_window->Progress()->value(), 0);

        m_now += elapsed;
        Progress().Work(workMode, count);
        QCOMPARE(Panel1(), text);
        QVERIFY2(qAbs(BarFraction() - bar) < 0.001, qPrintable(QString::number(BarFraction())));

        Progress().WorkEnd(workMode);
        QCOMPARE(Panel1(), u"Transfer complete."_s);
        QVERIFY(!m_window->Main().Flags.TransferActive);
        QCOMPARE(m_window->Main().Flags.ExpectedSize, qint64(0));
        QCOMPARE(m_window->Progress()->value(), 0);
        QCOMPARE(Progress().Speed(), 0.0);
        // Without a connection the lamp stays off.
        QCOMPARE(m_window->ToolBar()->Indicator->Activity(), 0);
    }

    // Thousands of events a second must not each redraw the window.
    void theDisplayFollowsAtMostTwentyTimesASecond()
    {
        Progress().WorkBegin(wmRead, 1'000'000);
        m_now += 1;
        Progress().Work(wmRead, 1024);
        const QString first = Panel1();
        QVERIFY(first.endsWith(u"  1024 von 1000000 Byte"_s));
        for (int step = 1; step < 40; ++step) {
            m_now += 1;
            Progress().Work(wmRead, 1024 + step * 1024);
        }
        QCOMPARE(Panel1(), first);
        QVERIFY(Progress().Speed() > 0);
        m_now += 20;
        Progress().Work(wmRead, 500'000);
        QVERIFY2(Panel1().endsWith(u"  500000 von 1000000 Byte"_s), qPrintable(Panel1()));
        QVERIFY(qAbs(BarFraction() - 0.5) < 0.001);
    }

    void aListingEndsWithTransferComplete()
    {
        RealFtpServer server({});
        for (int file = 0; file < 50; ++file)
            QVERIFY(server.addFile(u"datei%1.txt"_s.arg(file), QByteArray(100, 'x')));
        START_OR_SKIP(server, RealFtpServer::Kind::Pyftpdlib);
        TIdFTP &ftp = m_window->Main().Connection;
        ftp.Host = server.host();
        ftp.Port = server.port();
        ftp.User = server.user();
        ftp.Password = server.password();
        ftp.Passive = true;
        QStringList lines;
        bool sawTransferActive = false;
        const TWorkEvent shown = ftp.OnWork;
        ftp.OnWork = [&](TIdTCPConnection *sender, TWorkMode mode, qint64 count) {
            sawTransferActive = sawTransferActive || m_window->Main().Flags.TransferActive;
            shown(sender, mode, count);
        };
        m_window->Main().RunCommand([&] {
            ftp.ConnectAndLogin();
            ftp.List(lines);
        });
        QCOMPARE(lines.size(), 50);
        QVERIFY(sawTransferActive);
        QCOMPARE(Panel1(), u"Transfer complete."_s);
        QVERIFY(!m_window->Main().Flags.TransferActive);
        QCOMPARE(m_window->Progress()->value(), 0);
        QCOMPARE(m_window->ToolBar()->Indicator->Activity(), 1);
    }
};

QTEST_MAIN(ProgressTest)
#include "test_progress.moc"
