#pragma once

#include <chrono>

class IContinueListener;

namespace MusicBrainz {

// The process-wide spacing of requests to the web service: each caller takes the next free
// slot, at least intervalMs after the one before, and waits for it in short slices so that
// a stop ends the wait at once.
class RequestGate final
{
public:
    static constexpr int intervalMs = 1000;

    // Waits for this caller's slot; false when the listener said stop first.
    static bool waitTurn(IContinueListener *listener);
    // Waits until the time in short slices; false when the listener said stop first.
    static bool waitUntil(std::chrono::steady_clock::time_point until, IContinueListener *listener);
};

} // namespace MusicBrainz
