#pragma once

#include <QByteArray>
#include <QSignalSpy>
#include <QString>

#include <memory>

#include "mp3/cheapmp3.h"
#include "slice/slicethreadobject.h"
#include "threadrun.h"
#include "tracks/track.h"

// One slice job on a real worker thread, wired as the work manager wires it. Teardown is
// the bounded one of ThreadRun.
struct SliceRun
{
    SliceThreadObject object;
    ThreadRun worker{&object};
    Thread &thread = worker.thread();
    QSignalSpy &stopped = worker.stopped();
    std::shared_ptr<CheapMP3> index;

    // Indexes path on this thread; false when no frame was found.
    bool open(const QString &path);
    // Writes bytes to path first; false when that fails too.
    bool open(const QString &path, const QByteArray &bytes);
    void begin(const QString &folder, const TrackContainer &tracks);
    // Waits for the thread's stopped() of the job begun last.
    bool waitForEnd(int timeoutMs = 20000);
};
