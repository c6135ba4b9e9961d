#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <vector>

#include "decode/mp3decoder.h"
#include "encodedaudio.h"
#include "mp3/cheapmp3.h"

using namespace Qt::StringLiterals;

class TestMp3Decoder : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (!EncodedAudio::haveTool(u"lame"_s) || !EncodedAudio::haveTool(u"ffmpeg"_s))
            QSKIP("lame and ffmpeg are needed");
    }

    void spanMatchesFfmpeg_data()
    {
        QTest::addColumn<int>("sampleRate");
        QTest::addColumn<int>("channels");
        QTest::addColumn<QStringList>("lame");
        QTest::addColumn<double>("from");   // seconds
        QTest::addColumn<double>("length"); // seconds

        const QStringList vbr{u"-V2"_s};
        QTest::newRow("vbr mid-file") << 44100 << 2 << vbr << 2.31 << 0.7;
        QTest::newRow("vbr from the start keeps no decoder delay")
            << 44100 << 2 << vbr << 0.0 << 0.2;
        QTest::newRow("vbr across the end is clipped") << 44100 << 2 << vbr << 5.8 << 1.0;
        QTest::newRow("cbr") << 44100 << 2 << QStringList{u"-b128"_s} << 3.07 << 0.5;
        QTest::newRow("mpeg-2 of two frames per entry")
            << 22050 << 2 << QStringList{u"-b64"_s} << 1.73 << 0.9;
        QTest::newRow("mono") << 44100 << 1 << QStringList{u"-m"_s, u"m"_s, u"-V4"_s} << 4.4 << 0.3;
    }
    void spanMatchesFfmpeg()
    {
        QFETCH(int, sampleRate);
        QFETCH(int, channels);
        QFETCH(QStringList, lame);
        QFETCH(double, from);
        QFETCH(double, length);

        QTemporaryDir dir;
        const QString path = dir.filePath(u"in.mp3"_s);
        // Changing tones, so that a span off by one sample differs plainly.
        QString error;
        QVERIFY2(EncodedAudio::encode(
                     path,
                     {{1.5, 440.0, 0.6}, {1.0, 0.0, 0.0}, {2.0, 1234.5, 0.4}, {1.5, 97.0, 0.8}},
                     sampleRate, channels, lame, &error),
                 qPrintable(error));

        CheapMP3 index(nullptr, nullptr, nullptr);
        index.readFile(path);
        Mp3Decoder decoder(index);
        QVERIFY2(decoder.open(&error), qPrintable(error));
        QCOMPARE(decoder.channels(), channels);
        QVERIFY(decoder.encoderDelay() > 0);

        const std::vector<float> reference = EncodedAudio::floatSamples(path);
        QCOMPARE(qint64(reference.size()) / channels, decoder.sampleCount());

        const qint64 first = std::llround(from * sampleRate);
        const qint64 count = std::llround(length * sampleRate);
        std::vector<float> pcm;
        QVERIFY2(decoder.decode(first, count, &pcm, &error), qPrintable(error));
        const qint64 expected = (std::min(first + count, decoder.sampleCount()) - first) * channels;
        QCOMPARE(qint64(pcm.size()), expected);
        for (qint64 i = 0; i < expected; ++i) {
            const float want = reference[std::size_t(first * channels + i)];
            if (std::fabs(pcm[std::size_t(i)] - want) > 1e-3f)
                QFAIL(qPrintable(u"sample %1 is %2, ffmpeg decodes %3"_s.arg(i / channels)
                                     .arg(pcm[std::size_t(i)])
                                     .arg(want)));
        }
    }
};

QTEST_GUILESS_MAIN(TestMp3Decoder)
#include "tst_mp3decoder.moc"
