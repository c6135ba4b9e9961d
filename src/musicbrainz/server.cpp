#include "musicbrainz/server.h"

#include <QSettings>

using namespace Qt::StringLiterals;

namespace MusicBrainz {

Server Server::fromSettings()
{
    Server server;
    const QSettings settings;
    parse(settings.value(u"musicbrainz/server"_s).toString(), &server);
    return server;
}

bool Server::parse(const QString &text, Server *server)
{
    QUrl url(text.trimmed(), QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != u"http"_s && scheme != u"https"_s) || url.host().isEmpty()
        || url.hasQuery() || url.hasFragment() || !url.userInfo().isEmpty())
        return false;
    QString path = url.path();
    while (path.endsWith(u'/'))
        path.chop(1);
    url.setPath(path);
    server->url = url;
    return true;
}

} // namespace MusicBrainz
