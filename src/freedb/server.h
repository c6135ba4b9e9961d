#pragma once

#include <QByteArray>
#include <QString>

namespace Freedb {

// Where the freedb commands go. The built-in server is overridden by the settings file
// (group "freedb", keys "host" and "port") and on the command line by --server.
struct Server
{
    QByteArray host = "freedb.dbpoweramp.com";
    int port = 80;

    // The built-in server with the settings' host and port laid over it; bad values ignored.
    static Server fromSettings();
    // "HOST" or "HOST:PORT" (port 1 to 65535); false and *server untouched otherwise.
    static bool parse(const QString &text, Server *server);
};

} // namespace Freedb
