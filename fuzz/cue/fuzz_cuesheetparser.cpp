// libFuzzer entry: any bytes through decoding, the lenient keyword parse and the track build.
#include <cstddef>
#include <cstdint>

#include "cue/cuesheetparser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    CueSheetParser parser;
    parser.parseData(bytes);
    const TrackContainer tracks = CueSheetParser::buildTracks(parser.entries());
    // Invariants of the build: one track per entry, numbered by position, ends chained.
    if (tracks.size() != parser.entries().size())
        __builtin_trap();
    for (qsizetype i = 0; i < tracks.size(); ++i) {
        const Track &track = tracks.at(i);
        const int nextStart = i + 1 < tracks.size() ? tracks.at(i + 1).start : 0;
        if (track.number != i + 1 || track.end != nextStart || track.start < 0
            || track.start > (99 * 60 + 99) * 1000 + 74 * 1000 / 75)
            __builtin_trap();
    }
    return 0;
}
