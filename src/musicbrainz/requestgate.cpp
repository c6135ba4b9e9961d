#include "musicbrainz/requestgate.h"

#include <QObject> // the listener header declares a Qt interface

#include "threads/icontinuelistener.h"

#include <algorithm>
#include <chrono>
#include <mutex>
#include <thread>

namespace MusicBrainz {

bool RequestGate::waitTurn(IContinueListener *listener)
{
    using Clock = std::chrono::steady_clock;
    static std::mutex mutex;
    static Clock::time_point lastSlot = Clock::time_point::min();

    Clock::time_point slot;
    {
        std::lock_guard lock(mutex);
        const Clock::time_point now = Clock::now();
        slot = lastSlot == Clock::time_point::min()
            ? now
            : std::max(now, lastSlot + std::chrono::milliseconds(intervalMs));
        lastSlot = slot;
    }
    return waitUntil(slot, listener);
}

bool RequestGate::waitUntil(std::chrono::steady_clock::time_point until,
                            IContinueListener *listener)
{
    using Clock = std::chrono::steady_clock;
    for (;;) {
        if (listener && !listener->shouldContinue())
            return false;
        const auto left = until - Clock::now();
        if (left <= Clock::duration::zero())
            return true;
        std::this_thread::sleep_for(std::min<Clock::duration>(left, std::chrono::milliseconds(20)));
    }
}

} // namespace MusicBrainz
