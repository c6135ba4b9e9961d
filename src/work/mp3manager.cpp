#include "work/mp3manager.h"

#include <QDeadlineTimer>

#include <memory>
#include <utility>

#include "cue/cuefinderthreadobject.h"
#include "cue/cueparserthreadobject.h"
#include "decode/silencethreadobject.h"
#include "slice/slicethreadobject.h"
#include "threads/thread.h"
#include "work/mp3openerthreadobject.h"

namespace {

Mp3Manager *current = nullptr;

// Starts a run on path, or, while one is under way, stops it and keeps path for its end.
template<typename Object>
void startOrQueue(Thread *thread, Object *object, QString *next, const QString &path)
{
    if (thread->isRunning()) {
        *next = path;
        object->stop();
        return;
    }
    object->setPath(path);
    thread->startWork();
}

// At the end of a run: starts the path kept for it; false when none was kept.
template<typename Object>
bool startQueued(Thread *thread, Object *object, QString *next)
{
    if (next->isEmpty())
        return false;
    object->setPath(std::exchange(*next, QString()));
    thread->startWork();
    return true;
}

} // namespace

Mp3Manager *Mp3Manager::instance()
{
    return current;
}

Mp3ManagerScope::Mp3ManagerScope()
    : m_manager(std::make_unique<Mp3Manager>())
{
    Q_ASSERT(!current);
    current = m_manager.get();
}

Mp3ManagerScope::~Mp3ManagerScope()
{
    current = nullptr;
}

Mp3Manager::Mp3Manager(QObject *parent)
    : QObject(parent)
{
    auto slice = std::make_unique<SliceThreadObject>();
    m_sliceObject = slice.get();
    m_sliceThread = addWorker(std::move(slice));
    qRegisterMetaType<SliceProgress>("SliceProgress");
    connect(m_sliceObject, &SliceThreadObject::sliceProgress, this, &Mp3Manager::sliceProgress,
            Qt::QueuedConnection);
    connect(m_sliceObject, &SliceThreadObject::trackFailed, this, &Mp3Manager::trackFailed,
            Qt::QueuedConnection);
    connect(m_sliceObject, &SliceThreadObject::trackWritten, this, &Mp3Manager::trackWritten,
            Qt::QueuedConnection);
    connect(m_sliceThread, &Thread::stopped, this, &Mp3Manager::onSliceMp3Finish);

    auto cueFinder = std::make_unique<CueFinderThreadObject>();
    m_cueFinderObject = cueFinder.get();
    m_cueFinderThread = addWorker(std::move(cueFinder));
    qRegisterMetaType<FileFinder::FileList>("FileFinder::FileList");
    connect(
        m_cueFinderObject, &CueFinderThreadObject::readyCueFiles, this,
        [this](const FileFinder::FileList &files) {
            if (m_nextCueSearch.isEmpty())
                emit readyCueFiles(files);
        },
        Qt::QueuedConnection);
    connect(m_cueFinderThread, &Thread::stopped, this, [this] {
        if (!startQueued(m_cueFinderThread, m_cueFinderObject, &m_nextCueSearch))
            emit cueSearchEnded();
    });

    auto opener = std::make_unique<Mp3OpenerThreadObject>(this);
    m_openerObject = opener.get();
    m_openerThread = addWorker(std::move(opener));
    qRegisterMetaType<CheapMP3Ptr>("CheapMP3Ptr");
    connect(m_openerObject, &Mp3OpenerThreadObject::readyCheapMP3, this, &Mp3Manager::readyCheapMP3,
            Qt::QueuedConnection);
    connect(m_openerThread, &Thread::stopped, this, &Mp3Manager::onReadMp3Finish);

    auto cueParser = std::make_unique<CueParserThreadObject>();
    m_cueParserObject = cueParser.get();
    m_cueParserThread = addWorker(std::move(cueParser));
    qRegisterMetaType<TrackContainer>("TrackContainer");
    connect(
        m_cueParserObject, &CueParserThreadObject::readyTracks, this,
        [this](const TrackContainer &tracks) {
            if (m_nextCueParse.isEmpty())
                emit readyTracks(tracks);
        },
        Qt::QueuedConnection);
    connect(
        m_cueParserObject, &CueParserThreadObject::readyAlbum, this,
        [this](const Album &album) {
            if (m_nextCueParse.isEmpty())
                emit readyAlbum(album);
        },
        Qt::QueuedConnection);
    connect(m_cueParserThread, &Thread::stopped, this, [this] {
        if (!startQueued(m_cueParserThread, m_cueParserObject, &m_nextCueParse))
            emit cueParseEnded();
    });

    auto silence = std::make_unique<SilenceThreadObject>();
    m_silenceObject = silence.get();
    m_silenceThread = addWorker(std::move(silence));
    connect(m_silenceObject, &SilenceThreadObject::silenceProgress, this,
            &Mp3Manager::silenceProgress, Qt::QueuedConnection);
    connect(m_silenceObject, &SilenceThreadObject::silencesFound, this, &Mp3Manager::silencesFound,
            Qt::QueuedConnection);
    connect(m_silenceObject, &SilenceThreadObject::failed, this, &Mp3Manager::silenceSearchFailed,
            Qt::QueuedConnection);
    connect(m_silenceThread, &Thread::stopped, this, &Mp3Manager::silenceSearchEnded);
}

Mp3Manager::~Mp3Manager()
{
    for (Worker &worker : m_workers) {
        // The work ends at its next check; its end must not reach this half-destroyed manager.
        worker.thread->disconnect(this);
        worker.thread->stopAndWait();
    }
    // Objects first, then their threads, as the thread protocol asks: no object is left
    // attached to a thread that is already gone.
    for (Worker &worker : m_workers)
        worker.object.reset();
    for (Worker &worker : m_workers)
        worker.thread.reset();
}

Thread *Mp3Manager::addWorker(std::unique_ptr<IThreadObject> object)
{
    auto thread = std::make_unique<Thread>(object.get());
    Thread *added = thread.get();
    m_workers.push_back({std::move(object), std::move(thread)});
    return added;
}

void Mp3Manager::openMp3(const QString &path)
{
    executeCommands(BeginRead);
    startOrQueue(m_cueFinderThread, m_cueFinderObject, &m_nextCueSearch, path);
    if (!m_openerThread->isRunning()) {
        m_openerObject->setPath(path);
        m_openerThread->startWork();
    }
}

void Mp3Manager::parseCue(const QString &cuePath)
{
    startOrQueue(m_cueParserThread, m_cueParserObject, &m_nextCueParse, cuePath);
}

void Mp3Manager::slice(const QString &outputFolder, const TrackContainer &tracks, CheapMP3Ptr index,
                       const Album &album, int trackTotal, bool keepExisting, bool sampleExact)
{
    executeCommands(BeginSlice);
    if (m_sliceThread->isRunning())
        return;
    m_sliceObject->setOutputFolder(outputFolder);
    m_sliceObject->setTracks(tracks);
    m_sliceObject->setIndex(std::move(index));
    m_sliceObject->setAlbum(album);
    m_sliceObject->setTrackTotal(trackTotal);
    m_sliceObject->setKeepExisting(keepExisting);
    m_sliceObject->setSampleExact(sampleExact);
    m_sliceThread->startWork();
}

void Mp3Manager::readed(float percent)
{
    const int whole = static_cast<int>(percent);
    if (whole == m_lastReadPercent)
        return;
    m_lastReadPercent = whole;
    emit readProgress(percent);
}

bool Mp3Manager::stopAndWait(int timeoutMs)
{
    onStopAnyWork();
    QDeadlineTimer deadline(timeoutMs);
    for (const Worker &worker : m_workers) {
        while (worker.thread->isRunning() && !deadline.hasExpired()) {
            worker.thread->quit();
            worker.thread->wait(10);
        }
    }
    for (const Worker &worker : m_workers) {
        if (worker.thread->isRunning())
            return false;
    }
    return true;
}

bool Mp3Manager::isReading() const
{
    return m_openerThread->isRunning();
}

bool Mp3Manager::findSilences(CheapMP3Ptr index, double thresholdDb, double minimumSeconds)
{
    if (m_silenceThread->isRunning())
        return false;
    m_silenceObject->setIndex(std::move(index));
    m_silenceObject->setThreshold(thresholdDb);
    m_silenceObject->setMinimum(minimumSeconds);
    m_silenceThread->startWork();
    return true;
}

bool Mp3Manager::isSlicing() const
{
    return m_sliceThread->isRunning();
}

void Mp3Manager::onStopAnyWork()
{
    for (const Worker &worker : m_workers) {
        if (worker.thread->isRunning())
            worker.object->stop();
    }
}

void Mp3Manager::onReadMp3Finish()
{
    executeCommands(EndRead);
}

void Mp3Manager::onSliceMp3Finish()
{
    executeCommands(EndSlice);
}
