#include "slicerun.h"

#include <QFile>

SliceRun::SliceRun()
{
    thread.attachObject(&object);
}

SliceRun::~SliceRun()
{
    if (thread.isRunning()) {
        object.stop();
        thread.wait();
    }
}

bool SliceRun::open(const QString &path)
{
    index = std::make_unique<CheapMP3>(nullptr, nullptr, nullptr);
    index->readFile(path);
    return index->frameCount() > 0;
}

void SliceRun::begin(const QString &folder, const TrackContainer &tracks)
{
    stopped.clear();
    object.setOutputFolder(folder);
    object.setTracks(tracks);
    object.setIndex(index.get());
    index->setContinueListener(&object);
    index->setWriteListener(&object);
    thread.startWork();
}

bool SliceRun::open(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        return false;
    file.close();
    return open(path);
}

bool SliceRun::waitForEnd(int timeoutMs)
{
    return stopped.count() > 0 || stopped.wait(timeoutMs);
}
