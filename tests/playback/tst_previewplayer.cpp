#include <QAudioDevice>
#include <QMediaDevices>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <memory>
#include <vector>

#include "decode/mp3decoder.h"
#include "encodedaudio.h"
#include "mp3/cheapmp3.h"
#include "playback/audiooutput.h"
#include "playback/previewplayer.h"

using namespace Qt::StringLiterals;

// What an output was given, kept after the player let go of the output.
struct Capture
{
    int sampleRate = 0;
    int channels = 0;
    std::vector<float> pcm;
    bool stopped = false;
};

// Plays at once whatever it takes, a little at a time, so the player has to hold the rest.
class CaptureOutput final : public AudioOutput
{
public:
    explicit CaptureOutput(std::shared_ptr<Capture> capture)
        : m_capture(std::move(capture))
    {
    }
    bool start(int sampleRate, int channels, QString *) override
    {
        m_capture->sampleRate = sampleRate;
        m_capture->channels = channels;
        return true;
    }
    qint64 write(const float *pcm, qint64 frames) override
    {
        const qint64 taken = std::min<qint64>(frames, 8000);
        m_capture->pcm.insert(m_capture->pcm.end(), pcm, pcm + taken * m_capture->channels);
        return taken;
    }
    qint64 playedUSecs() const override
    {
        return qint64(m_capture->pcm.size()) / m_capture->channels * 1000000
            / m_capture->sampleRate;
    }
    QString error() const override { return {}; }
    void stop() override { m_capture->stopped = true; }

private:
    std::shared_ptr<Capture> m_capture;
};

class TestPreviewPlayer : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    CheapMP3Ptr m_index;
    std::vector<float> m_reference;
    int m_leading = 0;

    std::shared_ptr<Capture> capturing(PreviewPlayer *player)
    {
        auto capture = std::make_shared<Capture>();
        player->setOutputFactory([capture] { return std::make_unique<CaptureOutput>(capture); });
        return capture;
    }

private slots:
    void initTestCase()
    {
        if (!EncodedAudio::haveTool(u"lame"_s) || !EncodedAudio::haveTool(u"ffmpeg"_s))
            QSKIP("lame and ffmpeg are needed");
        const QString path = m_dir.filePath(u"in.mp3"_s);
        QString error;
        QVERIFY2(EncodedAudio::encode(path,
                                      {{2.0, 440.0, 0.6}, {2.0, 1234.5, 0.4}, {2.0, 97.0, 0.8}},
                                      44100, 2, {u"-V2"_s}, &error),
                 qPrintable(error));
        auto index = std::make_shared<CheapMP3>(nullptr, nullptr, nullptr);
        index->readFile(path);
        m_index = index;
        Mp3Decoder decoder(*m_index);
        QVERIFY(decoder.open());
        m_leading = decoder.leadingSamples();
        m_reference = EncodedAudio::floatSamples(path);
    }

    void handsOverTheSpan_data()
    {
        QTest::addColumn<int>("fromMs");
        QTest::addColumn<int>("toMs");
        QTest::newRow("space plays from a click to the end") << 2310 << -1;
        QTest::newRow("play around a boundary") << 3000 - 2000 << 3000 + 2000;
        QTest::newRow("around a boundary near the start is clipped") << 500 - 2000 << 500 + 2000;
        QTest::newRow("around a boundary near the end is clipped") << 5500 - 2000 << 5500 + 2000;
    }
    void handsOverTheSpan()
    {
        QFETCH(int, fromMs);
        QFETCH(int, toMs);
        PreviewPlayer player;
        const auto capture = capturing(&player);
        QSignalSpy stopped(&player, &PreviewPlayer::stopped);
        QSignalSpy positions(&player, &PreviewPlayer::positionChanged);
        player.play(m_index, fromMs, toMs);
        QVERIFY(player.isPlaying());
        QVERIFY(stopped.wait(10000));
        QVERIFY(!player.isPlaying());
        QVERIFY(capture->stopped);

        // Index time counts the samples before the played sample 0.
        const qint64 frames = qint64(m_reference.size()) / 2;
        const auto played = [&](int ms) {
            return std::clamp<qint64>(qint64(ms) * 44100 / 1000 - m_leading, 0, frames);
        };
        const qint64 first = played(fromMs);
        const qint64 end = toMs < 0 ? frames : played(toMs);
        QCOMPARE(qint64(capture->pcm.size()), (end - first) * 2);
        for (qint64 i = 0; i < qint64(capture->pcm.size()); ++i) {
            const float want = m_reference[std::size_t(first * 2 + i)];
            if (std::fabs(capture->pcm[std::size_t(i)] - want) > 1e-3f)
                QFAIL(qPrintable(u"sample %1 differs from ffmpeg's"_s.arg(i / 2)));
        }
        // The cursor runs from the start to the end of the span.
        QCOMPARE(positions.first().first().toInt(), int((first + m_leading) * 1000 / 44100));
        QCOMPARE(positions.last().first().toInt(), int((end + m_leading) * 1000 / 44100));
    }

    void stopEndsThePlay()
    {
        PreviewPlayer player;
        const auto capture = capturing(&player);
        QSignalSpy stopped(&player, &PreviewPlayer::stopped);
        player.play(m_index, 0);
        player.stop();
        QCOMPARE(stopped.count(), 1);
        QVERIFY(!player.isPlaying());
        QVERIFY(capture->stopped);
        const std::size_t handed = capture->pcm.size();
        QTest::qWait(3 * PreviewPlayer::TICK_MS);
        QCOMPARE(capture->pcm.size(), handed);
    }

    void newPlayReplacesTheOld()
    {
        PreviewPlayer player;
        const auto first = capturing(&player);
        player.play(m_index, 0);
        const auto second = capturing(&player);
        QSignalSpy stopped(&player, &PreviewPlayer::stopped);
        player.play(m_index, 4000, 4500);
        QVERIFY(first->stopped);
        QCOMPARE(stopped.count(), 1);
        QVERIFY(stopped.wait(10000));
        QCOMPARE(qint64(second->pcm.size()),
                 (qint64(4500) * 44100 / 1000 - qint64(4000) * 44100 / 1000) * 2);
    }

    void noDeviceFails()
    {
        if (!QMediaDevices::defaultAudioOutput().isNull())
            QSKIP("this machine has a sound device");
        PreviewPlayer player;
        QSignalSpy failed(&player, &PreviewPlayer::failed);
        player.play(m_index, 0);
        QCOMPARE(failed.count(), 1);
        QCOMPARE(failed.first().first().toString(), u"No sound device."_s);
        QVERIFY(!player.isPlaying());
    }
};

QTEST_MAIN(TestPreviewPlayer)
#include "tst_previewplayer.moc"
