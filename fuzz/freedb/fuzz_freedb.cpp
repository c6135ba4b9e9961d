// libFuzzer entry: any bytes as a server's response, through the line split, the search
// answer (disc lines) and the disc entry parse.
#include <cstddef>
#include <cstdint>

#include "freedb/client.h"
#include "freedb/discentry.h"
#include "freedb/httpconnection.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QList<QByteArray> lines = HttpConnection::splitLines(bytes, "\r\n");
    qsizetype total = 0;
    for (const QByteArray &line : lines) {
        if (line.contains('\r') || line.contains('\n'))
            __builtin_trap();
        total += line.size();
    }
    if (total > bytes.size())
        __builtin_trap();

    Freedb::CDContainer discs;
    QString error;
    const bool answered = Freedb::Client::parseSearchResponse(lines, &discs, &error);
    if (!answered && error.isEmpty())
        __builtin_trap();
    for (const Freedb::CD &disc : discs) {
        if (disc.genre.isEmpty() || disc.discId.isEmpty() || disc.title.isEmpty()
            || disc.genre.contains(' ') || disc.discId.contains(' '))
            __builtin_trap();
    }

    const Freedb::DiscEntry entry(lines);
    const TrackContainer tracks = entry.tracks();
    if (entry.isValid() == tracks.isEmpty())
        __builtin_trap();
    // Ends chain to the next start; numbers are positions, or 0 for a track without title line.
    for (qsizetype i = 0; i < tracks.size(); ++i) {
        const Track &track = tracks.at(i);
        if ((i + 1 < tracks.size() && track.end != tracks.at(i + 1).start)
            || (track.number != 0 && track.number != i + 1) || track.start < -2000)
            __builtin_trap();
    }
    return 0;
}
