#pragma once

class IThreadObject;
class Thread;

// Runs one request of a thread object to its end in a local event loop, as a command-line
// job does; Ctrl-C or SIGTERM asks the object to stop.
class WorkerRun
{
public:
    // False when the thread did not start or the user interrupted the run. The object's
    // results are queued before its end, so they have all arrived when this returns.
    static bool run(Thread &thread, IThreadObject &object);
};
