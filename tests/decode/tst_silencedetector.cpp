#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include "decode/silencedetector.h"
#include "decode/silencethreadobject.h"
#include "encodedaudio.h"
#include "mp3/cheapmp3.h"
#include "silentalbum.h"
#include "threadrun.h"

using namespace Qt::StringLiterals;
using Spans = QList<SilentAlbum::Span>;

Q_DECLARE_METATYPE(Spans)

class TestSilenceDetector : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_album;
    QString m_album320;
    QString m_noise;

    CheapMP3Ptr readIndex(const QString &path)
    {
        auto index = std::make_shared<CheapMP3>(nullptr, nullptr, nullptr);
        index->readFile(path);
        return index;
    }

private slots:
    void initTestCase()
    {
        if (!EncodedAudio::haveTool(u"lame"_s) || !EncodedAudio::haveTool(u"ffmpeg"_s))
            QSKIP("lame and ffmpeg are needed");
        m_album = m_dir.filePath(u"album.mp3"_s);
        m_album320 = m_dir.filePath(u"album320.mp3"_s);
        m_noise = m_dir.filePath(u"noise.mp3"_s);
        QString error;
        QVERIFY2(SilentAlbum::make(m_album, true, {u"-V2"_s}, &error), qPrintable(error));
        QVERIFY2(SilentAlbum::make(m_album320, true, {u"-b320"_s}, &error), qPrintable(error));
        QVERIFY2(SilentAlbum::make(m_noise, false, {u"-V2"_s}, &error), qPrintable(error));
    }

    void silencesAndCuts_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<double>("threshold");
        QTest::addColumn<double>("minimum");
        QTest::addColumn<Spans>("expected"); // seconds of the source

        const Spans gaps{SilentAlbum::firstGap, SilentAlbum::secondGap};
        QTest::newRow("gaps are silences, the quiet passage over the threshold is not")
            << m_album << SilenceDetector::DEFAULT_THRESHOLD << SilenceDetector::DEFAULT_MINIMUM
            << gaps;
        const Spans all{SilentAlbum::firstGap, SilentAlbum::quietPassage, SilentAlbum::secondGap};
        QTest::newRow("a threshold over the quiet passage finds it too")
            << m_album << -35.0 << SilenceDetector::DEFAULT_MINIMUM << all;
        QTest::newRow("gains of 320 kbit/s, finer for the same level, still find it")
            << m_album320 << -35.0 << SilenceDetector::DEFAULT_MINIMUM << all;
        QTest::newRow("a minimum over the gaps finds none") << m_album << -50.0 << 2.5 << Spans{};
        QTest::newRow("a short minimum still finds only the gaps")
            << m_album << -50.0 << 0.5 << gaps;
        QTest::newRow("no silence gives one track") << m_noise << -50.0 << 1.5 << Spans{};
    }
    void silencesAndCuts()
    {
        QFETCH(QString, file);
        QFETCH(double, threshold);
        QFETCH(double, minimum);
        QFETCH(Spans, expected);

        const auto index = readIndex(file);
        SilenceDetector detector(*index);
        detector.setThreshold(threshold);
        detector.setMinimum(minimum);
        SilenceList silences;
        QString error;
        QVERIFY2(detector.find(&silences, {}, &error), qPrintable(error));

        QCOMPARE(silences.size(), expected.size());
        const double rate = detector.sampleRate();
        for (qsizetype i = 0; i < silences.size(); ++i) {
            // The decoded silence holds the source's; the fades around it lengthen it by what
            // falls under the threshold.
            const double start = silences[i].start / rate;
            const double end = silences[i].end / rate;
            QVERIFY2(start > expected[i].start - 0.25 && start < expected[i].start + 0.03,
                     qPrintable(u"silence %1 starts at %2"_s.arg(i).arg(start)));
            QVERIFY2(end > expected[i].end - 0.03 && end < expected[i].end + 0.25,
                     qPrintable(u"silence %1 ends at %2"_s.arg(i).arg(end)));
        }

        const QList<int> cuts = detector.cuts(silences);
        QCOMPARE(cuts.size(), expected.size());
        for (qsizetype i = 0; i < cuts.size(); ++i)
            QVERIFY2(cuts[i] > expected[i].start * 1000 && cuts[i] < expected[i].end * 1000,
                     qPrintable(u"cut %1 at %2 ms"_s.arg(i).arg(cuts[i])));
    }

    void threadObjectDeliversOrStops_data()
    {
        QTest::addColumn<bool>("stopFirst");
        QTest::newRow("runs to the end") << false;
        QTest::newRow("a stopped search delivers nothing") << true;
    }
    void threadObjectDeliversOrStops()
    {
        QFETCH(bool, stopFirst);
        SilenceThreadObject object;
        object.setIndex(readIndex(m_album));
        QSignalSpy progress(&object, &SilenceThreadObject::silenceProgress);
        QSignalSpy found(&object, &SilenceThreadObject::silencesFound);
        QSignalSpy failed(&object, &SilenceThreadObject::failed);
        ThreadRun run(&object);
        if (stopFirst)
            object.stop();
        QVERIFY(run.start());
        QVERIFY(run.waitForEnd());
        QCOMPARE(failed.count(), 0);
        QCOMPARE(found.count(), stopFirst ? 0 : 1);
        if (!stopFirst) {
            QCOMPARE(found.first().at(0).value<SilenceList>().size(), 2);
            QCOMPARE(found.first().at(1).value<QList<int>>().size(), 2);
            QCOMPARE(progress.last().at(0).toInt(), 100);
        }
    }
};

QTEST_GUILESS_MAIN(TestSilenceDetector)
#include "tst_silencedetector.moc"
