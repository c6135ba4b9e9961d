#pragma once

#include <QString>

#include <memory>

#include "mp3/cheapmp3.h"
#include "slice/slicethreadobject.h"
#include "tracks/track.h"
#include "work/thread.h"

// One slice job on a real worker thread, wired as the work manager wires it.
struct SliceRun
{
    SliceThreadObject object;
    Thread thread;
    std::unique_ptr<CheapMP3> index;

    SliceRun();
    ~SliceRun();

    // Indexes path on this thread; false when no frame was found.
    bool open(const QString &path);
    void begin(const QString &folder, const TrackContainer &tracks);
};
