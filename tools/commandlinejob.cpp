#include "commandlinejob.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryFile>

#include <cstdio>
#include <memory>

#include "interruptnotifier.h"
#include "mp3/cheapmp3.h"
#include "terminaltext.h"
#include "tracks/timetext.h"
#include "tracks/tracklist.h"
#include "work/mp3manager.h"
#include "work/session.h"

using namespace Qt::StringLiterals;

namespace {

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

CommandLineJob::~CommandLineJob() = default;

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

    m_session = std::make_unique<Session>(Mp3Manager::instance());
    const bool givenSource = !m_options.cueSheet.isEmpty() || !m_options.cutTimes.isEmpty()
        || !m_options.tracks.isEmpty() || m_options.silence;
    // Nobody is asked here: only the MP3's own sheet is taken, and none when tracks are given.
    m_session->setSheetRule(givenSource || m_options.mode == Mode::Info
                                ? Session::SheetRule::None
                                : Session::SheetRule::OwnOnly);
    connect(m_session.get(), &Session::readProgress, this,
            [this](int percent) { m_progress.show(u"Reading"_s, percent); });
    connect(m_session.get(), &Session::fileOpened, this, &CommandLineJob::onFileOpened);
    connect(m_session.get(), &Session::openFailed, this, &CommandLineJob::onOpenFailed);
    connect(m_session.get(), &Session::tracksBuilt, this, &CommandLineJob::onTracksBuilt);
    connect(m_session.get(), &Session::silencesFound, this, &CommandLineJob::onSilencesFound);
    connect(m_session.get(), &Session::silenceSearchFailed, this,
            &CommandLineJob::onSilenceSearchFailed);
    connect(m_session.get(), &Session::sliceProgress, this, &CommandLineJob::onSliceProgress);
    connect(m_session.get(), &Session::trackWritten, this, &CommandLineJob::onTrackWritten);
    connect(m_session.get(), &Session::trackFailed, this, &CommandLineJob::onTrackFailed);
    connect(m_session.get(), &Session::sliceEnded, this, &CommandLineJob::onSliceEnded);

    m_interrupt = std::make_unique<InterruptNotifier>();
    connect(m_interrupt.get(), &InterruptNotifier::interruptRequested, this,
            &CommandLineJob::onInterrupt);

    m_session->open(QFileInfo(m_options.input).absoluteFilePath());
    if (!m_done)
        QCoreApplication::exec();
    return m_status;
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

void CommandLineJob::onFileOpened()
{
    m_progress.finish();
    if (m_options.mode == Mode::Info) {
        printInfo();
        finish(0);
        return;
    }
    if (!m_session->sheet().isEmpty() && !m_options.quiet && m_options.mode == Mode::Split)
        TerminalText::printLine(stdout, u"Using CUE sheet %1"_s.arg(m_session->sheet()));
    m_session->setAlbumEdits(m_options.album);
}

void CommandLineJob::onOpenFailed(const QString &, const QString &reason)
{
    m_progress.finish();
    if (reason.isEmpty() || (m_interrupt && m_interrupt->interrupted()))
        fail(u"stopped"_s);
    else
        fail(u"%1 is not an MP3 file: no MPEG audio frames found"_s.arg(m_options.input));
}

void CommandLineJob::onTracksBuilt(const QString &note)
{
    if (m_done || m_options.mode == Mode::Info)
        return;
    if (!m_sourceApplied) {
        m_sourceApplied = true;
        if (!applyTrackSource())
            return;
    } else if (!note.isEmpty()) {
        fail(u"no tracks found in CUE sheet %1"_s.arg(m_options.cueSheet));
        return;
    }
    useTracks();
}

void CommandLineJob::useTracks()
{
    if (m_options.mode == Mode::Sheet)
        writeSheet();
    else
        sliceTracks();
}

void CommandLineJob::onSilencesFound(const QList<int> &cuts)
{
    // No silence leaves the whole file as the one track.
    QString why;
    if (m_session->cutAt(cuts, &why))
        useTracks();
    else
        fail(why);
}

void CommandLineJob::onSilenceSearchFailed(const QString &reason)
{
    if (reason.isEmpty())
        fail(u"stopped"_s);
    else
        fail(u"cannot decode %1: %2"_s.arg(m_options.input, reason));
}

void CommandLineJob::writeSheet()
{
    QString error;
    if (m_options.sheetPath.isEmpty()) {
        const QByteArray sheet = m_session->sheetText();
        std::fwrite(sheet.constData(), 1, size_t(sheet.size()), stdout);
        std::fflush(stdout);
    } else if (!m_session->saveSheet(m_options.sheetPath, &error)) {
        fail(error);
        return;
    }
    finish(0);
}

bool CommandLineJob::applyTrackSource()
{
    if (!m_options.cueSheet.isEmpty()) {
        m_session->takeSheet(m_options.cueSheet);
        return false; // its tracks come with the next tracksBuilt()
    }
    if (!m_options.tracks.isEmpty()) {
        // A freedb disc longer than the music is the user's choice, not a failure: its tracks
        // past the end have nothing to hold.
        QList<int> leftOut;
        m_session->replaceTracks(m_options.tracks, &leftOut, m_options.tracksAlbum);
        for (int number : std::as_const(leftOut))
            TerminalText::printLine(
                stderr,
                u"mavlor-cli: track %1 starts after the end of the music; not written"_s.arg(
                    number));
        return true;
    }
    if (m_options.silence) {
        QString why;
        if (!m_session->findSilences(m_options.silenceThreshold, m_options.silenceMinimum, &why))
            fail(why);
        return false; // the cuts come with silencesFound()
    }
    if (!m_options.cutTimes.isEmpty()) {
        QString why;
        if (!m_session->cutAt(m_options.cutTimes, &why)) {
            fail(why);
            return false;
        }
    }
    return true;
}

void CommandLineJob::sliceTracks()
{
    const TrackContainer tracks = TrackList::instance()->allTracks();
    const QSet<int> &selection = m_options.trackSelection;
    for (int number : std::as_const(selection)) {
        if (number > tracks.size()) {
            fail(u"there is no track %1; the file has %2 tracks"_s.arg(number).arg(tracks.size()));
            return;
        }
    }
    TrackContainer chosen;
    for (const Track &track : tracks) {
        if (selection.isEmpty() || selection.contains(track.number))
            chosen.append(track);
    }
    QString why;
    m_session->setSampleExact(m_options.sampleExact);
    if (!m_session->slice(QDir(m_options.outputFolder).absolutePath(), chosen, &why))
        fail(why);
}

void CommandLineJob::onSliceProgress(int percent, int track)
{
    m_progress.show(u"Writing track %1"_s.arg(track), percent);
}

void CommandLineJob::onTrackWritten(int track, const QString &path, const QString &warning)
{
    m_progress.finish();
    if (!m_options.quiet)
        TerminalText::printLine(stdout, path);
    // On disk and whole, yet lacking something: said, but not a failure.
    if (!warning.isEmpty())
        TerminalText::printLine(
            stderr, u"mavlor-cli: track %1 (%2) written, but: %3"_s.arg(track).arg(path, warning));
}

void CommandLineJob::onTrackFailed(int track, const QString &path, const QString &reason)
{
    m_progress.finish();
    TerminalText::printLine(
        stderr, u"mavlor-cli: track %1 (%2) not written: %3"_s.arg(track).arg(path, reason));
}

void CommandLineJob::onSliceEnded()
{
    m_progress.finish();
    const Session::SliceSummary summary = m_session->lastSlice();
    if (m_interrupt->interrupted()) {
        fail(u"stopped; %1 of %2 tracks written"_s.arg(summary.written).arg(summary.asked));
        return;
    }
    finish(summary.written == summary.asked ? 0 : 1);
}

void CommandLineJob::onInterrupt()
{
    if (m_session)
        m_session->stop();
}

void CommandLineJob::printInfo()
{
    const CheapMP3 &index = *m_session->frameIndex();
    const qint64 ms = index.lengthMs();
    TerminalText::printLine(stdout, u"File:            %1"_s.arg(m_options.input));
    TerminalText::printLine(stdout,
                            u"Frames:          %1 (of %2 samples each)"_s.arg(index.frameCount())
                                .arg(CheapMP3::SAMPLES_PER_ENTRY));
    TerminalText::printLine(
        stdout,
        u"Duration:        %1 (%2 s)"_s.arg(TimeText::format(static_cast<int>(ms)))
            .arg(ms / 1000.0, 0, 'f', 3));
    TerminalText::printLine(stdout, u"Sample rate:     %1 Hz"_s.arg(index.sampleRate()));
    TerminalText::printLine(stdout, u"Channels:        %1"_s.arg(index.channels()));
    TerminalText::printLine(stdout, u"Average bitrate: %1 kbit/s"_s.arg(index.averageBitrate()));
    TerminalText::printLine(
        stdout,
        u"Bitrate:         %1"_s.arg(index.bitrateVaries() ? u"variable"_s : u"constant"_s));
}

void CommandLineJob::fail(const QString &message)
{
    m_progress.finish();
    TerminalText::printLine(stderr, u"mavlor-cli: "_s + message);
    finish(m_interrupt && m_interrupt->interrupted() ? 130 : 2);
}

void CommandLineJob::finish(int status)
{
    if (m_done)
        return;
    m_done = true;
    m_status = status;
    // Leave the loop only once the worker that may still run has been told to stop.
    if (m_session)
        m_session->stop();
    QCoreApplication::exit(status);
}
