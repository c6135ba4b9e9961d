#pragma once

#include <QString>
#include <QUrl>

namespace MusicBrainz {

// Where the ws/2 requests go: https://musicbrainz.org unless the settings file (group
// "musicbrainz", key "server") or --server says otherwise. Plain http is allowed for a mirror.
struct Server
{
    QUrl url = QUrl(QStringLiteral("https://musicbrainz.org"));

    static Server fromSettings();
    // An absolute http or https URL with a host and no query; false and *server untouched
    // otherwise. A trailing slash is dropped.
    static bool parse(const QString &text, Server *server);
};

} // namespace MusicBrainz
