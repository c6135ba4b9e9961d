#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include "cue/cuetextdecoder.h"

using namespace Qt::StringLiterals;

using Encoding = CueTextDecoder::Encoding;
Q_DECLARE_METATYPE(CueTextDecoder::Encoding)

namespace {

QString codePoints(std::initializer_list<char32_t> points)
{
    QString text;
    for (const char32_t point : points)
        text.append(QString::fromUcs4(&point, 1));
    return text;
}

} // namespace

class tst_CueTextDecoder : public QObject
{
    Q_OBJECT

private slots:
    void markOrContentPicksEncoding_data();
    void markOrContentPicksEncoding();
    void strictUtf8RejectsWhatIsNotUtf8_data();
    void strictUtf8RejectsWhatIsNotUtf8();
    void windows1252MatchesIconvForEveryDefinedByte();
    void windows1252UndefinedBytesKeepTheirCodePoint();
};

void tst_CueTextDecoder::markOrContentPicksEncoding_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<Encoding>("encoding");
    QTest::addColumn<QString>("text");

    QTest::newRow("empty") << QByteArray() << Encoding::Utf8 << QString();
    QTest::newRow("plain ASCII") << QByteArray("TITLE \"A\"") << Encoding::Utf8 << u"TITLE \"A\""_s;
    QTest::newRow("UTF-8 BOM is dropped") << QByteArray("\xEF\xBB\xBF"
                                                        "Caf\xC3\xA9")
                                          << Encoding::Utf8 << codePoints({'C', 'a', 'f', 0xE9});
    QTest::newRow("UTF-8 four-byte sequence")
        << QByteArray("\xF0\x9F\x8E\xB5") << Encoding::Utf8 << codePoints({0x1F3B5});
    QTest::newRow("Windows-1252 accents and curly quote")
        << QByteArray("\xE9\xFC\x92\x80") << Encoding::Windows1252
        << codePoints({0xE9, 0xFC, 0x2019, 0x20AC});
    QTest::newRow("valid UTF-8 lead with a bad tail is Windows-1252")
        << QByteArray("\xC3(") << Encoding::Windows1252 << codePoints({0xC3, '('});
    QTest::newRow("UTF-16 LE BOM") << QByteArray("\xFF\xFE"
                                                 "A\x00\xE9\x00\x19\x20",
                                                 8)
                                   << Encoding::Utf16LE << codePoints({'A', 0xE9, 0x2019});
    QTest::newRow("UTF-16 BE BOM") << QByteArray("\xFE\xFF\x00"
                                                 "A\x00\xE9\x20\x19",
                                                 8)
                                   << Encoding::Utf16BE << codePoints({'A', 0xE9, 0x2019});
    QTest::newRow("UTF-16 LE odd trailing byte") << QByteArray("\xFF\xFE"
                                                               "A\x00"
                                                               "B",
                                                               5)
                                                 << Encoding::Utf16LE << codePoints({'A', 0xFFFD});
    QTest::newRow("UTF-32 LE BOM") << QByteArray("\xFF\xFE\x00\x00"
                                                 "A\x00\x00\x00",
                                                 8)
                                   << Encoding::Utf32LE << codePoints({'A'});
    QTest::newRow("UTF-32 BE BOM") << QByteArray("\x00\x00\xFE\xFF\x00\x00\x00"
                                                 "A",
                                                 8)
                                   << Encoding::Utf32BE << codePoints({'A'});
}

void tst_CueTextDecoder::markOrContentPicksEncoding()
{
    QFETCH(QByteArray, bytes);
    QFETCH(Encoding, encoding);
    QFETCH(QString, text);
    QCOMPARE(CueTextDecoder::detect(bytes), encoding);
    QCOMPARE(CueTextDecoder::decode(bytes), text);
}

void tst_CueTextDecoder::strictUtf8RejectsWhatIsNotUtf8_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("valid");

    QTest::newRow("two-byte e acute") << QByteArray("\xC3\xA9") << true;
    QTest::newRow("three-byte right quote") << QByteArray("\xE2\x80\x99") << true;
    QTest::newRow("largest code point U+10FFFF") << QByteArray("\xF4\x8F\xBF\xBF") << true;
    QTest::newRow("overlong two-byte NUL") << QByteArray("\xC0\x80") << false;
    QTest::newRow("overlong two-byte C1") << QByteArray("\xC1\xBF") << false;
    QTest::newRow("overlong three-byte") << QByteArray("\xE0\x80\x80") << false;
    QTest::newRow("overlong four-byte") << QByteArray("\xF0\x80\x80\x80") << false;
    QTest::newRow("surrogate U+D800") << QByteArray("\xED\xA0\x80") << false;
    QTest::newRow("above U+10FFFF") << QByteArray("\xF4\x90\x80\x80") << false;
    QTest::newRow("lead F5") << QByteArray("\xF5\x80\x80\x80") << false;
    QTest::newRow("lone continuation byte") << QByteArray("\x80") << false;
    QTest::newRow("sequence cut at the end") << QByteArray("ab\xE2\x80") << false;
}

void tst_CueTextDecoder::strictUtf8RejectsWhatIsNotUtf8()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, valid);
    QCOMPARE(CueTextDecoder::isValidUtf8(bytes), valid);
}

void tst_CueTextDecoder::windows1252MatchesIconvForEveryDefinedByte()
{
    const QString iconv = QStandardPaths::findExecutable(u"iconv"_s);
    if (iconv.isEmpty())
        QSKIP("iconv not installed");
    QByteArray defined;
    for (int byte = 1; byte < 256; ++byte) {
        if (byte != 0x81 && byte != 0x8D && byte != 0x8F && byte != 0x90 && byte != 0x9D)
            defined.append(char(byte));
    }
    QProcess process;
    process.start(iconv, {u"-f"_s, u"CP1252"_s, u"-t"_s, u"UTF-8"_s});
    QVERIFY(process.waitForStarted());
    process.write(defined);
    process.closeWriteChannel();
    QVERIFY(process.waitForFinished());
    QCOMPARE(process.exitCode(), 0);
    const QString expected = QString::fromUtf8(process.readAllStandardOutput());
    const QString actual = CueTextDecoder::fromWindows1252(defined);
    QCOMPARE(actual.size(), expected.size());
    for (qsizetype i = 0; i < actual.size(); ++i) {
        QVERIFY2(actual.at(i) == expected.at(i),
                 qPrintable(u"byte 0x%1"_s.arg(uchar(defined.at(i)), 2, 16, QLatin1Char('0'))));
    }
}

void tst_CueTextDecoder::windows1252UndefinedBytesKeepTheirCodePoint()
{
    QCOMPARE(CueTextDecoder::fromWindows1252("\x81\x8D\x8F\x90\x9D"),
             codePoints({0x81, 0x8D, 0x8F, 0x90, 0x9D}));
    // A NUL byte stays one character and does not end the text.
    QCOMPARE(CueTextDecoder::fromWindows1252(QByteArray("a\x00\xE9", 3)),
             codePoints({'a', 0, 0xE9}));
}

QTEST_GUILESS_MAIN(tst_CueTextDecoder)
#include "tst_cuetextdecoder.moc"
