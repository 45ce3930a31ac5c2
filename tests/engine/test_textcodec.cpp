#include "textcodec.h"

#include <QTest>

using namespace Qt::StringLiterals;

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
