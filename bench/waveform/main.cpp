// Waveform benchmark, run by hand: indexes a 6-hour MP3 (a 5-minute piece encoded once by
// lame, repeated), builds the levels and paints the view offscreen at every level, and
// prints the times. Usage: mavlor-bench-waveform [WORKFOLDER]
// With --picture OUT.png [WORKFOLDER] it saves instead what the 5-minute piece looks like:
// slider, waveform with four tracks and the marker on a boundary, at levels 3 and 0.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <sys/resource.h>

#include "benchprocess.h"
#include "mp3/cheapmp3.h"
#include "tracks/tracklist.h"
#include "waveform/markerwidget.h"
#include "waveform/slider.h"
#include "waveform/waveformwidget.h"

#include <QPainter>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

constexpr int pieceMinutes = 5;
constexpr int copies = 72; // 6 hours
constexpr int rounds = 3;
constexpr int paintsPerLevel = 50;

// Beeps over pink noise with a slowly swelling volume, so the outline has a shape. Encoded
// without an Info frame (-t) so that the copies join into one plain stream.
bool makePiece(const QString &path)
{
    std::fprintf(stderr, "encoding a %d-minute piece with lame (once)...\n", pieceMinutes);
    const QString wav = path + u".wav"_s;
    const int seconds = pieceMinutes * 60;
    if (!BenchProcess::run(u"ffmpeg"_s,
                           {u"-nostdin"_s, u"-v"_s, u"error"_s, u"-y"_s, u"-f"_s, u"lavfi"_s,
                            u"-i"_s, u"sine=frequency=330:beep_factor=4:duration=%1"_s.arg(seconds),
                            u"-f"_s, u"lavfi"_s, u"-i"_s,
                            u"anoisesrc=color=pink:amplitude=0.2:duration=%1"_s.arg(seconds),
                            u"-filter_complex"_s,
                            u"amix=inputs=2,volume='0.05+0.95*abs(sin(t/9))':eval=frame,"
                            u"aformat=channel_layouts=stereo"_s,
                            u"-ar"_s, u"44100"_s, wav}))
        return false;
    const bool encoded = BenchProcess::run(u"lame"_s, {u"--quiet"_s, u"-t"_s, u"-V2"_s, wav, path});
    QFile::remove(wav);
    return encoded && QFileInfo(path).size() > 0;
}

double seconds(const QElapsedTimer &timer)
{
    return timer.nsecsElapsed() / 1e9;
}

long peakRssKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// The slider above the waveform as the window holds them, with the marker floating over.
bool savePicture(const QString &piece, const QString &out)
{
    QWidget pane;
    auto *layout = new QVBoxLayout(&pane);
    layout->setSpacing(0);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *slider = new Slider(&pane);
    slider->setFixedHeight(12);
    slider->hide();
    auto *view = new WaveformWidget(&pane);
    layout->addWidget(slider);
    layout->addWidget(view);
    auto *marker = new MarkerWidget(&pane);
    marker->setWaveform(view);
    view->setSlider(slider);
    pane.resize(800, 240);
    pane.show();
    QApplication::processEvents();

    auto index = std::make_unique<CheapMP3>(nullptr, nullptr, nullptr);
    index->readFile(piece);
    if (index->frameCount() == 0)
        return false;
    view->setFrameIndex(std::move(index));
    const int total = view->totalLength();
    TrackContainer tracks;
    for (int i = 0; i < 4; ++i)
        tracks.append(
            Track{u"Track %1"_s.arg(i + 1), u"Bench"_s, i + 1, total * i / 4, total * (i + 1) / 4});
    TrackList::instance()->setTracks(tracks);
    slider->setShowTrackMarks(true);
    QApplication::processEvents();

    QImage picture(800, 2 * 240 + 10, QImage::Format_RGB32);
    picture.fill(Qt::white);
    QPainter painter(&picture);
    for (int shot = 0; shot < 2; ++shot) {
        if (shot == 1) {
            while (view->level() > 0)
                view->zoomIn();
            view->setScrollOffset(view->pixelAtTime(total / 4) - 400);
            view->scrollBy(0);
        }
        const int boundary = view->pixelAtTime(total / 4) - view->scrollOffset();
        marker->placeAt(QPoint(boundary + 10, 120));
        QApplication::processEvents();
        painter.drawPixmap(0, shot * 250, pane.grab());
    }
    painter.end();
    TrackList::instance()->setTracks({});
    return picture.save(out);
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const bool picture = args.size() > 2 && args.at(1) == u"--picture"_s;
    const int workArg = picture ? 3 : 1;
    const QString work =
        args.size() > workArg ? args.at(workArg) : QDir::tempPath() + u"/mavlor-bench"_s;
    QDir().mkpath(work);
    const QString piece = work + u"/piece5.mp3"_s;
    const QString longFile = work + u"/waveform360.mp3"_s;
    if (!QFileInfo::exists(piece) && !makePiece(piece))
        return 1;
    if (picture)
        return savePicture(piece, args.at(2)) ? 0 : 1;
    if (!QFileInfo::exists(longFile) && !BenchProcess::writeCopies(piece, longFile, copies))
        return 1;

    QElapsedTimer timer;
    double indexTime = 1e9;
    double buildTime = 1e9;
    WaveformWidget view;
    view.resize(1280, 300);
    view.show();
    app.processEvents();
    for (int i = 0; i < rounds; ++i) {
        auto index = std::make_unique<CheapMP3>(nullptr, nullptr, nullptr);
        timer.start();
        index->readFile(longFile);
        indexTime = std::min(indexTime, seconds(timer));
        timer.restart();
        view.setFrameIndex(std::move(index));
        buildTime = std::min(buildTime, seconds(timer));
    }
    const int entries = view.frameIndex()->frameCount();
    std::printf("file: %.1f hours, %.0f MB, %d entries; best of %d runs\n",
                double(entries) * CheapMP3::SAMPLES_PER_ENTRY / view.frameIndex()->sampleRate()
                    / 3600.0,
                QFileInfo(longFile).size() / 1e6, entries, rounds);
    std::printf("index (readFile)            %8.3f s\n", indexTime);
    std::printf("build the levels            %8.3f s\n", buildTime);

    // Every level, from the fitted one in: the zoom (column heights of the level) and a paint
    // of a full 1280 x 300 view in the middle of the file.
    view.fitToView();
    std::printf("level  columns   zoom (ms)  paint (ms, mean of %d)\n", paintsPerLevel);
    for (int level = view.fitLevel(); level >= 0; --level) {
        double zoomTime = 0.0;
        if (view.level() != level) {
            timer.restart();
            view.zoomIn();
            zoomTime = seconds(timer);
        }
        view.setScrollOffset(view.maximumScrollOffset() / 2);
        QPixmap target(view.size());
        view.render(&target);
        timer.restart();
        for (int i = 0; i < paintsPerLevel; ++i) {
            view.scrollBy(1);
            view.render(&target);
        }
        const double paintTime = seconds(timer) / paintsPerLevel;
        std::printf("%5d %9d %11.3f %11.3f\n", level, view.totalWidth(), zoomTime * 1e3,
                    paintTime * 1e3);
    }
    std::printf("peak RSS %.1f MiB\n", peakRssKiB() / 1024.0);
    return 0;
}
