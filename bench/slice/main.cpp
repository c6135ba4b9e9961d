// Splitting benchmark, run by hand: indexes and splits a 60-minute VBR album (made once by
// lame and kept in the work folder) into 12 tracks, and prints our times next to cat, cp and
// mp3splt on the same warm file. Usage: mavlor-bench-split [WORKFOLDER]
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <sys/resource.h>

#include "mp3/cheapmp3.h"
#include "slice/slicethreadobject.h"
#include "threads/thread.h"

using namespace Qt::StringLiterals;

namespace {

constexpr int trackCount = 12;
constexpr int albumMinutes = 60;
// Every figure is the best of this many runs: millisecond timings on a shared machine are
// noisy, and the best run is the one least disturbed.
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
    if (run(u"ffmpeg"_s, {u"-nostdin"_s, u"-v"_s, u"error"_s, u"-y"_s, u"-f"_s, u"lavfi"_s, u"-i"_s,
                          u"sine=frequency=330:beep_factor=4:duration=%1"_s.arg(albumMinutes * 60),
                          u"-f"_s, u"lavfi"_s, u"-i"_s,
                          u"anoisesrc=color=pink:amplitude=0.05:duration=%1"_s.arg(albumMinutes * 60),
                          u"-filter_complex"_s, u"amix=inputs=2,aformat=channel_layouts=stereo"_s,
                          u"-ar"_s, u"44100"_s, wav}) < 0)
        return false;
    run(u"lame"_s, {u"--quiet"_s, u"-V2"_s, wav, path});
    QFile::remove(wav);
    return QFileInfo(path).size() > 0;
}

// The 6-hour file for the memory figure: the album's bytes six times over.
bool makeLongFile(const QString &album, const QString &path)
{
    QFile in(album);
    QFile out(path);
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly))
        return false;
    const QByteArray bytes = in.readAll();
    for (int i = 0; i < 6; ++i)
        out.write(bytes);
    return true;
}

TrackContainer tracksOf(const CheapMP3 &index)
{
    const int total = int(qint64(index.frameCount()) * 1152 * 1000 / index.sampleRate());
    TrackContainer tracks;
    for (int i = 0; i < trackCount; ++i)
        tracks.append(Track{u"Track %1"_s.arg(i + 1), u"Bench"_s, i + 1, total * i / trackCount,
                            total * (i + 1) / trackCount});
    return tracks;
}

QString splitTime(int ms)
{
    // mp3splt's min.sec.hundredths form.
    return u"%1.%2.%3"_s.arg(ms / 60000).arg((ms / 1000) % 60, 2, 10, QChar(u'0'))
        .arg((ms % 1000) / 10, 2, 10, QChar(u'0'));
}

long peakRssKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();

    if (args.size() == 3 && args.at(1) == u"--index-only"_s) {
        CheapMP3 index(nullptr, nullptr, nullptr);
        index.readFile(args.at(2));
        std::printf("%d %ld\n", index.frameCount(), peakRssKiB());
        return 0;
    }

    const QString work = args.size() > 1 ? args.at(1) : QDir::tempPath() + u"/mavlor-bench"_s;
    QDir().mkpath(work);
    const QString album = work + u"/album60.mp3"_s;
    if (!QFileInfo::exists(album) && !makeAlbum(album))
        return 1;
    const double megabytes = QFileInfo(album).size() / 1e6;

    // Warm the page cache, then time the plain readers of the same bytes.
    run(u"cat"_s, {album}, u"/dev/null"_s);
    const double catTime = best([&] { return run(u"cat"_s, {album}, u"/dev/null"_s); });
    const QString copy = work + u"/copy.mp3"_s;
    const double cpTime = best([&] {
        QFile::remove(copy);
        return run(u"cp"_s, {album, copy});
    });
    QFile::remove(copy);

    QElapsedTimer timer;
    std::unique_ptr<CheapMP3> index;
    const double indexTime = best([&] {
        timer.start();
        index = std::make_unique<CheapMP3>(nullptr, nullptr, nullptr);
        index->readFile(album);
        return timer.nsecsElapsed() / 1e9;
    });
    const TrackContainer tracks = tracksOf(*index);

    // The copy alone, as the slice job makes it before tagging and repair.
    const QString copyDir = work + u"/copy"_s;
    QDir(copyDir).removeRecursively();
    QDir().mkpath(copyDir);
    const double copyTime = best([&] {
        timer.restart();
        for (const Track &track : tracks) {
            const int first = SliceThreadObject::entryAt(track.start, index->sampleRate());
            const int last = SliceThreadObject::entryAt(track.end, index->sampleRate());
            index->writeFile(copyDir + u"/%1.mp3"_s.arg(track.number), first, last - first);
        }
        return timer.nsecsElapsed() / 1e9;
    });

    // The whole slice job: copy, tag and repair, on its worker thread.
    const QString sliceDir = work + u"/slice"_s;
    QDir(sliceDir).removeRecursively();
    QDir().mkpath(sliceDir);
    SliceThreadObject object;
    Thread thread(&object);
    QSignalSpy stopped(&thread, &Thread::stopped);
    const double sliceTime = best([&] {
        object.setOutputFolder(sliceDir);
        object.setTracks(tracks);
        object.setIndex(index.get());
        index->setContinueListener(&object);
        index->setWriteListener(&object);
        stopped.clear();
        timer.restart();
        thread.startWork();
        stopped.wait(600000);
        return timer.nsecsElapsed() / 1e9;
    });

    const QString splitDir = work + u"/mp3splt"_s;
    QDir(splitDir).removeRecursively();
    QDir().mkpath(splitDir);
    QStringList splitArgs{u"-q"_s, u"-d"_s, splitDir, album};
    for (const Track &track : tracks)
        splitArgs << splitTime(track.start);
    splitArgs << u"EOF"_s;
    const double splitTimeSeconds = best([&] { return run(u"mp3splt"_s, splitArgs); });

    const QString longFile = work + u"/album360.mp3"_s;
    if (!QFileInfo::exists(longFile))
        makeLongFile(album, longFile);
    QProcess indexOnly;
    indexOnly.start(app.applicationFilePath(), {u"--index-only"_s, longFile});
    indexOnly.waitForFinished(-1);
    const QList<QByteArray> memory = indexOnly.readAllStandardOutput().trimmed().split(' ');

    std::printf("album: %d minutes VBR, %.1f MB, %d entries, %d tracks; best of %d runs\n",
                albumMinutes, megabytes, index->frameCount(), trackCount, rounds);
    std::printf("cat > /dev/null          %8.3f s\n", catTime);
    std::printf("cp                       %8.3f s\n", cpTime);
    std::printf("index                    %8.3f s  (%.2f x cat)\n", indexTime, indexTime / catTime);
    std::printf("split, copy only         %8.3f s  (%.2f x cp)\n", copyTime, copyTime / cpTime);
    std::printf("split, tag and repair    %8.3f s  (%.2f x mp3splt)\n", sliceTime,
                sliceTime / splitTimeSeconds);
    std::printf("mp3splt                  %8.3f s\n", splitTimeSeconds);
    if (memory.size() == 2)
        std::printf("6-hour index: %s entries, peak RSS %.1f MiB\n", memory[0].constData(),
                    memory[1].toLong() / 1024.0);
    return 0;
}
