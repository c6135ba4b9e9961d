// libFuzzer entry: any bytes through decoding, the lenient keyword parse, the track build and
// the sheet written back.
#include <cstddef>
#include <cstdint>

#include "cue/cuesheetparser.h"
#include "cue/cuesheetwriter.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    CueSheetParser parser;
    parser.parseData(bytes);
    const TrackContainer tracks = CueSheetParser::buildTracks(parser.entries());
    // Invariants of the build: one track per entry, numbered by position, ends chained, and
    // each start the entry's time exactly (minutes of any digit count, capped so that the
    // milliseconds never overflow).
    if (tracks.size() != parser.entries().size())
        __builtin_trap();
    for (qsizetype i = 0; i < tracks.size(); ++i) {
        const Track &track = tracks.at(i);
        const CueRawTrack &entry = parser.entries().at(i);
        const int nextStart = i + 1 < tracks.size() ? tracks.at(i + 1).start : 0;
        const long long exact =
            (entry.minutes * 60LL + entry.seconds) * 1000 + entry.frames * 1000 / 75;
        if (entry.minutes < 0 || entry.minutes > CueSheetParser::maxMinutes || entry.seconds > 99
            || entry.frames > 74 || track.start != exact)
            __builtin_trap();
        if (track.number != i + 1 || track.end != nextStart || track.start < 0)
            __builtin_trap();
    }
    // Whatever was read writes out as a sheet with no line breaks inside its fields: one FILE
    // line and three or four lines per track.
    const QByteArray sheet = CueSheetWriter::sheet(tracks, parser.album(), QStringLiteral("a.mp3"));
    if (sheet.count("\r\n") < 1 + 3 * tracks.size() || sheet.count('\n') != sheet.count("\r\n"))
        __builtin_trap();
    return 0;
}
