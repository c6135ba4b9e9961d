#include "tracks/timetext.h"

#include <QRandomGenerator>
#include <QTest>
#include <QTime>

using namespace Qt::StringLiterals;

class tst_TimeText : public QObject
{
    Q_OBJECT

private slots:
    void formatWritesTwoDigitFields_data();
    void formatWritesTwoDigitFields();
    void formatAgreesWithClockTextBelowAnHour();
    void parseReadsEveryTimeForm_data();
    void parseReadsEveryTimeForm();
    void parseReadsBackWhatFormatWrote();
    void parseSurvivesArbitraryText();
};

void tst_TimeText::formatWritesTwoDigitFields_data()
{
    QTest::addColumn<int>("ms");
    QTest::addColumn<int>("fileLength");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("seconds");
    QTest::newRow("zero") << 0 << 0 << u"00:00.00"_s << u"0:00"_s;
    QTest::newRow("last hundredth of first minute") << 59999 << 0 << u"00:59.99"_s << u"0:59"_s;
    QTest::newRow("one minute two and a quarter") << 62250 << 0 << u"01:02.25"_s << u"1:02"_s;
    QTest::newRow("milliseconds below a hundredth dropped") << 9 << 0 << u"00:00.00"_s << u"0:00"_s;
    QTest::newRow("last hundredth below an hour")
        << 3599999 << 3599999 << u"59:59.99"_s << u"59:59"_s;
    QTest::newRow("an hour shows hours") << 3600000 << 0 << u"1:00:00.00"_s << u"1:00:00"_s;
    QTest::newRow("minutes past 59 become hours")
        << 3725040 << 0 << u"1:02:05.04"_s << u"1:02:05"_s;
    QTest::newRow("short time in an hour-long file")
        << 270000 << 3600000 << u"0:04:30.00"_s << u"0:04:30"_s;
    QTest::newRow("six hours") << 6 * 3600000 + 1000 << 0 << u"6:00:01.00"_s << u"6:00:01"_s;
    QTest::newRow("hundred hours") << 100 * 3600000 << 0 << u"100:00:00.00"_s << u"100:00:00"_s;
}

void tst_TimeText::formatWritesTwoDigitFields()
{
    QFETCH(int, ms);
    QFETCH(int, fileLength);
    QFETCH(QString, text);
    QFETCH(QString, seconds);
    QCOMPARE(TimeText::format(ms, fileLength), text);
    QCOMPARE(TimeText::formatSeconds(ms, fileLength), seconds);
}

// QTime writes the same clock text for the first hour; only its last millisecond digit differs.
void tst_TimeText::formatAgreesWithClockTextBelowAnHour()
{
    for (int ms = 0; ms < 3600000; ms += 7919) {
        const QString clock = QTime::fromMSecsSinceStartOfDay(ms).toString(u"mm:ss.zzz"_s);
        QCOMPARE(TimeText::format(ms), clock.chopped(1));
    }
}

void tst_TimeText::parseReadsEveryTimeForm_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("ms"); // -1: rejected
    QTest::newRow("h:mm:ss.hh") << u"1:02:03.45"_s << 3723450;
    QTest::newRow("h:mm:ss") << u"1:02:03"_s << 3723000;
    QTest::newRow("zero hours") << u"0:04:30.00"_s << 270000;
    QTest::newRow("mm:ss.hh") << u"01:02.25"_s << 62250;
    QTest::newRow("mm:ss") << u"45:00"_s << 2700000;
    QTest::newRow("m:ss") << u"4:30"_s << 270000;
    QTest::newRow("minutes past 99") << u"348:30"_s << 20910000;
    QTest::newRow("plain seconds") << u"75"_s << 75000;
    QTest::newRow("seconds with decimals") << u"75.5"_s << 75500;
    QTest::newRow("milliseconds") << u"0.125"_s << 125;
    QTest::newRow("one-digit fraction is tenths") << u"00:01.5"_s << 1500;
    QTest::newRow("blanks around") << u" 1:00 "_s << 60000;
    QTest::newRow("zero") << u"00:00.00"_s << 0;
    QTest::newRow("last second of a minute") << u"0:59"_s << 59000;
    QTest::newRow("one-digit seconds") << u"1:2"_s << -1;
    QTest::newRow("one-digit minutes after hours") << u"1:2:03"_s << -1;
    QTest::newRow("seconds at 60") << u"0:60"_s << -1;
    QTest::newRow("minutes at 60 after hours") << u"1:60:00"_s << -1;
    QTest::newRow("four fields") << u"1:00:00:00"_s << -1;
    QTest::newRow("four fraction digits") << u"1.2345"_s << -1;
    QTest::newRow("fraction in minutes") << u"1.5:00"_s << -1;
    QTest::newRow("letter minutes") << u"a:02.25"_s << -1;
    QTest::newRow("letters in seconds") << u"00:x2.25"_s << -1;
    QTest::newRow("letters in hundredths") << u"00:02.2b"_s << -1;
    QTest::newRow("empty") << QString() << -1;
    QTest::newRow("blank") << u"  "_s << -1;
    QTest::newRow("empty minutes") << u":02.25"_s << -1;
    QTest::newRow("empty seconds") << u"01:.25"_s << -1;
    QTest::newRow("empty fraction") << u"01:02."_s << -1;
    QTest::newRow("negative") << u"-1:02.25"_s << -1;
    QTest::newRow("blank inside") << u"01: 02.25"_s << -1;
    QTest::newRow("comma") << u"75,5"_s << -1;
    QTest::newRow("largest int") << u"596:31:23.647"_s << 2147483647;
    QTest::newRow("past the largest int") << u"596:31:23.648"_s << -1;
    QTest::newRow("overflowing seconds") << u"999999999"_s << -1;
    QTest::newRow("second dot") << u"01:02.25.1"_s << -1;
}

void tst_TimeText::parseReadsEveryTimeForm()
{
    QFETCH(QString, text);
    QFETCH(int, ms);
    bool ok = ms < 0; // the opposite of the answer, so parse must write it
    const int parsed = TimeText::parse(text, &ok);
    QCOMPARE(ok, ms >= 0);
    QCOMPARE(parsed, qMax(ms, 0));
}

void tst_TimeText::parseReadsBackWhatFormatWrote()
{
    for (int ms = 0; ms < 7 * 3600000; ms += 104729) {
        for (const int fileLength : {0, 7 * 3600000}) {
            bool ok = false;
            const int hundredthsOnly = ms - ms % 10;
            QCOMPARE(TimeText::parse(TimeText::format(ms, fileLength), &ok), hundredthsOnly);
            QVERIFY(ok);
            QCOMPARE(TimeText::parse(TimeText::formatSeconds(ms, fileLength), &ok), ms - ms % 1000);
        }
    }
}

// Whatever the user types: no crash, and anything accepted is a time the form writes back.
void tst_TimeText::parseSurvivesArbitraryText()
{
    const QString alphabet = u"0123456789:.-+ a\u00e9"_s;
    QRandomGenerator random(20240607);
    int accepted = 0;
    for (int round = 0; round < 20000; ++round) {
        QString text;
        const int length = random.bounded(16);
        for (int i = 0; i < length; ++i)
            text += alphabet.at(random.bounded(alphabet.size()));
        bool ok = false;
        const int ms = TimeText::parse(text, &ok);
        if (!ok) {
            QCOMPARE(ms, 0);
            continue;
        }
        ++accepted;
        QVERIFY2(ms >= 0, qPrintable(text));
        bool again = false;
        QCOMPARE(TimeText::parse(TimeText::format(ms), &again), ms - ms % 10);
        QVERIFY(again);
    }
    QVERIFY(accepted > 0);
}

QTEST_GUILESS_MAIN(tst_TimeText)
#include "tst_timetext.moc"
