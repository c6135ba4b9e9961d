#include "slicerun.h"

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
    object.setOutputFolder(folder);
    object.setTracks(tracks);
    object.setIndex(index.get());
    index->setContinueListener(&object);
    index->setWriteListener(&object);
    thread.startWork();
}
