#include "slicerun.h"

#include <QFile>

bool SliceRun::open(const QString &path)
{
    index = std::make_shared<CheapMP3>(nullptr, nullptr, nullptr);
    index->readFile(path);
    return index->frameCount() > 0;
}

bool SliceRun::open(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        return false;
    file.close();
    return open(path);
}

void SliceRun::begin(const QString &folder, const TrackContainer &tracks)
{
    object.setOutputFolder(folder);
    object.setTracks(tracks);
    object.setIndex(index);
    worker.start();
}

bool SliceRun::waitForEnd(int timeoutMs)
{
    return worker.waitForEnd(timeoutMs);
}
