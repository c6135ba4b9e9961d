#include "musicbrainz/answerparser.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

#include <algorithm>
#include <limits>

using namespace Qt::StringLiterals;

namespace {

QString text(const QJsonValue &value)
{
    return value.toString().left(MusicBrainz::AnswerParser::maxTextLength);
}

// A whole number in range, or fallback: JSON numbers are doubles, and a hostile one may be
// huge, negative or fractional.
int count(const QJsonValue &value, int fallback, int limit = std::numeric_limits<int>::max())
{
    if (!value.isDouble())
        return fallback;
    const double number = value.toDouble();
    if (!(number >= 0 && number <= limit))
        return fallback;
    return int(number);
}

// The names of an "artist-credit" array, each followed by its join phrase.
QString artistCredit(const QJsonArray &credit)
{
    using MusicBrainz::AnswerParser;
    QString joined;
    for (const QJsonValue &part : credit) {
        const QJsonObject name = part.toObject();
        QString shown = name.value(u"name"_s).toString();
        if (shown.isEmpty())
            shown = name.value(u"artist"_s).toObject().value(u"name"_s).toString();
        joined += shown + name.value(u"joinphrase"_s).toString();
        if (joined.size() > AnswerParser::maxTextLength)
            break;
    }
    return joined.left(AnswerParser::maxTextLength);
}

bool readObject(const QByteArray &json, QJsonObject *object, QString *error)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject()) {
        if (error)
            *error = parseError.error != QJsonParseError::NoError
                ? u"the answer is not JSON (%1 at byte %2)"_s.arg(parseError.errorString())
                      .arg(parseError.offset)
                : u"the answer is not a JSON object"_s;
        return false;
    }
    *object = document.object();
    return true;
}

} // namespace

namespace MusicBrainz {

bool AnswerParser::parseSearch(const QByteArray &json, ReleaseList *releases, QString *error)
{
    QJsonObject root;
    if (!readObject(json, &root, error))
        return false;
    if (!root.value(u"releases"_s).isArray()) {
        if (error)
            *error = u"the answer holds no release list"_s;
        return false;
    }
    ReleaseList found;
    for (const QJsonValue &value : root.value(u"releases"_s).toArray()) {
        const QJsonObject object = value.toObject();
        ReleaseSummary release;
        release.id = text(object.value(u"id"_s));
        if (release.id.isEmpty())
            continue;
        release.title = text(object.value(u"title"_s));
        release.artist = artistCredit(object.value(u"artist-credit"_s).toArray());
        release.date = text(object.value(u"date"_s));
        release.country = text(object.value(u"country"_s));
        release.trackCount = count(object.value(u"track-count"_s), 0);
        for (const QJsonValue &medium : object.value(u"media"_s).toArray()) {
            const QString format = text(medium.toObject().value(u"format"_s));
            release.formats.append(format.isEmpty() ? u"?"_s : format);
        }
        found.append(release);
        if (found.size() == maxReleases)
            break;
    }
    *releases = found;
    return true;
}

bool AnswerParser::parseRelease(const QByteArray &json, Release *release, QString *error)
{
    QJsonObject root;
    if (!readObject(json, &root, error))
        return false;
    if (!root.value(u"media"_s).isArray()) {
        if (error)
            *error = u"the answer holds no media"_s;
        return false;
    }
    Release result;
    result.id = text(root.value(u"id"_s));
    result.title = text(root.value(u"title"_s));
    result.artist = artistCredit(root.value(u"artist-credit"_s).toArray());
    result.date = text(root.value(u"date"_s));

    struct Medium
    {
        int position;
        QJsonArray tracks;
    };
    QList<Medium> media;
    const QJsonArray mediaArray = root.value(u"media"_s).toArray();
    for (qsizetype i = 0; i < mediaArray.size(); ++i) {
        const QJsonObject medium = mediaArray.at(i).toObject();
        media.append({count(medium.value(u"position"_s), int(i + 1), 9999),
                      medium.value(u"tracks"_s).toArray()});
    }
    std::stable_sort(media.begin(), media.end(),
                     [](const Medium &a, const Medium &b) { return a.position < b.position; });
    result.mediumCount = int(media.size());
    for (const Medium &medium : std::as_const(media)) {
        for (const QJsonValue &value : medium.tracks) {
            const QJsonObject track = value.toObject();
            const QJsonObject recording = track.value(u"recording"_s).toObject();
            Release::Entry entry;
            entry.title = text(track.value(u"title"_s));
            if (entry.title.isEmpty())
                entry.title = text(recording.value(u"title"_s));
            QJsonArray credit = track.value(u"artist-credit"_s).toArray();
            if (credit.isEmpty())
                credit = recording.value(u"artist-credit"_s).toArray();
            entry.artist = credit.isEmpty() ? result.artist : artistCredit(credit);
            // A track without a length of its own takes its recording's.
            const int noLength = -1;
            const int limit = 24 * 3600 * 1000;
            entry.length = count(track.value(u"length"_s), noLength, limit);
            if (entry.length < 0)
                entry.length = count(recording.value(u"length"_s), noLength, limit);
            entry.medium = medium.position;
            result.entries.append(entry);
        }
    }
    *release = result;
    return true;
}

} // namespace MusicBrainz
