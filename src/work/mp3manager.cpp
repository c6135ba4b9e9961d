#include "work/mp3manager.h"

#include <QCoreApplication>

#include <memory>

#include "cue/cuefinderthreadobject.h"
#include "cue/cueparserthreadobject.h"
#include "slice/slicethreadobject.h"
#include "work/mp3openerthreadobject.h"
#include "threads/thread.h"

namespace {

std::unique_ptr<Mp3Manager> &holder()
{
    static std::unique_ptr<Mp3Manager> manager;
    return manager;
}

} // namespace

Mp3Manager *Mp3Manager::instance()
{
    auto &manager = holder();
    if (!manager) {
        manager.reset(new Mp3Manager);
        // Threads must be stopped while the event loop's objects still exist.
        if (QCoreApplication *app = QCoreApplication::instance())
            QObject::connect(app, &QCoreApplication::aboutToQuit, app, [] { holder().reset(); });
    }
    return manager.get();
}

Mp3Manager::Mp3Manager(QObject *parent)
    : QObject(parent)
{
    m_sliceThread = new Thread;
    m_cueFinderThread = new Thread;
    m_openerThread = new Thread;
    m_cueParserThread = new Thread;

    m_sliceObject = new SliceThreadObject;
    m_sliceThread->attachObject(m_sliceObject);
    qRegisterMetaType<SliceProgress>("SliceProgress");
    connect(m_sliceObject, &SliceThreadObject::sliceProgress, this, &Mp3Manager::sliceProgress,
            Qt::QueuedConnection);
    connect(m_sliceObject, &SliceThreadObject::trackFailed, this, &Mp3Manager::trackFailed,
            Qt::QueuedConnection);
    connect(m_sliceObject, &SliceThreadObject::trackWritten, this, &Mp3Manager::trackWritten,
            Qt::QueuedConnection);
    connect(m_sliceThread, &Thread::stopped, this, &Mp3Manager::onSliceMp3Finish);

    m_cueFinderObject = new CueFinderThreadObject;
    m_cueFinderThread->attachObject(m_cueFinderObject);
    qRegisterMetaType<FileFinder::FileList>("FileFinder::FileList");
    connect(m_cueFinderObject, &CueFinderThreadObject::readyCueFiles, this,
            &Mp3Manager::readyCueFiles, Qt::QueuedConnection);
    connect(m_cueFinderThread, &Thread::stopped, this, &Mp3Manager::cueSearchEnded);

    m_openerObject = new Mp3OpenerThreadObject(this);
    m_openerThread->attachObject(m_openerObject);
    qRegisterMetaType<CheapMP3 *>("CheapMP3*");
    connect(m_openerObject, &Mp3OpenerThreadObject::readyCheapMP3, this,
            &Mp3Manager::readyCheapMP3, Qt::QueuedConnection);
    connect(m_openerThread, &Thread::stopped, this, &Mp3Manager::onReadMp3Finish);

    m_cueParserObject = new CueParserThreadObject;
    m_cueParserThread->attachObject(m_cueParserObject);
    qRegisterMetaType<TrackContainer>("TrackContainer");
    connect(m_cueParserObject, &CueParserThreadObject::readyTracks, this,
            &Mp3Manager::readyTracks, Qt::QueuedConnection);
    connect(m_cueParserThread, &Thread::stopped, this, &Mp3Manager::cueParseEnded);
}

Mp3Manager::~Mp3Manager()
{
    const std::pair<Thread *, IThreadObject *> pairs[] = {
        {m_cueFinderThread, m_cueFinderObject},
        {m_cueParserThread, m_cueParserObject},
        {m_openerThread, m_openerObject},
        {m_sliceThread, m_sliceObject},
    };
    for (const auto &[thread, object] : pairs) {
        if (thread->isRunning()) {
            object->stop();
            // The work ends at its next check and emits finished(); onFinish() will never
            // be delivered now, so quit the loop ourselves until the thread is gone.
            thread->disconnect(this);
            while (thread->isRunning()) {
                thread->quit();
                thread->wait(10);
            }
        }
    }
    delete m_cueFinderObject;
    delete m_cueParserObject;
    delete m_openerObject;
    delete m_sliceObject;
    delete m_cueFinderThread;
    delete m_cueParserThread;
    delete m_openerThread;
    delete m_sliceThread;
}

void Mp3Manager::openMp3(const QString &path)
{
    executeCommands(BeginRead);
    if (!m_cueFinderThread->isRunning()) {
        m_cueFinderObject->setPath(path);
        m_cueFinderThread->startWork();
    }
    if (!m_openerThread->isRunning()) {
        m_openerObject->setPath(path);
        m_openerThread->startWork();
    }
}

void Mp3Manager::parseCue(const QString &cuePath)
{
    if (m_cueParserThread->isRunning())
        return;
    m_cueParserObject->setPath(cuePath);
    m_cueParserThread->startWork();
}

void Mp3Manager::slice(const QString &outputFolder, const TrackContainer &tracks,
                       CheapMP3 *index)
{
    executeCommands(BeginSlice);
    if (m_sliceThread->isRunning())
        return;
    m_sliceObject->setOutputFolder(outputFolder);
    m_sliceObject->setTracks(tracks);
    m_sliceObject->setIndex(index);
    if (index) {
        index->setContinueListener(m_sliceObject);
        index->setWriteListener(m_sliceObject);
    }
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

bool Mp3Manager::isReading() const
{
    return m_openerThread->isRunning();
}

bool Mp3Manager::isSlicing() const
{
    return m_sliceThread->isRunning();
}

void Mp3Manager::onStopAnyWork()
{
    const std::pair<Thread *, IThreadObject *> pairs[] = {
        {m_openerThread, m_openerObject},
        {m_sliceThread, m_sliceObject},
        {m_cueFinderThread, m_cueFinderObject},
        {m_cueParserThread, m_cueParserObject},
    };
    for (const auto &[thread, object] : pairs) {
        if (thread->isRunning())
            object->stop();
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
