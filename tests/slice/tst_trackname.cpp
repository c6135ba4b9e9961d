#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "slice/trackname.h"

using namespace Qt::StringLiterals;

class tst_TrackName : public QObject
{
    Q_OBJECT

private slots:
    void fileNamePicksPatternByEmptyFields_data();
    void fileNamePicksPatternByEmptyFields();
    void indexText_data();
    void indexText();
    void unsafeCharactersCannotBreakThePath_data();
    void unsafeCharactersCannotBreakThePath();
    void overLongNameIsShortenedAndStillCreatable();
    void unfinishedPlaceholderIsDropped();
};

void tst_TrackName::fileNamePicksPatternByEmptyFields_data()
{
    QTest::addColumn<QString>("artist");
    QTest::addColumn<QString>("title");
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("expected");

    QTest::newRow("artist and title") << u"A"_s << u"T"_s << 3 << u"03 - A - T.mp3"_s;
    QTest::newRow("artist only") << u"A"_s << QString() << 3 << u"03 - A - track03.mp3"_s;
    QTest::newRow("title only") << QString() << u"T"_s << 3 << u"03 - T.mp3"_s;
    QTest::newRow("neither") << QString() << QString() << 3 << u"track03.mp3"_s;
    QTest::newRow("number 12, nothing else") << QString() << QString() << 12 << u"track12.mp3"_s;
    QTest::newRow("placeholder in title stays literal")
        << u"A"_s << u"Track $index $title"_s << 1 << u"01 - A - Track $index $title.mp3"_s;
    QTest::newRow("dollar in artist stays") << u"$$$"_s << u"T"_s << 1 << u"01 - $$$ - T.mp3"_s;
    QTest::newRow("accents and dots stay")
        << u"Björk"_s << u"Vol. 2 … ünïcode"_s << 4 << u"04 - Björk - Vol. 2 … ünïcode.mp3"_s;
}

void tst_TrackName::fileNamePicksPatternByEmptyFields()
{
    QFETCH(QString, artist);
    QFETCH(QString, title);
    QFETCH(int, number);
    QFETCH(QString, expected);
    QCOMPARE(TrackName::fileName(TrackName{artist, title, number}), expected);
}

void tst_TrackName::indexText_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("expected");
    QTest::newRow("0") << 0 << u"00"_s;
    QTest::newRow("9") << 9 << u"09"_s;
    QTest::newRow("10") << 10 << u"10"_s;
    QTest::newRow("100") << 100 << u"100"_s;
}

void tst_TrackName::indexText()
{
    QFETCH(int, number);
    QFETCH(QString, expected);
    QCOMPARE(TrackName::indexText(number), expected);
}

void tst_TrackName::unsafeCharactersCannotBreakThePath_data()
{
    QTest::addColumn<QString>("artist");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("expected");
    QTest::newRow("slash in artist") << u"AC/DC"_s << u"T.N.T."_s << u"01 - AC-DC - T.N.T..mp3"_s;
    QTest::newRow("slashes in title")
        << u"A"_s << u"../../etc/x"_s << u"01 - A - ..-..-etc-x.mp3"_s;
    QTest::newRow("control characters dropped")
        << u"A\tB"_s << u"line\nbreak\x01"_s << u"01 - AB - linebreak.mp3"_s;
}

void tst_TrackName::unsafeCharactersCannotBreakThePath()
{
    QFETCH(QString, artist);
    QFETCH(QString, title);
    QFETCH(QString, expected);
    const QString name = TrackName::fileName(TrackName{artist, title, 1});
    QCOMPARE(name, expected);

    // The name must be creatable as one entry of the output folder.
    QTemporaryDir dir;
    QFile file(dir.filePath(name));
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(file.errorString()));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{name});
}

void tst_TrackName::overLongNameIsShortenedAndStillCreatable()
{
    // 200 two-byte characters: 400 bytes in UTF-8, beyond what a folder entry holds.
    const QString title(200, QChar(0x00E9));
    const QString name = TrackName::fileName(TrackName{u"Artist"_s, title, 5});
    QVERIFY(name.endsWith(u".mp3"_s));
    QVERIFY(name.startsWith(u"05 - Artist - "_s));
    // Room is left for the ".XXXXXX" of the temporary name the track is written under.
    QVERIFY(QFile::encodeName(name).size() <= 248);
    QVERIFY(QFile::encodeName(name).size() > 243);

    // A name that is cut inside a surrogate pair would not encode back.
    const QString emoji = QString::fromUcs4(U"\U0001F3B5").repeated(100);
    const QString cut = TrackName::fileName(TrackName{u"A"_s, emoji, 1});
    QVERIFY(QFile::encodeName(cut).size() <= 248);
    QCOMPARE(QString::fromUtf8(cut.toUtf8()), cut);
    QVERIFY(!cut.contains(QChar(QChar::ReplacementCharacter)));

    QTemporaryDir dir;
    QFile file(dir.filePath(name + u".ABCDEF"_s));
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(file.errorString()));
}

void tst_TrackName::unfinishedPlaceholderIsDropped()
{
    const TrackName name{u"A"_s, u"T"_s, 1};
    QCOMPARE(TrackName::expand(u"x$ind"_s, name), u"x.mp3"_s);
    QCOMPARE(TrackName::expand(u"$index$title"_s, name), u"01T.mp3"_s);
}

QTEST_GUILESS_MAIN(tst_TrackName)
#include "tst_trackname.moc"
