#pragma once

#include <QString>

#include "freedb/cd.h"
#include "freedb/freedbsearchthreadobject.h"
#include "freedb/server.h"
#include "lookupjob.h"
#include "tracks/album.h"
#include "tracks/track.h"

// The freedb commands of mavlor-cli, run on the same thread object as the window's panel and
// waited for in a local event loop. Ctrl-C stops a command within a quarter of a second.
class FreedbJob final : public LookupJob<FreedbSearchThreadObject>
{
public:
    explicit FreedbJob(const Freedb::Server &server, QObject *parent = nullptr);

    // "freedb search TEXT": prints "N  GENRE/DISCID  TITLE" per disc. Returns 0 with at least
    // one disc, 1 with none, 2 (reason on standard error) without a usable answer, 130 when
    // interrupted.
    int search(const QString &text);
    // The tracks of the disc named by genre and id, the last ending at the disc's length.
    // False with a one-line reason when the server gave none.
    bool readTracks(const Freedb::CD &disc, TrackContainer *tracks, Album *album, QString *error);

    // "GENRE/DISCID" with two non-empty words of letters, digits, '-' and '_'.
    static bool parseDiscName(const QString &text, Freedb::CD *disc);

private:
    Freedb::CDContainer m_discs;
    TrackContainer m_tracks;
    Album m_album;
};
