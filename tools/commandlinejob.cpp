#include "commandlinejob.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryFile>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "interruptnotifier.h"
#include "mp3/cheapmp3.h"
#include "terminaltext.h"
#include "tracks/timetext.h"
#include "tracks/tracklist.h"
#include "work/callbackcommand.h"
#include "work/mp3manager.h"

using namespace Qt::StringLiterals;

namespace {

void printLine(FILE *stream, const QString &text)
{
    // Names and titles come from files: no raw control characters reach the terminal.
    std::fputs((TerminalText::escaped(text) + u'\n').toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

// Whether the input can be opened for reading; a folder is refused before open() is tried, and
// a missing file reports the system's reason rather than none.
bool canRead(const QString &path, QString *error)
{
    const QFileInfo info(path);
    QFile input(path);
    QString why;
    if (info.exists() && !info.isFile())
        why = u"not a file"_s;
    else if (!input.open(QIODevice::ReadOnly))
        why = input.errorString();
    if (why.isEmpty())
        return true;
    if (error)
        *error = u"cannot read %1: %2"_s.arg(path, why);
    return false;
}

// Makes the folder if need be and proves a file can be created in it.
bool canWriteInto(const QString &folder, QString *error)
{
    QDir().mkpath(folder);
    QTemporaryFile probe(folder + u"/.mavlor-XXXXXX"_s);
    if (QFileInfo(folder).isDir() && probe.open())
        return true;
    if (error)
        *error = u"cannot write into folder %1: %2"_s.arg(folder, probe.errorString());
    return false;
}

} // namespace

CommandLineJob::CommandLineJob(const Options &options, QObject *parent)
    : QObject(parent)
    , m_options(options)
    , m_progress(options.quiet)
{
}

CommandLineJob::~CommandLineJob()
{
    TrackList::instance()->setCalculater(nullptr);
}

int CommandLineJob::run()
{
    QString error;
    if (!canRead(m_options.input, &error)) {
        fail(error);
        return m_status;
    }

    if (m_options.mode == Mode::Split) {
        if (!m_options.cueSheet.isEmpty() && !QFileInfo(m_options.cueSheet).isReadable()) {
            fail(u"cannot read CUE sheet %1"_s.arg(m_options.cueSheet));
            return m_status;
        }
        if (!canWriteInto(m_options.outputFolder, &error)) {
            fail(error);
            return m_status;
        }
    }

    Mp3Manager *manager = Mp3Manager::instance();
    connect(manager, &Mp3Manager::readProgress, this,
            [this](float percent) { m_progress.show(u"Reading"_s, static_cast<int>(percent)); });
    connect(manager, &Mp3Manager::readyCheapMP3, this, &CommandLineJob::onReadyCheapMP3);
    connect(manager, &Mp3Manager::readyCueFiles, this, &CommandLineJob::onReadyCueFiles);
    connect(manager, &Mp3Manager::cueSearchEnded, this, &CommandLineJob::onCueSearchEnded);
    connect(manager, &Mp3Manager::readyTracks, this, &CommandLineJob::onReadyTracks);
    connect(manager, &Mp3Manager::cueParseEnded, this, &CommandLineJob::onCueParseEnded);
    connect(manager, &Mp3Manager::sliceProgress, this, &CommandLineJob::onSliceProgress);
    connect(manager, &Mp3Manager::trackWritten, this, &CommandLineJob::onTrackWritten);
    connect(manager, &Mp3Manager::trackFailed, this, &CommandLineJob::onTrackFailed);
    manager->addCommand(
        std::make_unique<CallbackCommand>(EndRead, this, [this] { onReadEnded(); }));
    manager->addCommand(
        std::make_unique<CallbackCommand>(EndSlice, this, [this] { onSliceEnded(); }));

    m_interrupt = std::make_unique<InterruptNotifier>();
    connect(m_interrupt.get(), &InterruptNotifier::interruptRequested, this,
            &CommandLineJob::onInterrupt);

    manager->openMp3(QFileInfo(m_options.input).absoluteFilePath());
    if (m_stage != Stage::Done)
        QCoreApplication::exec();
    return m_status;
}

int CommandLineJob::totalLength() const
{
    if (!m_index || m_index->sampleRate() <= 0)
        return 0;
    return static_cast<int>(qint64(m_index->frameCount()) * CheapMP3::SAMPLES_PER_ENTRY * 1000
                            / m_index->sampleRate());
}

bool CommandLineJob::parseTrackSelection(const QString &text, QSet<int> *selection)
{
    selection->clear();
    if (text.trimmed().isEmpty())
        return true;
    static const QRegularExpression item(u"^\\s*(\\d+)\\s*(?:-\\s*(\\d+)\\s*)?$"_s);
    for (const QString &part : text.split(u',')) {
        const QRegularExpressionMatch match = item.match(part);
        if (!match.hasMatch())
            return false;
        bool ok = false;
        const int from = match.captured(1).toInt(&ok);
        if (!ok || from < 1)
            return false;
        const int to = match.captured(2).isEmpty() ? from : match.captured(2).toInt(&ok);
        if (!ok || to < from || to - from > 10000)
            return false;
        for (int n = from; n <= to; ++n)
            selection->insert(n);
    }
    return true;
}

bool CommandLineJob::parseTime(const QString &text, int *milliseconds)
{
    const QString trimmed = text.trimmed();
    if (trimmed.contains(u':')) {
        bool ok = false;
        const int ms = TimeText::parse(trimmed, &ok);
        if (ok)
            *milliseconds = ms;
        return ok;
    }
    static const QRegularExpression seconds(u"^\\d+(\\.\\d+)?$"_s);
    if (!seconds.match(trimmed).hasMatch())
        return false;
    const double value = trimmed.toDouble() * 1000.0;
    if (value > 2147483647.0)
        return false;
    *milliseconds = static_cast<int>(value + 0.5);
    return true;
}

void CommandLineJob::onReadyCheapMP3(CheapMP3 *index)
{
    m_index.reset(index);
}

void CommandLineJob::onReadyCueFiles(const FileFinder::FileList &files)
{
    m_cueFiles = files;
}

void CommandLineJob::onReadEnded()
{
    if (m_stage != Stage::Reading && m_stage != Stage::ReadingSearchEnded)
        return;
    const bool cueSearchEnded = m_stage == Stage::ReadingSearchEnded;
    m_stage = Stage::Searching;
    m_progress.finish();
    if (m_interrupt->interrupted() || !m_index) {
        fail(u"stopped"_s);
        return;
    }
    if (m_index->frameCount() == 0 || m_index->sampleRate() <= 0) {
        fail(u"%1 is not an MP3 file: no MPEG audio frames found"_s.arg(m_options.input));
        return;
    }
    if (m_options.mode == Mode::Info) {
        printInfo();
        finish(0);
        return;
    }
    buildTracks(cueSearchEnded);
}

void CommandLineJob::onCueSearchEnded()
{
    if (m_stage == Stage::Reading)
        m_stage = Stage::ReadingSearchEnded;
    else if (m_stage == Stage::Searching)
        buildTracks(true);
}

void CommandLineJob::buildTracks(bool cueSearchEnded)
{
    const bool explicitSource = !m_options.cueSheet.isEmpty() || !m_options.cutTimes.isEmpty()
        || !m_options.tracks.isEmpty();
    if (!explicitSource && !cueSearchEnded)
        return;

    if (!m_options.tracks.isEmpty()) {
        sliceListTracks(m_options.tracks);
        return;
    }

    if (!m_options.cueSheet.isEmpty()) {
        m_stage = Stage::ParsingCue;
        Mp3Manager::instance()->parseCue(m_options.cueSheet);
        return;
    }

    if (m_options.cutTimes.isEmpty()) {
        // The window's rule: one sheet whose base name is the MP3's is taken without asking.
        if (m_cueFiles.size() == 1
            && QFileInfo(m_cueFiles.first()).baseName() == QFileInfo(m_options.input).baseName()) {
            m_options.cueSheet = m_cueFiles.first();
            if (!m_options.quiet)
                printLine(stdout, u"Using CUE sheet %1"_s.arg(m_options.cueSheet));
            m_stage = Stage::ParsingCue;
            Mp3Manager::instance()->parseCue(m_options.cueSheet);
            return;
        }
    }

    const int total = totalLength();
    QList<int> cuts;
    for (int t : std::as_const(m_options.cutTimes)) {
        if (t > 0 && t < total && !cuts.contains(t))
            cuts.append(t);
    }
    std::sort(cuts.begin(), cuts.end());
    cuts.prepend(0);
    cuts.append(total);
    TrackContainer tracks;
    const QString name = baseName();
    for (int i = 0; i + 1 < cuts.size(); ++i)
        tracks.append(Track{name, name, i + 1, cuts[i], cuts[i + 1]});
    sliceTracks(tracks);
}

void CommandLineJob::onReadyTracks(const TrackContainer &tracks)
{
    if (m_stage == Stage::ParsingCue)
        sliceListTracks(tracks);
}

void CommandLineJob::sliceListTracks(const TrackContainer &tracks)
{
    TrackList *list = TrackList::instance();
    list->setCalculater(this);
    list->setSourcePath(m_options.input);
    list->setTracks(tracks);
    TrackContainer filled;
    for (int i = 0; i < list->count(); ++i) {
        // A freedb disc longer than the music is the user's choice, not a failure: its tracks
        // past the end have nothing to hold. A sheet's such track still fails by name.
        const Track track = list->trackAt(i);
        if (!m_options.tracks.isEmpty() && track.start >= totalLength()) {
            printLine(stderr,
                      u"mavlor-cli: track %1 starts after the end of the music; not written"_s.arg(
                          track.number));
            continue;
        }
        filled.append(track);
    }
    sliceTracks(filled);
}

void CommandLineJob::onCueParseEnded()
{
    if (m_stage == Stage::ParsingCue)
        fail(u"no tracks found in CUE sheet %1"_s.arg(m_options.cueSheet));
}

void CommandLineJob::sliceTracks(const TrackContainer &tracks)
{
    const QSet<int> &selection = m_options.trackSelection;
    TrackContainer chosen;
    for (const Track &track : tracks) {
        if (selection.isEmpty() || selection.contains(track.number))
            chosen.append(track);
    }
    for (int number : std::as_const(selection)) {
        if (number > tracks.size()) {
            fail(u"there is no track %1; the file has %2 tracks"_s.arg(number).arg(tracks.size()));
            return;
        }
    }
    m_tracksToWrite = chosen.size();
    m_stage = Stage::Slicing;
    Mp3Manager::instance()->slice(QDir(m_options.outputFolder).absolutePath(), chosen,
                                  m_index.get());
}

void CommandLineJob::onSliceProgress(SliceProgress progress)
{
    if (m_tracksToWrite <= 0)
        return;
    const double share = 100.0 / m_tracksToWrite;
    const int done = std::clamp(m_tracksWritten + m_tracksFailed, 0, m_tracksToWrite);
    m_progress.show(u"Writing track %1"_s.arg(progress.track),
                    static_cast<int>(share * done + progress.percent / 100.0 * share));
}

void CommandLineJob::onTrackWritten(int track, const QString &path)
{
    Q_UNUSED(track);
    ++m_tracksWritten;
    if (!m_options.quiet) {
        m_progress.finish();
        printLine(stdout, path);
    }
}

void CommandLineJob::onTrackFailed(int track, const QString &path, const QString &reason)
{
    ++m_tracksFailed;
    m_progress.finish();
    printLine(stderr, u"mavlor-cli: track %1 (%2) not written: %3"_s.arg(track).arg(path, reason));
}

void CommandLineJob::onSliceEnded()
{
    if (m_stage != Stage::Slicing)
        return;
    m_progress.finish();
    if (m_interrupt->interrupted()) {
        fail(u"stopped; %1 of %2 tracks written"_s.arg(m_tracksWritten).arg(m_tracksToWrite));
        return;
    }
    finish(m_tracksWritten == m_tracksToWrite ? 0 : 1);
}

void CommandLineJob::onInterrupt()
{
    Mp3Manager::instance()->onStopAnyWork();
}

void CommandLineJob::printInfo()
{
    const CheapMP3 &index = *m_index;
    const qint64 ms = totalLength();
    printLine(stdout, u"File:            %1"_s.arg(m_options.input));
    printLine(stdout,
              u"Frames:          %1 (of %2 samples each)"_s.arg(index.frameCount())
                  .arg(CheapMP3::SAMPLES_PER_ENTRY));
    printLine(stdout,
              u"Duration:        %1 (%2 s)"_s.arg(TimeText::format(static_cast<int>(ms)))
                  .arg(ms / 1000.0, 0, 'f', 3));
    printLine(stdout, u"Sample rate:     %1 Hz"_s.arg(index.sampleRate()));
    printLine(stdout, u"Channels:        %1"_s.arg(index.channels()));
    printLine(stdout, u"Average bitrate: %1 kbit/s"_s.arg(index.averageBitrate()));
    printLine(stdout,
              u"Bitrate:         %1"_s.arg(index.bitrateVaries() ? u"variable"_s : u"constant"_s));
}

void CommandLineJob::fail(const QString &message)
{
    m_progress.finish();
    printLine(stderr, u"mavlor-cli: "_s + message);
    finish(m_interrupt && m_interrupt->interrupted() ? 130 : 2);
}

void CommandLineJob::finish(int status)
{
    if (m_stage == Stage::Done)
        return;
    m_stage = Stage::Done;
    m_status = status;
    // Leave the loop only once the worker that may still run has been told to stop.
    if (m_interrupt)
        Mp3Manager::instance()->onStopAnyWork();
    QCoreApplication::exit(status);
}

QString CommandLineJob::baseName() const
{
    return QFileInfo(m_options.input).completeBaseName();
}
