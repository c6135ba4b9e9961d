// libFuzzer entry: any bytes as a ws/2 answer, read both as a release search and as a release
// with its recordings, and the release turned into tracks.
#include <cstddef>
#include <cstdint>

#include "musicbrainz/answerparser.h"

using MusicBrainz::AnswerParser;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));

    MusicBrainz::ReleaseList releases;
    QString error;
    if (AnswerParser::parseSearch(bytes, &releases, &error) != error.isEmpty())
        __builtin_trap();
    if (releases.size() > AnswerParser::maxReleases)
        __builtin_trap();
    for (const MusicBrainz::ReleaseSummary &release : releases) {
        if (release.id.isEmpty() || release.title.size() > AnswerParser::maxTextLength
            || release.artist.size() > AnswerParser::maxTextLength || release.trackCount < 0)
            __builtin_trap();
    }

    MusicBrainz::Release release;
    error.clear();
    if (AnswerParser::parseRelease(bytes, &release, &error) != error.isEmpty())
        __builtin_trap();
    for (const MusicBrainz::Release::Entry &entry : release.entries) {
        if (entry.length < -1 || entry.medium < 0)
            __builtin_trap();
    }
    TrackContainer tracks;
    if (release.toTracks(&tracks, &error)) {
        // Numbered from 1, each starting where the one before ended.
        for (qsizetype i = 0; i < tracks.size(); ++i) {
            const Track &track = tracks.at(i);
            if (track.number != i + 1 || track.end < track.start
                || (i > 0 && track.start != tracks.at(i - 1).end))
                __builtin_trap();
        }
        if (tracks.size() != release.entries.size())
            __builtin_trap();
    }
    return 0;
}
