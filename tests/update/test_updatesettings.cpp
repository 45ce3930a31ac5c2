#include "tinifile.h"
#include "updatesettings.h"

#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class UpdateSettingsTest : public QObject {
    Q_OBJECT

private slots:
    // The window's fields as the download uses them.
    void fieldsBecomeTheProxy_data()
    {
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("port");
        QTest::addColumn<bool>("authenticate");
        QTest::addColumn<QString>("expected"); // host:port user password
        QTest::newRow("login asked for")
            << u" proxy.local "_s << u" 3128"_s << true << u"proxy.local:3128 glimra  pass wort "_s;
        QTest::newRow("login not asked for")
            << u"proxy.local"_s << u"3128"_s << false << u"proxy.local:3128  "_s;
        QTest::newRow("port no number") << u"proxy.local"_s << u"achtzig"_s << false << u"proxy.local:80  "_s;
        QTest::newRow("port out of range")
            << u"proxy.local"_s << u"70000"_s << false << u"proxy.local:80  "_s;
        QTest::newRow("port empty") << u"proxy.local"_s << QString() << false << u"proxy.local:80  "_s;
        QTest::newRow("no proxy") << u"  "_s << u"3128"_s << false << u":3128  "_s;
    }

    void fieldsBecomeTheProxy()
    {
        QFETCH(QString, server);
        QFETCH(QString, port);
        QFETCH(bool, authenticate);
        QFETCH(QString, expected);
        UpdateProxySettings fields;
        fields.server = server;
        fields.port = port;
        fields.authenticate = authenticate;
        fields.user = u" glimra "_s;
        fields.password = u" pass wort "_s;
        const HttpProxy proxy = fields.ToHttpProxy();
        QCOMPARE(u"%1:%2 %3 %4"_s.arg(proxy.host).arg(proxy.port).arg(proxy.user, proxy.password), expected);
    }

    void onlyWebAddressesAreFetched_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("fetched");
        QTest::newRow("http") << u"http://update.example.org/updates/FTPAdressen.txt"_s << true;
        QTest::newRow("https with port") << u"https://127.0.0.1:8443/liste.txt"_s << true;
        QTest::newRow("the default") << kDefaultUpdateUrl.toString() << true;
        QTest::newRow("a local file") << u"file:///etc/passwd"_s << false;
        QTest::newRow("ftp") << u"ftp://ftp.example.org/liste.txt"_s << false;
        QTest::newRow("no scheme") << u"update.example.org/liste.txt"_s << false;
        QTest::newRow("no host") << u"http:///liste.txt"_s << false;
        QTest::newRow("blank inside") << u"http://update example.org/"_s << false;
    }

    void onlyWebAddressesAreFetched()
    {
        QFETCH(QString, address);
        QFETCH(bool, fetched);
        QCOMPARE(UpdateListUrl(address).has_value(), fetched);
    }

    void theAddressComesFromTheSettingsFile()
    {
        QTemporaryDir folder;
        TIniFile settings(folder.filePath(u"glimra.ini"_s));
        QCOMPARE(UpdateListAddress(settings), kDefaultUpdateUrl.toString());
        settings.WriteString(u"StartUp"_s, u"Update_URL"_s, u" https://liste.example.org/a.txt "_s);
        QCOMPARE(UpdateListAddress(settings), u"https://liste.example.org/a.txt"_s);
    }
};

QTEST_GUILESS_MAIN(UpdateSettingsTest)
#include "test_updatesettings.moc"
