// Silence benchmark, run by hand: finds the silences of a 60-minute VBR album of twelve pieces
// with two seconds of digital silence between them, and of a 6-hour 320 kbit/s file, with our
// detector (in process and through mavlor-cli) and with ffmpeg -af silencedetect, next to
// mpg123 decoding the whole file; prints times and each process's peak memory.
// Usage: mavlor-bench-silence [WORKFOLDER]
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <algorithm>
#include <cstdio>

#include "benchprocess.h"
#include "decode/silencedetector.h"
#include "mp3/cheapmp3.h"

using namespace Qt::StringLiterals;

namespace {

constexpr int albumMinutes = 60;
constexpr int pieceSeconds = 300;
constexpr int gapSeconds = 2;
// Best of this many runs: the machine is shared, and the best run is the least disturbed.
constexpr int rounds = 5;

// The splitting benchmark's album (beeps over pink noise, which keeps lame's VBR busy), with
// every piece's last two seconds muted.
bool makeAudio(const QString &wav, int seconds)
{
    return BenchProcess::run(
        u"ffmpeg"_s,
        {u"-nostdin"_s, u"-v"_s, u"error"_s, u"-y"_s, u"-f"_s, u"lavfi"_s, u"-i"_s,
         u"sine=frequency=330:beep_factor=4:duration=%1"_s.arg(seconds), u"-f"_s, u"lavfi"_s,
         u"-i"_s, u"anoisesrc=color=pink:amplitude=0.05:duration=%1"_s.arg(seconds),
         u"-filter_complex"_s,
         u"amix=inputs=2,volume='lt(mod(t,%1),%2)':eval=frame,aformat=channel_layouts=stereo"_s
             .arg(pieceSeconds)
             .arg(pieceSeconds - gapSeconds),
         u"-ar"_s, u"44100"_s, wav});
}

bool makeAlbum(const QString &path)
{
    std::fprintf(stderr, "encoding a %d-minute album with lame (once)...\n", albumMinutes);
    const QString wav = path + u".wav"_s;
    const bool made = makeAudio(wav, albumMinutes * 60)
        && BenchProcess::run(u"lame"_s, {u"--quiet"_s, u"-V2"_s, wav, path});
    QFile::remove(wav);
    return made;
}

// Ten minutes (two pieces) at 320 kbit/s, encoded once without an information frame and
// repeated 36 times, which is one valid constant-bitrate stream.
bool makeLongFile(const QString &path)
{
    std::fprintf(stderr, "encoding ten minutes at 320 kbit/s with lame (once)...\n");
    const QString wav = path + u".wav"_s;
    const QString part = path + u".part.mp3"_s;
    if (!makeAudio(wav, 600)
        || !BenchProcess::run(u"lame"_s, {u"--quiet"_s, u"-b320"_s, u"-t"_s, wav, part}))
        return false;
    QFile::remove(wav);
    const bool written = BenchProcess::writeCopies(part, path, 36);
    QFile::remove(part);
    return written;
}

QString ffmpegFilter()
{
    return u"silencedetect=noise=%1dB:duration=%2"_s.arg(SilenceDetector::DEFAULT_THRESHOLD)
        .arg(SilenceDetector::DEFAULT_MINIMUM);
}

using Measured = BenchProcess::Measured;

Measured bestOf(int runs, const QStringList &command)
{
    Measured best = BenchProcess::measure(command);
    for (int i = 1; i < runs; ++i) {
        const Measured m = BenchProcess::measure(command);
        best.seconds = std::min(best.seconds, m.seconds);
        best.peakKiB = std::max(best.peakKiB, m.peakKiB);
    }
    return best;
}

// The silences ffmpeg's silencedetect reports with our default threshold and minimum.
int ffmpegSilenceCount(const QString &mp3)
{
    QProcess ffmpeg;
    ffmpeg.start(
        u"ffmpeg"_s,
        {u"-nostdin"_s, u"-i"_s, mp3, u"-af"_s, ffmpegFilter(), u"-f"_s, u"null"_s, u"-"_s});
    ffmpeg.waitForFinished(-1);
    return int(ffmpeg.readAllStandardError().count("silence_end"));
}

void report(const QString &mp3, int runs)
{
    CheapMP3 index(nullptr, nullptr, nullptr);
    QElapsedTimer timer;
    timer.start();
    index.readFile(mp3);
    const double indexSeconds = timer.nsecsElapsed() / 1e9;
    const double indexMiB = index.capacity() * (sizeof(qint64) + sizeof(int) + 1) / 1048576.0;

    SilenceList silences;
    double findSeconds = 1e9;
    for (int i = 0; i < runs; ++i) {
        SilenceDetector detector(index);
        timer.start();
        detector.find(&silences);
        findSeconds = std::min(findSeconds, timer.nsecsElapsed() / 1e9);
    }

    const Measured mpg123 = bestOf(runs, {u"mpg123"_s, u"-q"_s, u"-t"_s, mp3});
    const Measured cli = bestOf(runs, {QStringLiteral(MAVLOR_CLI), u"silences"_s, mp3});
    const Measured cliIndexOnly = bestOf(runs, {QStringLiteral(MAVLOR_CLI), u"info"_s, mp3});
    const Measured ffmpeg = bestOf(runs,
                                   {u"ffmpeg"_s, u"-nostdin"_s, u"-i"_s, mp3, u"-af"_s,
                                    ffmpegFilter(), u"-f"_s, u"null"_s, u"-"_s});

    std::printf("%s: %.1f MB, %d entries, index %.1f MiB; best of %d runs\n",
                qPrintable(QFileInfo(mp3).fileName()), QFileInfo(mp3).size() / 1e6,
                index.frameCount(), indexMiB, runs);
    std::printf("  index (in process)              %8.3f s\n", indexSeconds);
    std::printf("  find silences (in process)      %8.3f s  %d silences, %.3f x mpg123\n",
                findSeconds, int(silences.size()), findSeconds / mpg123.seconds);
    std::printf("  mavlor-cli silences             %8.3f s  peak %.1f MiB (info alone %.1f MiB)\n",
                cli.seconds, cli.peakKiB / 1024.0, cliIndexOnly.peakKiB / 1024.0);
    std::printf("  mpg123 -t (decode everything)   %8.3f s  peak %.1f MiB\n", mpg123.seconds,
                mpg123.peakKiB / 1024.0);
    std::printf("  ffmpeg -af silencedetect        %8.3f s  peak %.1f MiB, %d silences\n",
                ffmpeg.seconds, ffmpeg.peakKiB / 1024.0, ffmpegSilenceCount(mp3));
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QString work =
        args.size() > 1 ? args.at(1) : QDir::tempPath() + u"/mavlor-bench-silence"_s;
    QDir().mkpath(work);
    const QString album = work + u"/album60-gaps.mp3"_s;
    if (!QFileInfo::exists(album) && !makeAlbum(album))
        return 1;
    const QString longFile = work + u"/long360-gaps-320k.mp3"_s;
    if (!QFileInfo::exists(longFile) && !makeLongFile(longFile))
        return 1;
    // Warm the page cache.
    BenchProcess::run(u"cat"_s, {album, longFile});

    std::printf("threshold %.0f dB, minimum %.1f s\n", SilenceDetector::DEFAULT_THRESHOLD,
                SilenceDetector::DEFAULT_MINIMUM);
    report(album, rounds);
    report(longFile, 1);
    return 0;
}
