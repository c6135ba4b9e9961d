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
    void parseReadsMinutesSecondsHundredthsOnly_data();
    void parseReadsMinutesSecondsHundredthsOnly();
    void parseReadsBackWhatFormatWrote();
    void parseSurvivesArbitraryText();
};

void tst_TimeText::formatWritesTwoDigitFields_data()
{
    QTest::addColumn<int>("ms");
    QTest::addColumn<QString>("text");
    QTest::newRow("zero") << 0 << u"00:00.00"_s;
    QTest::newRow("last hundredth of first minute") << 59999 << u"00:59.99"_s;
    QTest::newRow("one minute two and a quarter") << 62250 << u"01:02.25"_s;
    QTest::newRow("minutes past 59 keep counting") << 3725040 << u"62:05.04"_s;
    QTest::newRow("milliseconds below a hundredth dropped") << 9 << u"00:00.00"_s;
    QTest::newRow("three-digit minutes") << 100 * 60000 << u"100:00.00"_s;
}

void tst_TimeText::formatWritesTwoDigitFields()
{
    QFETCH(int, ms);
    QFETCH(QString, text);
    QCOMPARE(TimeText::format(ms), text);
}

// QTime writes the same clock text for the first hour; only its last millisecond digit differs.
void tst_TimeText::formatAgreesWithClockTextBelowAnHour()
{
    for (int ms = 0; ms < 3600000; ms += 7919) {
        const QString clock = QTime::fromMSecsSinceStartOfDay(ms).toString(u"mm:ss.zzz"_s);
        QCOMPARE(TimeText::format(ms), clock.chopped(1));
    }
}

void tst_TimeText::parseReadsMinutesSecondsHundredthsOnly_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("ms"); // -1: rejected
    QTest::newRow("one minute two and a quarter") << u"01:02.25"_s << 62250;
    QTest::newRow("zero") << u"00:00.00"_s << 0;
    QTest::newRow("no leading zeros") << u"1:2.25"_s << 62250;
    QTest::newRow("seconds past 59") << u"00:75.00"_s << 75000;
    QTest::newRow("minutes past 59") << u"62:05.04"_s << 3725040;
    QTest::newRow("one-digit hundredths count as hundredths") << u"00:01.5"_s << 1050;
    QTest::newRow("no hundredths") << u"1:2"_s << -1;
    QTest::newRow("letter minutes") << u"a:02.25"_s << -1;
    QTest::newRow("letters in seconds") << u"00:x2.25"_s << -1;
    QTest::newRow("letters in hundredths") << u"00:02.2b"_s << -1;
    QTest::newRow("empty") << QString() << -1;
    QTest::newRow("no colon") << u"0102.25"_s << -1;
    QTest::newRow("empty minutes") << u":02.25"_s << -1;
    QTest::newRow("empty seconds") << u"01:.25"_s << -1;
    QTest::newRow("empty hundredths") << u"01:02."_s << -1;
    QTest::newRow("negative minutes") << u"-1:02.25"_s << -1;
    QTest::newRow("blank inside") << u"01: 02.25"_s << -1;
    QTest::newRow("dot before colon only") << u"01.02:25"_s << -1;
    QTest::newRow("overflowing minutes") << u"999999999:00.00"_s << -1;
    QTest::newRow("second dot") << u"01:02.25.1"_s << -1;
}

void tst_TimeText::parseReadsMinutesSecondsHundredthsOnly()
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
    for (int ms = 0; ms < 200 * 60000; ms += 104729) {
        bool ok = false;
        const int hundredthsOnly = ms - ms % 10;
        QCOMPARE(TimeText::parse(TimeText::format(ms), &ok), hundredthsOnly);
        QVERIFY(ok);
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
        QCOMPARE(TimeText::parse(TimeText::format(ms), &again), ms);
        QVERIFY(again);
    }
    QVERIFY(accepted > 0);
}

QTEST_GUILESS_MAIN(tst_TimeText)
#include "tst_timetext.moc"
