#include "freeport.h"
#include "httplistserver.h"
#include "listdownload.h"
#include "selfsignedcertificate.h"
#include "tidlogdebug.h"
#include "tinyproxyserver.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QLocale>
#include <QRegularExpression>
#include <QSslConfiguration>
#include <QTest>
#include <QTimer>
#include <QUrl>

using namespace Qt::StringLiterals;
using Outcome = ListDownload::Outcome;

Q_DECLARE_METATYPE(ListDownload::Outcome)

namespace {

const QByteArray kList = "[ORNA FTP Glimra Tessaline FTP Ferbindungsliste Update]\r\n\r\n"
                         "[Debian]\r\nGruppe=Linux\r\nFTP_Server=ftp.de.debian.org\r\n";
const QString kProxyUser = u"glimra"_s;
const QString kProxyPassword = u"proxy-geheim"_s;

} // namespace

class ListDownloadTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        QString error;
        QVERIFY2(m_server.start(&error), qPrintable(error));
        QVERIFY(m_server.addFile(u"updates/FTPAdressen.txt"_s, kList));
        QVERIFY(m_server.addFile(u"empty.txt"_s, {}));
        QVERIFY2(m_proxy.start(&error), qPrintable(error));
    }

    // What the GET asks for and what it brings home, directly and through
    // the proxy, and how each failure is told apart.
    void fetchesTheList_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("proxyLogin"); // "user:password"; empty: no proxy
        QTest::addColumn<ListDownload::Outcome>("outcome");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QByteArray>("body");
        const QString login = kProxyUser + u':' + kProxyPassword;
        QTest::newRow("direct") << u"updates/FTPAdressen.txt"_s << QString() << Outcome::Complete << QString()
                                << kList;
        QTest::newRow("empty body") << u"empty.txt"_s << QString() << Outcome::Complete << QString()
                                    << QByteArray();
        QTest::newRow("missing file")
            << u"nichts.txt"_s << QString() << Outcome::Failed << u"404 File not found"_s << QByteArray();
        QTest::newRow("through the proxy")
            << u"updates/FTPAdressen.txt"_s << login << Outcome::Complete << QString() << kList;
        QTest::newRow("wrong proxy password") << u"updates/FTPAdressen.txt"_s << kProxyUser + u":falsch"_s
                                              << Outcome::Failed << u"401 Unauthorized"_s << QByteArray();
        QTest::newRow("no proxy login") << u"updates/FTPAdressen.txt"_s << u":"_s << Outcome::Failed
                                        << u"407 Proxy Authentication Required"_s << QByteArray();
    }

    void fetchesTheList()
    {
        QFETCH(QString, path);
        QFETCH(QString, proxyLogin);
        QFETCH(ListDownload::Outcome, outcome);
        QFETCH(QString, error);
        QFETCH(QByteArray, body);
        HttpProxy proxy;
        if (!proxyLogin.isEmpty()) {
            proxy.host = u"127.0.0.1"_s;
            proxy.port = quint16(m_proxy.port());
            proxy.user = proxyLogin.section(u':', 0, 0);
            proxy.password = proxyLogin.section(u':', 1);
        }
        const qsizetype requestsBefore = m_server.transcript().count(u"GET "_s);

        const ListDownload::Result result = Fetch(m_server.url(path), proxy);
        QCOMPARE(result.outcome, outcome);
        QCOMPARE(result.error, error);
        if (outcome == Outcome::Complete)
            QCOMPARE(m_body.data(), body);
        // Only what got past the proxy reached the server.
        const bool reached = outcome == Outcome::Complete || error.startsWith(u"404"_s);
        QCOMPARE(m_server.transcript().count(u"GET "_s), requestsBefore + (reached ? 1 : 0));
        if (reached) {
            const QString request = m_server.transcript().section(u"GET "_s, -1);
            QVERIFY2(request.contains(u"\nAccept: text/html, */*\n"_s), qPrintable(request));
            QVERIFY2(request.contains(u"\nUser-Agent: Mozilla/3.0 (compatible; FTP Glimra Update)\n"_s),
                     qPrintable(request));
        }
        if (!proxyLogin.isEmpty())
            QVERIFY2(m_proxy.log().contains(m_server.url(path)), qPrintable(m_proxy.log()));
    }

    void tellsMissingServersFromErrors_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("throughProxy");
        QTest::newRow("nobody listens")
            << u"http://127.0.0.1:%1/updates/FTPAdressen.txt"_s.arg(FreeLocalPort()) << false;
        QTest::newRow("no proxy listens") << u"http://127.0.0.1:1/updates/FTPAdressen.txt"_s << true;
    }

    void tellsMissingServersFromErrors()
    {
        QFETCH(QString, url);
        QFETCH(bool, throughProxy);
        HttpProxy proxy;
        if (throughProxy) {
            proxy.host = u"127.0.0.1"_s;
            proxy.port = quint16(FreeLocalPort());
        }
        const ListDownload::Result result = Fetch(url, proxy);
        QCOMPARE(result.outcome, Outcome::NoConnection);
        QCOMPARE(m_body.size(), 0);
    }

    // A server cannot fill the disk, whether it announces the size or not.
    void refusesOversizedLists_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("announced") << u"huge-announced"_s;
        QTest::newRow("not announced") << u"huge-unannounced"_s;
    }

    void refusesOversizedLists()
    {
        QFETCH(QString, path);
        const ListDownload::Result result = Fetch(m_server.url(path), {});
        QCOMPARE(result.outcome, Outcome::Failed);
        QVERIFY2(result.error.contains(u"größer als erlaubt"_s), qPrintable(result.error));
        QVERIFY(m_body.size() <= ListDownload::kMaxListBytes);
    }

    // Cancel from an event during a slow download closes the connection at
    // once; a second Cancel does no harm, and the object can fetch again.
    void cancelStopsASlowDownload()
    {
        QByteArray slowList = kList;
        for (int i = 0; i < 40; ++i)
            slowList += "[Eintrag " + QByteArray::number(i) + "]\r\nGruppe=Langsam\r\n";
        QVERIFY(m_server.addFile(u"slow.txt"_s, slowList));
        ListDownload download;
        bool cancelled = false;
        download.OnWork = [&](qint64 count) {
            if (count > 0 && !cancelled) {
                cancelled = true;
                QTimer::singleShot(0, &download, [&download] {
                    download.Cancel();
                    download.Cancel();
                });
            }
        };
        QElapsedTimer clock;
        clock.start();
        QBuffer body;
        body.open(QIODevice::WriteOnly);
        QCOMPARE(download.Get(QUrl(m_server.url(u"slow/slow.txt"_s)), {}, body).outcome, Outcome::Cancelled);
        QVERIFY2(clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(body.size() < slowList.size());
        QVERIFY(!download.IsRunning());

        QBuffer again;
        again.open(QIODevice::WriteOnly);
        QCOMPARE(download.Get(QUrl(m_server.url(u"updates/FTPAdressen.txt"_s)), {}, again).outcome,
                 Outcome::Complete);
        QCOMPARE(again.data(), kList);
    }

    // The traffic log: the request as sent, the reply's status and headers,
    // the body; each line stamped with the time; progress from the
    // announced size to the byte count.
    void logsTheTrafficAndProgress()
    {
        ListDownload download;
        download.Log().Active = true;
        download.Log().LogTime = true;
        download.Log().Target = ltNone;
        QStringList lines;
        download.Log().OnLogItem = [&lines](QString &line) { lines.append(line); };
        QList<qint64> progress;
        download.OnWorkBegin = [&progress](qint64 size) { progress.append(-size); };
        download.OnWork = [&progress](qint64 count) { progress.append(count); };
        QStringList statuses;
        download.OnStatus = [&statuses](const QString &text) { statuses.append(text); };
        QBuffer body;
        body.open(QIODevice::WriteOnly);
        QCOMPARE(download.Get(QUrl(m_server.url(u"updates/FTPAdressen.txt"_s)), {}, body).outcome,
                 Outcome::Complete);

        QCOMPARE(lines.size(), 4);
        const QRegularExpression stamp(uR"(^\d{2}\.\d{2}\.\d{4} \d{2}:\d{2}:\d{2}: )"_s);
        for (const QString &line : std::as_const(lines))
            QVERIFY2(stamp.match(line).hasMatch(), qPrintable(line));
        const QString request =
            u"Gesendet: GET /updates/FTPAdressen.txt HTTP/1.1<EOL>Host: 127.0.0.1:%1<EOL>"_s;
        QVERIFY2(lines[0].contains(request.arg(m_server.port())), qPrintable(lines[0]));
        QVERIFY2(lines[1].contains(u"Erh.: 200 OK<EOL>"_s), qPrintable(lines[1]));
        QVERIFY2(lines[1].contains(u"Content-Length: %1<EOL>"_s.arg(kList.size())), qPrintable(lines[1]));
        QVERIFY2(lines[2].endsWith(u"Erh.: "_s + QString::fromLatin1(kList).replace(u"\r\n"_s, u"<EOL>"_s)),
                 qPrintable(lines[2]));
        QVERIFY2(lines[3].endsWith(u"Verbindung aufgehoben."_s), qPrintable(lines[3]));
        QCOMPARE(progress.first(), -kList.size());
        QCOMPARE(progress.last(), kList.size());
        QVERIFY2(statuses.contains(u"200 OK"_s), qPrintable(statuses.join(u" | "_s)));
    }

    // https works with the system's certificate check: a certificate that
    // nobody vouches for stops the download before the request is sent;
    // trusted, the same server delivers.
    void httpsChecksTheCertificate()
    {
        HttpListServer server(true);
        QString error;
        QVERIFY2(server.start(&error), qPrintable(error));
        QVERIFY(server.addFile(u"updates/FTPAdressen.txt"_s, kList));
        const QString url = server.url(u"updates/FTPAdressen.txt"_s);
        QVERIFY(url.startsWith(u"https://"_s));

        const ListDownload::Result refused = Fetch(url, {});
        QCOMPARE(refused.outcome, Outcome::Failed);
        QVERIFY2(refused.error.contains(u"SSL"_s), qPrintable(refused.error));
        QVERIFY(!server.transcript().contains(u"GET "_s));

        const QSslConfiguration original = QSslConfiguration::defaultConfiguration();
        QSslConfiguration trusting = original;
        trusting.addCaCertificates(SelfSignedCertificate::get(nullptr)->certificateFile);
        QSslConfiguration::setDefaultConfiguration(trusting);
        const ListDownload::Result delivered = Fetch(url, {});
        QSslConfiguration::setDefaultConfiguration(original);
        QVERIFY2(delivered.outcome == Outcome::Complete, qPrintable(delivered.error));
        QCOMPARE(m_body.data(), kList);
    }

private:
    ListDownload::Result Fetch(const QString &url, const HttpProxy &proxy)
    {
        ListDownload download;
        m_body.close();
        m_body.setData(QByteArray());
        m_body.open(QIODevice::WriteOnly);
        return download.Get(QUrl(url), proxy, m_body);
    }

    HttpListServer m_server;
    TinyProxyServer m_proxy{kProxyUser, kProxyPassword};
    QBuffer m_body;
};

QTEST_GUILESS_MAIN(ListDownloadTest)
#include "test_listdownload.moc"
