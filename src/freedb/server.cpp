#include "freedb/server.h"

#include <QSettings>

using namespace Qt::StringLiterals;

namespace Freedb {

namespace {

bool validHost(const QString &host)
{
    // The name goes into the Host header verbatim, so nothing may break that line.
    if (host.isEmpty())
        return false;
    for (QChar c : host) {
        if (c.unicode() <= u' ' || c.unicode() >= 127)
            return false;
    }
    return true;
}

} // namespace

Server Server::fromSettings()
{
    Server server;
    QSettings settings;
    settings.beginGroup(u"freedb"_s);
    const QString host = settings.value(u"host"_s).toString().trimmed();
    if (validHost(host))
        server.host = host.toLatin1();
    bool ok = false;
    const int port = settings.value(u"port"_s).toInt(&ok);
    if (ok && port > 0 && port <= 65535)
        server.port = port;
    return server;
}

bool Server::parse(const QString &text, Server *server)
{
    QString host = text;
    int port = 80;
    const qsizetype colon = text.lastIndexOf(u':');
    if (colon >= 0) {
        bool ok = false;
        port = text.mid(colon + 1).toInt(&ok);
        if (!ok || port <= 0 || port > 65535)
            return false;
        host = text.left(colon);
    }
    if (!validHost(host) || host.contains(u':'))
        return false;
    server->host = host.toLatin1();
    server->port = port;
    return true;
}

} // namespace Freedb
