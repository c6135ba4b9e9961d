#include "musicbrainz/releasesummary.h"

#include "musicbrainz/release.h"

namespace MusicBrainz {

void registerMetaTypes()
{
    qRegisterMetaType<ReleaseSummary>("MusicBrainz::ReleaseSummary");
    qRegisterMetaType<ReleaseList>("MusicBrainz::ReleaseList");
    qRegisterMetaType<Release>("MusicBrainz::Release");
}

} // namespace MusicBrainz
