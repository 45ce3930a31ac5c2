#include "textcodec.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// Text as UTF-16 units, for lone surrogates that no string literal may hold.
QString Units(std::initializer_list<char16_t> units)
{
    return QString(reinterpret_cast<const QChar *>(units.begin()), qsizetype(units.size()));
}

} // namespace

class TextCodecTest : public QObject {
    Q_OBJECT

private slots:
    void everyWindows1252ByteSurvivesARoundTrip()
    {
        QByteArray all;
        for (int byte = 0; byte < 256; ++byte)
            all.append(char(byte));
        const QString text = TextCodec::DecodeWindows1252(all);
        QCOMPARE(text.size(), 256);
        QVERIFY(TextCodec::FitsWindows1252(text));
        bool ok = false;
        QCOMPARE(TextCodec::EncodeWindows1252(text, &ok), all);
        QVERIFY(ok);
    }

    void decodesTheCodePageNotLatin1()
    {
        QCOMPARE(TextCodec::DecodeWindows1252("\x80\x9f\xe4"), u"\u20ac\u0178\u00e4"_s);
    }

    void autoDetection_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("ascii") << QByteArray("plain.txt") << u"plain.txt"_s;
        QTest::newRow("utf-8") << QByteArray("Gr\xc3\xb6\xc3\x9f"
                                             "e.txt")
                               << u"Größe.txt"_s;
        QTest::newRow("windows-1252") << QByteArray("Gr\xf6\xdf"
                                                    "e.txt")
                                      << u"Größe.txt"_s;
        QTest::newRow("cut utf-8 sequence") << QByteArray("a\xc3") << u"a\u00c3"_s;
    }

    void autoDetection()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QCOMPARE(TextCodec::DecodeAuto(bytes), text);
    }

    void encodesInWindows1252OnlyWhenEveryCharacterFits()
    {
        QCOMPARE(TextCodec::EncodeAuto(u"Größe €"_s), QByteArray("Gr\xf6\xdf"
                                                                 "e \x80"));
        QCOMPARE(TextCodec::EncodeAuto(u"Ωmega"_s), u"Ωmega"_s.toUtf8());
        bool ok = true;
        QCOMPARE(TextCodec::EncodeWindows1252(u"aΩ"_s, &ok), QByteArray("a?"));
        QVERIFY(!ok);
    }

    void utf8KeepingBytes_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("valid") << QByteArray("Gr\xc3\xb6\xc3\x9f"
                                             "e \xf0\x9f\x98\x80")
                               << u"Größe 😀"_s;
        QTest::newRow("latin-1 byte") << QByteArray("\xdc"
                                                    "ber")
                                      << Units({0xDCDC, u'b', u'e', u'r'});
        QTest::newRow("cut sequence at the end") << QByteArray("a\xc3") << Units({u'a', 0xDCC3});
        QTest::newRow("overlong slash") << QByteArray("\xc0\xaf") << Units({0xDCC0, 0xDCAF});
        QTest::newRow("encoded surrogate") << QByteArray("\xed\xa0\x80") << Units({0xDCED, 0xDCA0, 0xDC80});
        QTest::newRow("beyond U+10FFFF")
            << QByteArray("\xf4\x90\x80\x80") << Units({0xDCF4, 0xDC90, 0xDC80, 0xDC80});
        QTest::newRow("kept byte after a pair")
            << QByteArray("\xf0\x9f\x98\x80\xff") << u"😀"_s + Units({0xDCFF});
        // U+FEFF is a character of the name, not a byte-order mark to drop.
        QTest::newRow("name starting with U+FEFF")
            << QByteArray("\xef\xbb\xbf") + 'a' << Units({0xFEFF, u'a'});
        QTest::newRow("U+FEFF after a kept byte")
            << QByteArray("\xff\xef\xbb\xbf\n") << Units({0xDCFF, 0xFEFF, u'\n'});
    }

    // What a server sends comes back as the same bytes, valid UTF-8 or not.
    void utf8KeepingBytes()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QCOMPARE(TextCodec::DecodeUtf8KeepingBytes(bytes), text);
        QCOMPARE(TextCodec::EncodeUtf8KeepingBytes(text), bytes);
    }

    void randomBytesSurviveUtf8KeepingBytes()
    {
        QByteArray bytes;
        for (int i = 0; i < 20000; ++i)
            bytes.append(char((i * 7919 + i / 13) % 256));
        QCOMPARE(TextCodec::EncodeUtf8KeepingBytes(TextCodec::DecodeUtf8KeepingBytes(bytes)), bytes);
    }

    // What a file is written as must read back as the same text.
    void autoEncodingReadsBack_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("asWindows1252");
        QTest::newRow("umlauts") << u"Größe.txt"_s << true;
        QTest::newRow("code page bytes that spell UTF-8") << u"Ã¼ber"_s << false;
        QTest::newRow("the mark spelled in the code page") << u"ï»¿[A]"_s << false;
        QTest::newRow("euro sign after a lead byte") << u"Â€"_s << false;
        QTest::newRow("lead byte without its follower") << u"aÃ"_s << true;
        QTest::newRow("beyond the code page") << u"Ωmega"_s << false;
    }

    void autoEncodingReadsBack()
    {
        QFETCH(QString, text);
        QFETCH(bool, asWindows1252);
        const QByteArray bytes = TextCodec::EncodeAuto(text);
        QCOMPARE(TextCodec::DecodeAuto(bytes), text);
        QCOMPARE(bytes == TextCodec::EncodeWindows1252(text), asWindows1252);
    }
};

QTEST_GUILESS_MAIN(TextCodecTest)
#include "test_textcodec.moc"
