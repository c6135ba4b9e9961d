// Splitting benchmark, run by hand: indexes a 60-minute VBR album (made once by lame and kept
// in the work folder), then splits it by a 12-track sheet, and a 6-hour 320 kbit/s file by a
// 72-track sheet, with mavlor-cli in both modes and with mp3splt on the same warm files, and
// prints times and each process's peak memory.
// Usage: [MAVLOR_BENCH_CLI=path] mavlor-bench-split [WORKFOLDER]
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include "benchprocess.h"
#include "mp3/cheapmp3.h"

using namespace Qt::StringLiterals;

namespace {

constexpr int trackCount = 12;
constexpr int albumMinutes = 60;
// Figures are the median and the best of this many runs: millisecond timings on a shared
// machine are noisy, and the best run is the one least disturbed.
constexpr int rounds = 5;

template<typename F>
double best(F &&timed)
{
    double fastest = timed();
    for (int i = 1; i < rounds; ++i)
        fastest = std::min(fastest, timed());
    return fastest;
}

double run(const QString &program, const QStringList &arguments, const QString &output = {})
{
    QProcess process;
    if (!output.isEmpty())
        process.setStandardOutputFile(output);
    QElapsedTimer timer;
    timer.start();
    process.start(program, arguments);
    process.waitForFinished(-1);
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        std::fprintf(stderr, "%s failed: %s\n", qPrintable(program),
                     process.readAllStandardError().constData());
    return seconds;
}

// A tone that changes every few seconds keeps lame's VBR choosing different bitrates.
bool makeAlbum(const QString &path)
{
    std::fprintf(stderr, "encoding a %d-minute album with lame (once)...\n", albumMinutes);
    const QString wav = path + u".wav"_s;
    if (run(u"ffmpeg"_s,
            {u"-nostdin"_s, u"-v"_s, u"error"_s, u"-y"_s, u"-f"_s, u"lavfi"_s, u"-i"_s,
             u"sine=frequency=330:beep_factor=4:duration=%1"_s.arg(albumMinutes * 60), u"-f"_s,
             u"lavfi"_s, u"-i"_s,
             u"anoisesrc=color=pink:amplitude=0.05:duration=%1"_s.arg(albumMinutes * 60),
             u"-filter_complex"_s, u"amix=inputs=2,aformat=channel_layouts=stereo"_s, u"-ar"_s,
             u"44100"_s, wav})
        < 0)
        return false;
    run(u"lame"_s, {u"--quiet"_s, u"-V2"_s, wav, path});
    QFile::remove(wav);
    return QFileInfo(path).size() > 0;
}

// A sheet of `count` equal tracks over `minutes`, titled and performed like a real one.
bool writeSheet(const QString &path, const QString &mp3, int minutes, int count)
{
    QFile sheet(path);
    if (!sheet.open(QIODevice::WriteOnly))
        return false;
    QByteArray text = "PERFORMER \"Bench\"\nTITLE \"Bench\"\nFILE \""
        + QFileInfo(mp3).fileName().toUtf8() + "\" MP3\n";
    const qint64 total = qint64(minutes) * 60 * 75; // CUE frames
    for (int i = 0; i < count; ++i) {
        const qint64 at = total * i / count;
        text += QByteArray("  TRACK ") + QByteArray::number(i + 1).rightJustified(2, '0')
            + " AUDIO\n    TITLE \"Track " + QByteArray::number(i + 1)
            + "\"\n    PERFORMER \"Bench\"\n    INDEX 01 "
            + QByteArray::number(at / 75 / 60).rightJustified(2, '0') + ':'
            + QByteArray::number(at / 75 % 60).rightJustified(2, '0') + ':'
            + QByteArray::number(at % 75).rightJustified(2, '0') + '\n';
    }
    return sheet.write(text) == text.size();
}

// The 6-hour file: ten minutes of 320 kbit/s encoded once by lame without an information
// frame, repeated 36 times, which is one valid constant-bitrate stream.
bool makeLongCbrFile(const QString &path)
{
    std::fprintf(stderr, "encoding ten minutes at 320 kbit/s with lame (once)...\n");
    const QString wav = path + u".wav"_s;
    const QString part = path + u".part.mp3"_s;
    run(u"ffmpeg"_s,
        {u"-nostdin"_s, u"-v"_s, u"error"_s, u"-y"_s, u"-f"_s, u"lavfi"_s, u"-i"_s,
         u"anoisesrc=color=pink:amplitude=0.3:duration=600"_s, u"-ac"_s, u"2"_s, u"-ar"_s,
         u"44100"_s, wav});
    run(u"lame"_s, {u"--quiet"_s, u"-b320"_s, u"-t"_s, wav, part});
    QFile::remove(wav);
    const bool written = BenchProcess::writeCopies(part, path, 36);
    QFile::remove(part);
    return written;
}

// MAVLOR_BENCH_CLI names another build to time (an older one, for before and after).
QString ourProgram()
{
    const QString chosen = qEnvironmentVariable("MAVLOR_BENCH_CLI");
    return chosen.isEmpty() ? QStringLiteral(MAVLOR_CLI) : chosen;
}

using Measured = BenchProcess::Measured;

// Best and median of each figure over the runs; the peak memory is the highest seen.
struct Summary
{
    std::vector<Measured> runs;

    double bestSeconds() const { return pick(&Measured::seconds, false); }
    double medianSeconds() const { return pick(&Measured::seconds, true); }
    double medianCpu() const { return pick(&Measured::cpuSeconds, true); }
    double peakMiB() const
    {
        long peak = 0;
        for (const Measured &run : runs)
            peak = std::max(peak, run.peakKiB);
        return peak / 1024.0;
    }

private:
    double pick(double Measured::*figure, bool median) const
    {
        std::vector<double> values;
        for (const Measured &run : runs)
            values.push_back(run.*figure);
        std::sort(values.begin(), values.end());
        return values.empty() ? 0 : median ? values[values.size() / 2] : values.front();
    }
};

// One file split by its sheet in both our modes and by mp3splt, in the same rounds.
struct Splits
{
    Summary frameExact;
    Summary sampleExact;
    Summary theirs;
    Summary theirsFlushed;
};

// Seconds to flush every file of a folder to disk, one after the other.
double flushFolder(const QString &folder)
{
    QElapsedTimer timer;
    timer.start();
    for (const QFileInfo &file : QDir(folder).entryInfoList(QDir::Files)) {
        const int fd = ::open(QFile::encodeName(file.filePath()).constData(), O_RDONLY);
        if (fd >= 0) {
            ::fsync(fd);
            ::close(fd);
        }
    }
    return timer.nsecsElapsed() / 1e9;
}

// Our splits (frame-exact, then sample-exact) and mp3splt's of the same file by the same
// sheet, alternating.
Splits splitAll(const QString &mp3, const QString &sheet, const QString &work, int runs)
{
    const QString ourDir = work + u"/ours"_s;
    const QString theirDir = work + u"/mp3splt"_s;
    const auto fresh = [](const QString &dir) {
        QDir(dir).removeRecursively();
        QDir().mkpath(dir);
        // No run pays for another's dirty pages: ours waits for its own tracks to reach
        // the disk, mp3splt leaves them in the page cache.
        ::sync();
    };
    const auto ours = [&](bool sampleExact) {
        fresh(ourDir);
        QStringList command{ourProgram(), u"split"_s, mp3,    u"--cue"_s,
                            sheet,        u"--out"_s, ourDir, u"--quiet"_s};
        if (sampleExact)
            command << u"--sample-exact"_s;
        return BenchProcess::measure(command);
    };
    Splits splits;
    for (int i = 0; i < runs; ++i) {
        splits.frameExact.runs.push_back(ours(false));
        fresh(theirDir);
        Measured theirs =
            BenchProcess::measure({u"mp3splt"_s, u"-q"_s, u"-c"_s, sheet, u"-d"_s, theirDir, mp3});
        splits.theirs.runs.push_back(theirs);
        // What mp3splt leaves in the page cache, flushed as ours is: the same durability.
        theirs.seconds += flushFolder(theirDir);
        splits.theirsFlushed.runs.push_back(theirs);
        splits.sampleExact.runs.push_back(ours(true));
    }
    QDir(ourDir).removeRecursively();
    QDir(theirDir).removeRecursively();
    return splits;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();

    const QString work = args.size() > 1 ? args.at(1) : QDir::tempPath() + u"/mavlor-bench"_s;
    QDir().mkpath(work);
    const QString album = work + u"/album60.mp3"_s;
    if (!QFileInfo::exists(album) && !makeAlbum(album))
        return 1;
    const QString longFile = work + u"/long360-320k.mp3"_s;
    if (!QFileInfo::exists(longFile) && !makeLongCbrFile(longFile))
        return 1;
    const QString albumSheet = work + u"/album60.cue"_s;
    const QString longSheet = work + u"/long360-320k.cue"_s;
    if (!writeSheet(albumSheet, album, albumMinutes, trackCount)
        || !writeSheet(longSheet, longFile, 360, 72))
        return 1;

    // Warm the page cache, then time the plain reader of the same bytes.
    run(u"cat"_s, {album, longFile}, u"/dev/null"_s);
    const double catTime = best([&] { return run(u"cat"_s, {album}, u"/dev/null"_s); });
    QElapsedTimer timer;
    int entries = 0;
    const double indexTime = best([&] {
        timer.start();
        CheapMP3 index(nullptr, nullptr, nullptr);
        index.readFile(album);
        entries = index.frameCount();
        return timer.nsecsElapsed() / 1e9;
    });

    const Splits albumSplit = splitAll(album, albumSheet, work, rounds);
    const Splits longSplit = splitAll(longFile, longSheet, work, 3);

    std::printf("album: %d minutes VBR, %.1f MB, %d entries; best of %d runs\n", albumMinutes,
                QFileInfo(album).size() / 1e6, entries, rounds);
    std::printf("cat > /dev/null          %8.3f s\n", catTime);
    std::printf("index                    %8.3f s  (%.2f x cat)\n", indexTime, indexTime / catTime);
    std::printf("whole split by sheet with tags and headers, mavlor-cli in both modes (every track"
                " flushed to disk) and mp3splt -c,\none process each, alternating; %d runs, 3 for"
                " the 6-hour file; x = our median / mp3splt's median (best / best):\n",
                rounds);
    const auto print = [](const char *name, const Splits &splits) {
        const Summary &theirs = splits.theirs;
        std::printf("  %s\n", name);
        const auto line = [&](const char *mode, const Summary &ours) {
            std::printf(
                "    %-13s median %6.3f s (%.2f x), best %6.3f s (%.2f x), median CPU %.3f s,"
                " peak memory %5.1f MiB\n",
                mode, ours.medianSeconds(), ours.medianSeconds() / theirs.medianSeconds(),
                ours.bestSeconds(), ours.bestSeconds() / theirs.bestSeconds(), ours.medianCpu(),
                ours.peakMiB());
        };
        line("frame-exact", splits.frameExact);
        line("sample-exact", splits.sampleExact);
        std::printf("    %-13s median %6.3f s,          best %6.3f s,          median CPU %.3f s,"
                    " peak memory %5.1f MiB\n",
                    "mp3splt -c", theirs.medianSeconds(), theirs.bestSeconds(), theirs.medianCpu(),
                    theirs.peakMiB());
        const Summary &flushed = splits.theirsFlushed;
        std::printf("    %-13s median %6.3f s,          best %6.3f s  (mp3splt, then its tracks"
                    " flushed to disk as ours are)\n",
                    "", flushed.medianSeconds(), flushed.bestSeconds());
    };
    print("60-min VBR, 12 tracks", albumSplit);
    print("6-h 320k, 72 tracks", longSplit);
    return 0;
}
