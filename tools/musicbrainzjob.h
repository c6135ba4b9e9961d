#pragma once

#include <QString>

#include "lookupjob.h"
#include "musicbrainz/musicbrainzthreadobject.h"
#include "musicbrainz/release.h"
#include "musicbrainz/releasesummary.h"
#include "musicbrainz/server.h"
#include "tracks/track.h"

// The MusicBrainz commands of mavlor-cli, run on the same thread object as the window's panel
// and waited for in a local event loop. Ctrl-C stops a command at once.
class MusicBrainzJob final : public LookupJob<MusicBrainzThreadObject>
{
public:
    explicit MusicBrainzJob(const MusicBrainz::Server &server, QObject *parent = nullptr);

    // "musicbrainz search TEXT": prints "N  MBID  ARTIST - TITLE (DATE, T tracks)" per release.
    // Returns 0 with at least one release, 1 with none, 2 (one line on standard error) without
    // a usable answer, 130 when interrupted.
    int search(const QString &text);
    // The release's tracks, the last one's end left to the MP3's end. False with a one-line
    // reason when the server gave none or the release gives no boundaries.
    bool readTracks(const QString &releaseId, TrackContainer *tracks, Album *album, QString *error);

private:
    MusicBrainz::ReleaseList m_releases;
    MusicBrainz::Release m_release;
};
