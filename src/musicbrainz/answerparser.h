#pragma once

#include <QByteArray>
#include <QString>

#include "musicbrainz/release.h"
#include "musicbrainz/releasesummary.h"

namespace MusicBrainz {

// Reads the JSON of the two ws/2 answers. Missing or mistyped fields read as empty; only an
// answer that is not a JSON object of the expected shape fails. Texts are cut at maxTextLength
// characters so that a hostile answer cannot hang a view.
class AnswerParser final
{
public:
    static constexpr int maxTextLength = 500;
    static constexpr int maxReleases = 100;

    // The "releases" array of a release search.
    static bool parseSearch(const QByteArray &json, ReleaseList *releases, QString *error);
    // A release looked up with inc=recordings+artist-credits: the tracks of every medium,
    // media in position order.
    static bool parseRelease(const QByteArray &json, Release *release, QString *error);
};

} // namespace MusicBrainz
