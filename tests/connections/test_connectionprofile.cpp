#include "connectionprofile.h"
#include "tidftp.h"
#include "tinifile.h"

#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>

#include <ctime>

using namespace Qt::StringLiterals;

namespace {

QByteArray ReadBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Every key set to a value that differs from its default.
ConnectionProfile FullProfile()
{
    ConnectionProfile p;
    p.anonymous = true;
    p.FTP_Server = u" ftp.example.org "_s;
    p.FTP_Port = u"2121"_s;
    p.FTP_User = u" benutzer "_s;
    p.FTP_Pass = u" geheim"_s;
    p.FTP_Passive = true;
    p.Proxy_Use = true;
    p.Proxy_Server = u"proxy.lan"_s;
    p.Proxy_Port = u"8021"_s;
    p.FW_Use = true;
    p.FW_User = u"pu"_s;
    p.FW_Pass = u"Größe€"_s;
    p.FW_Art = 3;
    p.Socket_Use = true;
    p.Socket_Host = u"socks.lan"_s;
    p.Socket_Port = u"1081"_s;
    p.Socket_User = u"su"_s;
    p.Socket_Pass = u"a"_s;
    p.Timeout = 700;
    p.FTPOrdner = u"/pub"_s;
    p.LocalFolder = u"/home/u/Daten"_s;
    p.Log = false;
    p.Maxentry = 50;
    p.MLSD = true;
    p.DateTimeNo = true;
    p.DateTimeManuel = true;
    p.TimeDif = ManualTimeDifference(QDate(2024, 3, 9), QTime(1, 30, 45));
    p.TimeDifvz = u"+"_s;
    p.ssl = true;
    p.SSL_Explicit = true;
    p.RootCertificateFile = u"/ca.pem"_s;
    p.KeyFile = u"/key.pem"_s;
    p.CertificateFile = u"/cert.pem"_s;
    p.SSLPassword = u"Ωmega"_s;
    p.SSLPasswordask = true;
    p.SSLMethod = 3;
    p.SSLDepth = 4;
    p.SSLPeer = true;
    p.SSLPeerCert = true;
    p.SSLClientOnce = true;
    p.Comments = QStringList{u"erste Zeile"_s, u"zweite Zeile"_s};
    return p;
}

} // namespace

class ConnectionProfileTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        QVERIFY(m_dir.isValid());
    }

    void init()
    {
        m_path = m_dir.filePath(QString::fromLatin1(QTest::currentTestFunction()) + u".ini"_s);
        QFile::remove(m_path);
    }

    void cleanup()
    {
        qunsetenv("TZ");
        tzset();
    }

    void aProfileWithOnlyAServerGetsTheDefaults()
    {
        WriteFile("[Nur Server]\r\nFTP_Server=ftp.example.org\r\n");
        const auto profile = ConnectionProfile::Read(TIniFile(m_path), u"nur server"_s);
        QVERIFY(profile);
        TIdFTP session;
        const MainWindowValues values = profile->ApplyTo(session, ProfileReading::ConnectionManager);
        QCOMPARE(session.Host, u"ftp.example.org"_s);
        QCOMPARE(session.Port, 21);
        QVERIFY(!session.Passive);
        QVERIFY(!session.Gateway_Use);
        QCOMPARE(session.Gateway_Port, quint16(4421));
        QCOMPARE(session.SocksInfo.Port, 1080);
        QCOMPARE(session.SocksInfo.Authentication, saNoAuthentication);
        QVERIFY(!session.UseSSL);
        QCOMPARE(session.SSLMethod, 1);
        QCOMPARE(session.TimeCorrection.TimeDifvz, -1);
        QCOMPARE(session.TimeCorrection.TimeDif, QTime(0, 0));
        QVERIFY(values.Log);
        QCOMPARE(values.Maxentry, 1000);
        QCOMPARE(values.Timeout, 5000);
        QVERIFY(values.FTPOrdner.isEmpty() && values.LocalFolder.isEmpty());
        QVERIFY(IsFitToConnect(session));
    }

    void portsFallBackToTheirDefaults_data()
    {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<int>("port");
        QTest::addColumn<int>("proxyPort");
        QTest::addColumn<int>("socksPort");
        QTest::newRow("absent") << QByteArray() << 21 << 4421 << 1080;
        QTest::newRow("no numbers") << QByteArray("FTP_Port=ftp\r\nProxy_Port=abc\r\nSocket_Port=x1\r\n")
                                    << 21 << 4421 << 1080;
        QTest::newRow("with blanks") << QByteArray(
                                            "FTP_Port= 990\r\nProxy_Port= 8021 \r\nSocket_Port=1081 \r\n")
                                     << 990 << 8021 << 1081;
        QTest::newRow("proxy port beyond 16 bits")
            << QByteArray("Proxy_Port=70000\r\n") << 21 << 4421 << 1080;
    }

    void portsFallBackToTheirDefaults()
    {
        QFETCH(QByteArray, stored);
        QFETCH(int, port);
        QFETCH(int, proxyPort);
        QFETCH(int, socksPort);
        WriteFile("[P]\r\nFTP_Server=h\r\n" + stored);
        TIdFTP session;
        QVERIFY(ApplyProfile(TIniFile(m_path), u"P"_s, session, ProfileReading::ConnectionManager));
        QCOMPARE(session.Port, port);
        QCOMPARE(int(session.Gateway_Port), proxyPort);
        QCOMPARE(session.SocksInfo.Port, socksPort);
    }

    void timeDifferenceSign_data()
    {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<int>("sign");
        QTest::newRow("absent") << QByteArray() << -1;
        QTest::newRow("minus") << QByteArray("TimeDifvz=-\r\n") << -1;
        QTest::newRow("plus") << QByteArray("TimeDifvz=+\r\n") << 1;
        QTest::newRow("other text") << QByteArray("TimeDifvz=x\r\n") << 1;
    }

    void timeDifferenceSign()
    {
        QFETCH(QByteArray, stored);
        QFETCH(int, sign);
        WriteFile("[P]\r\nFTP_Server=h\r\nTimeDif=09.03.2024 02:15:00\r\n" + stored);
        TIdFTP session;
        QVERIFY(ApplyProfile(TIniFile(m_path), u"P"_s, session, ProfileReading::FoundByServer));
        QCOMPARE(session.TimeCorrection.TimeDifvz, sign);
        QCOMPARE(session.TimeCorrection.TimeDif, QTime(2, 15));
    }

    // The manual difference is stored as the time of day of a date. On the
    // day the local clock skips an hour that time may not exist locally; it
    // must still read back, and be written again as it was.
    void aManualTimeDifferenceIsADuration_data()
    {
        QTest::addColumn<QByteArray>("zone");
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<QTime>("difference");
        QTest::newRow("ordinary day")
            << QByteArray("Europe/Berlin") << QByteArray("09.03.2024 02:15:00") << QTime(2, 15);
        QTest::newRow("02:00 on the spring day")
            << QByteArray("Europe/Berlin") << QByteArray("31.03.2024 02:00:00") << QTime(2, 0);
        QTest::newRow("02:30 on the spring day")
            << QByteArray("Europe/Berlin") << QByteArray("31.03.2024 02:30:00") << QTime(2, 30);
        QTest::newRow("02:59 on the spring day")
            << QByteArray("Europe/Berlin") << QByteArray("31.03.2024 02:59:00") << QTime(2, 59);
        QTest::newRow("no difference where midnight is skipped")
            << QByteArray("America/Santiago") << QByteArray("08.09.2024") << QTime(0, 0);
        QTest::newRow("00:30 where midnight is skipped")
            << QByteArray("America/Santiago") << QByteArray("08.09.2024 00:30:00") << QTime(0, 30);
    }

    void aManualTimeDifferenceIsADuration()
    {
        QFETCH(QByteArray, zone);
        QFETCH(QByteArray, stored);
        QFETCH(QTime, difference);
        qputenv("TZ", zone);
        tzset();
        WriteFile("[P]\r\nFTP_Server=h\r\nDateTimeManuel=-1\r\nTimeDif=" + stored + "\r\n");
        TIdFTP session;
        QVERIFY(ApplyProfile(TIniFile(m_path), u"P"_s, session, ProfileReading::ConnectionManager));
        QCOMPARE(session.TimeCorrection.TimeDif, difference);

        const auto profile = ConnectionProfile::Read(TIniFile(m_path), u"P"_s);
        {
            TIniFile ini(m_path);
            QVERIFY(profile->Write(ini, u"Kopie"_s));
        }
        QCOMPARE(TIniFile(m_path).ReadString(u"Kopie"_s, u"TimeDif"_s, QString()),
                 QString::fromLatin1(stored));
    }

    void theReadingsFillTheSession_data()
    {
        QTest::addColumn<ProfileReading>("reading");
        QTest::addColumn<bool>("withSsl");
        QTest::addColumn<bool>("neverAsks");
        QTest::newRow("connection manager") << ProfileReading::ConnectionManager << true << false;
        QTest::newRow("connection file") << ProfileReading::ConnectionFile << false << false;
        QTest::newRow("found by server") << ProfileReading::FoundByServer << false << false;
        QTest::newRow("search") << ProfileReading::Search << true << true;
    }

    void theReadingsFillTheSession()
    {
        QFETCH(ProfileReading, reading);
        QFETCH(bool, withSsl);
        QFETCH(bool, neverAsks);
        {
            TIniFile ini(m_path);
            QVERIFY(FullProfile().Write(ini, u"Voll"_s));
        }
        TIdFTP session;
        session.isSearch = !neverAsks;
        session.UseSSL = true;
        session.SSLExplicit = true;
        const auto values = ApplyProfile(TIniFile(m_path), u"Voll"_s, session, reading);
        QVERIFY(values);

        QCOMPARE(session.Host, u"ftp.example.org"_s);
        QCOMPARE(session.Port, 2121);
        QCOMPARE(session.User, u"benutzer"_s);
        QCOMPARE(session.Password, u" geheim"_s);
        QVERIFY(session.Passive);
        QVERIFY(session.Gateway_Use && session.Gateway_Authenticate);
        QCOMPARE(session.Gateway_Host, u"proxy.lan"_s);
        QCOMPARE(session.Gateway_Port, quint16(8021));
        QCOMPARE(session.Gateway_User, u"pu"_s);
        QCOMPARE(session.Gateway_Password, u"Größe€"_s);
        QCOMPARE(session.Gateway_Art, 3);
        QCOMPARE(session.SocksInfo.Authentication, saUsernamePassword);
        QCOMPARE(session.SocksInfo.Host, u"socks.lan"_s);
        QCOMPARE(session.SocksInfo.Port, 1081);
        QCOMPARE(session.SocksInfo.UserID, u"su"_s);
        QCOMPARE(session.SocksInfo.Password, u"a"_s);
        QVERIFY(session.MListart);
        QVERIFY(session.TimeCorrection.DateTimeNo && session.TimeCorrection.DateTimeManuel);
        QCOMPARE(session.TimeCorrection.TimeDif, QTime(1, 30));
        QCOMPARE(session.TimeCorrection.TimeDifvz, 1);
        QCOMPARE(session.isSearch, neverAsks);

        QCOMPARE(session.UseSSL, withSsl);
        QCOMPARE(session.SSLExplicit, withSsl);
        QCOMPARE(session.SSLPassword, withSsl ? u"Ωmega"_s : QString());
        QCOMPARE(session.SSLMethod, withSsl ? 3 : 0);
        QCOMPARE(session.SSLDepth, withSsl ? 4 : 0);
        QCOMPARE(session.SSLPeerCert, withSsl);
        QCOMPARE(session.KeyFile, withSsl ? u"/key.pem"_s : QString());

        QVERIFY(!values->Log);
        QCOMPARE(values->Maxentry, 50);
        QCOMPARE(values->Timeout, 700);
        QCOMPARE(values->FTPOrdner, u"/pub"_s);
        QCOMPARE(values->LocalFolder, u"/home/u/Daten"_s);
    }

    void writesEveryKeyInItsOrder()
    {
        {
            TIniFile ini(m_path);
            QVERIFY(FullProfile().Write(ini, u"Voll"_s));
        }
        // New keys go under the header, so the file holds them last first.
        QCOMPARE(ReadBytes(m_path),
                 QByteArray(
                     "\r\n[Voll]\r\nComment1=zweite Zeile\r\nComment0=erste Zeile\r\n"
                     "SSLClientOnce=-1\r\nSSLPeerCert=-1\r\nSSLPeer=-1\r\nSSLDepth=4\r\nSSLMethod=3\r\n"
                     "SSLPasswordask=-1\r\nSSLPassword=AlF9stKYE5XW\r\nCertificateFile=/cert.pem\r\n"
                     "KeyFile=/key.pem\r\nRootCertificateFile=/"
                     "ca.pem\r\nSSL_Explicit=-1\r\nssl=-1\r\nTimeDifvz=+\r\n"
                     "TimeDif=09.03.2024 01:30:45\r\nDateTimeManuel=-1\r\nDateTimeNo=-1\r\nMLSD=-1\r\n"
                     "Maxentry=50\r\nLog=0\r\nLocalFolder=/home/u/Daten\r\nFTPOrdner=/pub\r\nTimeout=700\r\n"
                     "Socket_Pass=dA==\r\nSocket_User=su\r\nSocket_Port=1081\r\nSocket_Host=socks.lan\r\n"
                     "Socket_Use=-1\r\nFW_Art=3\r\nFW_Pass=WrjSTzzR\r\nFW_User=pu\r\nFW_Use=-1\r\n"
                     "Proxy_Port=8021\r\nProxy_Server=proxy.lan\r\nProxy_Use=-1\r\nFTP_Passive=-1\r\n"
                     "FTP_Pass=M1/dUshGxQ==\r\nFTP_User= benutzer \r\nFTP_Port=2121\r\n"
                     "FTP_Server= ftp.example.org \r\nanonymous=-1\r\n"));
    }

    void savingAgainKeepsPlacesAndDropsEmptiedKeys()
    {
        {
            TIniFile ini(m_path);
            QVERIFY(FullProfile().Write(ini, u"Voll"_s));
        }
        const QByteArray first = ReadBytes(m_path);
        ConnectionProfile changed = FullProfile();
        changed.FTP_Pass.clear();
        changed.Comments = QStringList{u"nur eine"_s};
        changed.SSLDepth = 9;
        {
            TIniFile ini(m_path);
            QVERIFY(changed.Write(ini, u"Voll"_s));
        }
        QByteArray expected = first;
        expected.replace("Comment1=zweite Zeile\r\nComment0=erste Zeile\r\n", "Comment0=nur eine\r\n");
        expected.replace("SSLDepth=4", "SSLDepth=9");
        expected.replace("FTP_Pass=M1/dUshGxQ==\r\n", "");
        QCOMPARE(ReadBytes(m_path), expected);
        QCOMPARE(ConnectionProfile::Read(TIniFile(m_path), u"Voll"_s)->FTP_Pass, QString());
    }

    void aProfileReadsBackAsWritten()
    {
        const ConnectionProfile written = FullProfile();
        {
            TIniFile ini(m_path);
            QVERIFY(written.Write(ini, u"Voll"_s));
        }
        const auto read = ConnectionProfile::Read(TIniFile(m_path), u"Voll"_s);
        QVERIFY(read);
        QCOMPARE(read->FTP_Pass, written.FTP_Pass);
        QCOMPARE(read->FW_Pass, written.FW_Pass);
        QCOMPARE(read->SSLPassword, written.SSLPassword);
        QCOMPARE(read->TimeDif, written.TimeDif);
        QCOMPARE(read->Comments, written.Comments);
        QCOMPARE(read->FTP_Server, written.FTP_Server);
        QCOMPARE(read->Proxy_Port, written.Proxy_Port);
    }

    void aPasswordTooLongToStoreWritesNothing()
    {
        ConnectionProfile profile = FullProfile();
        profile.Socket_Pass = QString(385, u'x');
        TIniFile ini(m_path);
        QVERIFY(!profile.Write(ini, u"Voll"_s));
        QVERIFY(!ini.Modified());
    }

    void aConnectionFileAppliesItsFirstSectionWithoutSsl()
    {
        TIdFTP session;
        WriteFile("; kein Abschnitt\r\n");
        QVERIFY(!ApplyConnectionFile(m_path, session));
        QVERIFY(session.Host.isEmpty());
        WriteFile("[Erste]\r\nFTP_Server=eins\r\nssl=-1\r\n[Zweite]\r\nFTP_Server=zwei\r\n");
        QVERIFY(ApplyConnectionFile(m_path, session));
        QCOMPARE(session.Host, u"eins"_s);
        QVERIFY(!session.UseSSL);
    }

    void unfitSessions_data()
    {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<bool>("fit");
        QTest::newRow("blank host") << QByteArray("FTP_Server=   \r\n") << false;
        QTest::newRow("port 0") << QByteArray("FTP_Server=h\r\nFTP_Port=0\r\n") << false;
        QTest::newRow("negative port") << QByteArray("FTP_Server=h\r\nFTP_Port=-21\r\n") << false;
        QTest::newRow("port beyond 16 bits") << QByteArray("FTP_Server=h\r\nFTP_Port=70000\r\n") << false;
        QTest::newRow("highest port") << QByteArray("FTP_Server=h\r\nFTP_Port=65535\r\n") << true;
        QTest::newRow("fit") << QByteArray("FTP_Server=h\r\nFTP_Port=1\r\n") << true;
    }

    void unfitSessions()
    {
        QFETCH(QByteArray, stored);
        QFETCH(bool, fit);
        WriteFile("[P]\r\n" + stored);
        TIdFTP session;
        QVERIFY(ApplyProfile(TIniFile(m_path), u"P"_s, session, ProfileReading::ConnectionManager));
        QCOMPARE(IsFitToConnect(session), fit);
    }

private:
    void WriteFile(const QByteArray &bytes)
    {
        QFile file(m_path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }

    QTemporaryDir m_dir;
    QString m_path;
};

QTEST_GUILESS_MAIN(ConnectionProfileTest)
#include "test_connectionprofile.moc"
