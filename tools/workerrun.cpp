#include "workerrun.h"

#include <QEventLoop>

#include "interruptnotifier.h"
#include "threads/ithreadobject.h"
#include "threads/thread.h"

bool WorkerRun::run(Thread &thread, IThreadObject &object)
{
    InterruptNotifier interrupt;
    // The object lives on its worker, busy with the request: its flag is set from here.
    QObject::connect(&interrupt, &InterruptNotifier::interruptRequested, &interrupt,
                     [&object] { object.stop(); });
    QEventLoop loop;
    QObject::connect(&thread, &Thread::stopped, &loop, &QEventLoop::quit);
    if (!thread.startWork())
        return false;
    loop.exec();
    return !interrupt.interrupted();
}
