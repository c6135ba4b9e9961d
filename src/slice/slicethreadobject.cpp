#include "slice/slicethreadobject.h"

#include <QDir>
#include <QFile>
#include <QTemporaryFile>

#include <algorithm>
#include <cerrno>
#include <climits>

#include <sys/mman.h>
#include <unistd.h>

#include "mp3/cheapmp3.h"
#include "mp3/kernelcopy.h"
#include "slice/durablefile.h"
#include "slice/headerrepair.h"
#include "slice/sampleexactplan.h"
#include "slice/streamtally.h"
#include "slice/trackcommitter.h"
#include "slice/trackname.h"
#include "slice/tracktagger.h"
#include "vbrrepair/bigendian.h"
#include "vbrrepair/repairsettings.h"
#include "vbrrepair/xingframe.h"

using namespace Qt::StringLiterals;

namespace {

// Tracks written but not yet flushed and renamed: the disk writes them while the next
// tracks are cut. Beyond that, the cutting waits for the disk.
constexpr qsizetype kTracksInFlight = 8;

// Shared by every slice of the process, so a track that starts where the last one ended
// (both at 100 %) reports once.
int lastPercent = -1;

// An ID3v2.4 tag of padding only. TagLib writes the tags into it in place, where a
// track without a tag would be shifted behind a new one, a kilobyte at a time. TagLib keeps
// the size only while the padding left over is at most 1 KiB (or 1 % of the file), so the
// tag is no larger than that.
const QByteArray &reservedTagSpace()
{
    static const QByteArray tag = [] {
        constexpr int bodySize = 1024;
        QByteArray bytes("ID3\x04\x00\x00", 6);
        bytes += char((bodySize >> 21) & 0x7F);
        bytes += char((bodySize >> 14) & 0x7F);
        bytes += char((bodySize >> 7) & 0x7F);
        bytes += char(bodySize & 0x7F);
        bytes += QByteArray(bodySize, '\0');
        return bytes;
    }();
    return tag;
}

bool cannotWrite(const QFile &file, const QString &reason, QString *error)
{
    *error = SliceThreadObject::tr("Cannot write %1: %2")
                 .arg(QDir::toNativeSeparators(file.fileName()), reason);
    return false;
}

// Writes a track's header frame, when it has one, over its placeholder behind the reserved
// tag, and closes the track.
bool closeTrack(QFile &file, const std::vector<unsigned char> &header, QString *error)
{
    const auto size = static_cast<qint64>(header.size());
    if (size > 0
        && (!file.seek(reservedTagSpace().size())
            || file.write(reinterpret_cast<const char *>(header.data()), size) != size
            || !file.flush()))
        return cannotWrite(file, file.errorString(), error);
    file.close();
    if (file.error() != QFileDevice::NoError)
        return cannotWrite(file, file.errorString(), error);
    return true;
}

// Hands `size` bytes of an open file at `offset` to `take` through a mapping of the page
// cache, without copying them; false when the file cannot be mapped.
template<typename Take>
bool readMapped(int fd, qint64 offset, qint64 size, Take &&take)
{
    static const qint64 page = ::sysconf(_SC_PAGESIZE);
    const qint64 start = offset / page * page;
    const auto length = static_cast<std::size_t>(offset + size - start);
    void *mapped = ::mmap(nullptr, length, PROT_READ, MAP_SHARED, fd, start);
    if (mapped == MAP_FAILED)
        return false;
    take(static_cast<const uchar *>(mapped) + (offset - start));
    ::munmap(mapped, length);
    return true;
}

} // namespace

SliceThreadObject::SliceThreadObject(QObject *parent)
    : IThreadObject(parent)
{
}

SliceThreadObject::~SliceThreadObject() = default;

int SliceThreadObject::entryAt(int milliseconds, int sampleRate)
{
    const float seconds = static_cast<float>(milliseconds / 1000.0);
    return static_cast<int>(seconds * sampleRate / 1152.0 + 0.5);
}

void SliceThreadObject::start()
{
    m_infoFrame.clear();
    m_albumXing.reset();
    if (m_index) {
        m_source.setFileName(m_index->fileName());
        m_source.open(QIODevice::ReadOnly);
    }
    if (m_index && m_index->infoFrameLength() > 0 && m_source.seek(m_index->infoFrameOffset())) {
        const QByteArray frame = m_source.read(m_index->infoFrameLength());
        m_infoFrame.assign(frame.begin(), frame.end());
        m_albumXing = XingFrame::fromBytes(m_infoFrame);
    }

    m_committer = std::make_unique<TrackCommitter>();
    // The source's tags are read once for the whole slice.
    m_tagger = std::make_unique<TrackTagger>(m_index ? m_index->fileName() : QString(), m_album,
                                             m_trackTotal);
    for (const Track &track : std::as_const(m_tracks)) {
        if (!shouldContinue())
            break;
        m_currentTrack = track.number;
        writeTrack(track);
    }
    commitPending();
    m_committer.reset();

    m_source.close();
    m_index.reset();
    m_tracks.clear();
    m_album = Album();
    m_trackTotal = 0;
    m_tagger.reset();
    m_outputFolder.clear();
    m_currentTrack = 0;
    m_infoFrame.clear();
    m_albumXing.reset();
    emit finished();
}

bool SliceThreadObject::writeTrack(const Track &track)
{
    QString path = m_outputFolder + u'/'
        + TrackName::fileName(TrackName{track.artist, track.title, track.number});
    if (m_keepExisting) {
        const QString wanted = path;
        path = TrackName::unusedPath(path);
        // A track still on its way to its name holds that name already.
        if (std::any_of(m_pending.begin(), m_pending.end(),
                        [&](const auto &pending) { return pending->path == path; })) {
            commitPending();
            path = TrackName::unusedPath(wanted);
        }
    }
    auto failed = [&](const QString &reason) {
        commitPending(); // reports stay in track order
        emit trackFailed(track.number, path, reason);
        return false;
    };
    if (!m_index || m_index->sampleRate() <= 0 || m_index->frameCount() == 0)
        return failed(tr("The MP3 holds no audio frames."));

    const int first =
        std::clamp(entryAt(track.start, m_index->sampleRate()), 0, m_index->frameCount());
    // A track that ends at the file's end takes every frame left, whatever the rounding of
    // its end to milliseconds.
    const bool toEnd = track.end >= m_index->lengthMs();
    const int last = toEnd
        ? m_index->frameCount()
        : std::clamp(entryAt(track.end, m_index->sampleRate()), 0, m_index->frameCount());
    if (last <= first)
        return failed(tr("The track holds no audio frames."));
    if (m_index->isSource(path))
        return failed(tr("Cannot write %1: it is the file being sliced.")
                          .arg(QDir::toNativeSeparators(path)));

    RepairSettings settings;
    settings.fallbackLameFrame = m_infoFrame;
    settings.keepEncoderDelay = first == 0;
    settings.keepEncoderPadding = last == m_index->frameCount();

    // The track takes its name only when complete, so a crash or a full disk never leaves a
    // truncated track under it; the temporary file is removed unless it is renamed.
    auto file = std::make_unique<QTemporaryFile>(path + u".XXXXXX"_s);
    if (!file->open() || !file->setPermissions(DurableFile::newFilePermissions()))
        return failed(tr("Cannot create a file in %1: %2")
                          .arg(QDir::toNativeSeparators(m_outputFolder), file->errorString()));
    QString error;
    QString warning;
    bool exact = false;
    bool headerMade = false;
    if (m_sampleExact) {
        // The last track runs to the end of what the source plays.
        const int rate = m_index->sampleRate();
        SampleExactPlan plan =
            SampleExactPlan::make(m_source, *m_index, m_albumXing.get(), track.startSample(rate),
                                  toEnd ? -1 : track.endSample(rate));
        if (plan.ok()) {
            if (!copyExactTrack(*file, plan, &error))
                return failed(error);
            exact = true;
            headerMade = true;
        } else {
            warning = tr("Cut to the frame, not to the sample. %1").arg(plan.error());
        }
    }
    if (!exact && !copyTrack(*file, first, last, settings, &headerMade, &error))
        return failed(error);
    // A track cut short by a stop never takes its name: its temporary file goes now.
    if (!shouldContinue())
        return false;
    const bool tagged = m_tagger->tag(file->fileName(), track);
    // A failed repair or tag leaves the track complete and playing: it is written, with a
    // warning. A source of one bitrate gives tracks of one bitrate, and a header made from
    // the copy is what the engine would make: it would read the track through only to leave
    // it alone.
    QString repairError;
    if (m_index->bitrateVaries() && !headerMade
        && !HeaderRepair(*this).run(file->fileName(), path + u".XXXXXX"_s, settings,
                                    &repairError)) {
        if (repairError.isEmpty())
            repairError = tr("The VBR header could not be rebuilt.");
        warning = warning.isEmpty() ? repairError : warning + u' ' + repairError;
    }
    if (!tagged && warning.isEmpty())
        warning = tr("Cannot write the tags of %1.").arg(QDir::toNativeSeparators(path));

    // Only the finished track goes to the disk: a tag written into a page already on its way
    // there would wait for it.
    QFile finished(file->fileName());
    if (finished.open(QIODevice::ReadOnly))
        DurableFile::startFlush(finished);

    // The track takes its name on the committer's thread while the next ones are cut.
    m_committer->add(file->fileName(), path);
    m_pending.push_back(
        std::make_unique<PendingTrack>(PendingTrack{std::move(file), path, track.number, warning}));
    reportCommitted(kTracksInFlight);
    return warning.isEmpty();
}

void SliceThreadObject::reportCommitted(qsizetype uncommitted)
{
    if (!m_committer)
        return;
    for (const QString &error : m_committer->take(uncommitted)) {
        const std::unique_ptr<PendingTrack> track = std::move(m_pending.front());
        m_pending.pop_front();
        if (!error.isEmpty()) {
            emit trackFailed(track->number, track->path, error);
            continue;
        }
        track->file->setAutoRemove(false);
        emit trackWritten(track->number, track->path, track->warning);
    }
}

bool SliceThreadObject::copyTrack(QFile &file, int first, int last, const RepairSettings &settings,
                                  bool *headerMade, QString *error)
{
    *headerMade = false;
    // A track of varying bitrate gets its Xing frame while it is written: a placeholder
    // before the audio, filled in from what the copy saw. The repair engine then finds it
    // right and leaves the track alone.
    std::unique_ptr<XingFrame> xing = newXingFrame(first, last, settings);
    QByteArray leadIn = reservedTagSpace();
    StreamTally tally;
    if (xing) {
        leadIn.append(QByteArray(static_cast<qsizetype>(xing->size()), '\0'));
        tally.frameSizes.push_back(xing->size());
    }
    const auto sink = [&tally](const uchar *bytes, qsizetype size) { tally.add(bytes, size); };
    if (!m_index->writeEntries(m_source, file, first, last - first, leadIn,
                               xing ? CheapMP3::EntrySink(sink) : CheapMP3::EntrySink(),
                               {this, this}, error)
        && !error->isEmpty()) {
        return false;
    }
    std::vector<unsigned char> header;
    if (xing) {
        try {
            xing->fillStream(tally.frameSizes, tally.musicCrc, settings);
            header = xing->serialized();
        } catch (const char *) {
            // Left to the repair engine, which rebuilds the frame from the file.
        }
    }
    *headerMade = !header.empty();
    return closeTrack(file, header, error);
}

bool SliceThreadObject::copyExactTrack(QFile &file, SampleExactPlan &plan, QString *error)
{
    StreamTally tally;
    tally.frameSizes.push_back(static_cast<std::uint64_t>(plan.headerSize()));
    const auto *lead = reinterpret_cast<const uchar *>(plan.lead().constData());
    tally.add(lead, plan.lead().size());
    if (file.write(reservedTagSpace() + QByteArray(plan.headerSize(), '\0') + plan.lead()) < 0
        || !file.flush())
        return cannotWrite(file, file.errorString(), error);
    qint64 total = 0;
    for (const SampleExactPlan::Run &run : plan.runs())
        total += run.size;
    const auto cannotRead = [&] {
        *error = tr("Cannot read %1: %2")
                     .arg(QDir::toNativeSeparators(m_source.fileName()), m_source.errorString());
        return false;
    };
    // Runs go from file to file in the kernel, a piece at a time; the tally reads each piece
    // as written, through a mapping of the page cache, so the bytes are copied once. The
    // mapping is of our own private temporary file, which nobody else shortens. Where the
    // kernel cannot copy between the two files, or map, the bytes go through one buffer.
    constexpr qint64 kPiece = 1 << 20;
    std::vector<char> bytes;
    bool inKernel = true;
    qint64 outAt = file.pos();
    qint64 done = 0;
    for (const SampleExactPlan::Run &run : plan.runs()) {
        for (qint64 at = 0; at < run.size;) {
            if (!shouldContinue())
                return true;
            const qint64 piece = std::min(run.size - at, kPiece);
            const qint64 copied = inKernel
                ? KernelCopy::copy(m_source.handle(), run.offset + at, file.handle(), outAt, piece)
                : 0;
            if (copied < 0)
                return cannotWrite(file, qt_error_string(errno), error);
            const qint64 rest = piece - copied;
            if (rest > 0) {
                inKernel = false;
                bytes.resize(static_cast<std::size_t>(piece));
                if (!m_source.seek(run.offset + at + copied)
                    || m_source.read(bytes.data() + copied, rest) != rest)
                    return cannotRead();
                if (!file.seek(outAt + copied) || file.write(bytes.data() + copied, rest) != rest
                    || !file.flush())
                    return cannotWrite(file, file.errorString(), error);
            }
            const auto take = [&](const uchar *written) {
                tally.addPiece(written, piece, run.size - at);
            };
            if (copied == 0 || !readMapped(file.handle(), outAt, piece, take)) {
                bytes.resize(static_cast<std::size_t>(piece));
                if (copied > 0 && (!file.seek(outAt) || file.read(bytes.data(), copied) != copied))
                    return cannotWrite(file, file.errorString(), error);
                tally.addPiece(reinterpret_cast<const uchar *>(bytes.data()), piece, run.size - at);
            }
            at += piece;
            outAt += piece;
            done += piece;
            writed(
                static_cast<float>(100.0 * static_cast<double>(done) / static_cast<double>(total)));
        }
    }
    const std::vector<unsigned char> header = plan.headerFrame(tally.frameSizes, tally.musicCrc);
    if (static_cast<qint64>(header.size()) != plan.headerSize()) {
        *error = tr("Cannot make the header frame of %1.")
                     .arg(QDir::toNativeSeparators(file.fileName()));
        return false;
    }
    return closeTrack(file, header, error);
}

std::unique_ptr<XingFrame> SliceThreadObject::newXingFrame(int first, int last,
                                                           const RepairSettings &settings)
{
    // Entries of one bitrate differ by their padding byte at most (two for an MPEG-2 pair);
    // any other bitrate changes the length by far more. The last entry may be a lone MPEG-2
    // frame and is left out; the engine judges such a track on its own.
    if (!m_index->bitrateVaries())
        return nullptr;
    int shortest = INT_MAX;
    int longest = 0;
    for (int i = first; i < last - 1; ++i) {
        shortest = std::min(shortest, m_index->frameLength(i));
        longest = std::max(longest, m_index->frameLength(i));
    }
    if (longest <= shortest + 2 || !m_source.seek(m_index->frameOffset(first)))
        return nullptr;
    const QByteArray head = m_source.read(4);
    if (head.size() != 4)
        return nullptr;
    auto xing = std::make_unique<XingFrame>(
        FrameHeader(readBigEndian32(reinterpret_cast<const unsigned char *>(head.constData()))));
    try {
        xing->takeLameSource(m_albumXing.get(), settings);
        xing->fitHeader(settings);
    } catch (const char *) {
        return nullptr;
    }
    return xing;
}

void SliceThreadObject::writed(float percent)
{
    const int whole = static_cast<int>(percent);
    if (whole == lastPercent)
        return;
    lastPercent = whole;
    emit sliceProgress(SliceProgress{m_currentTrack, whole});
}

void SliceThreadObject::progress()
{
}

void SliceThreadObject::message(FeedBackMessage message)
{
    static const char *const prefixes[] = {"Detail: ", "Info: ", "Warning: ", "Error: "};
    const int level = std::clamp(message.level, 0, 3);
    // The job keeps no log: the text is formed and dropped.
    const std::string text = prefixes[level] + message.text;
    Q_UNUSED(text);
}

bool SliceThreadObject::shouldStop()
{
    return !shouldContinue();
}
