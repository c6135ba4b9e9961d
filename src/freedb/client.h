#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include "freedb/cd.h"
#include "freedb/httpconnection.h"
#include "freedb/server.h"

class IContinueListener;

namespace Freedb {

// The CDDB commands (protocol level 5, ISO-8859-1) over HTTP: a free-text album search and
// the read of one disc entry, one connection each. Blocking; used on one worker thread.
class Client final
{
public:
    // A hostile answer cannot flood the panel: the discs kept and the length of a title.
    static constexpr qsizetype maxDiscs = 500;
    static constexpr qsizetype maxTitleBytes = 256;

    explicit Client(const Server &server = Server::fromSettings());

    void setServer(const Server &server) { m_server = server; }
    Server server() const { return m_server; }
    void setContinueListener(IContinueListener *listener) { m_continueListener = listener; }

    // cddb album search; on success the disc list holds the discs found (possibly none). On
    // failure the list is unchanged and errorString() says why.
    bool searchAlbum(const QByteArray &query);
    CDContainer discs() const { return m_discs; }
    // Whether the last search listed more than maxDiscs discs.
    bool discsCut() const { return m_discsCut; }
    void clearDiscs()
    {
        m_discs.clear();
        m_discsCut = false;
    }

    // cddb read of the index-th listed disc, or of a disc named by genre and id; on success
    // lines holds the whole HTTP response. A CDDB error status is a failure.
    bool readDisc(int index, QList<QByteArray> *lines);
    bool readDisc(const CD &disc, QList<QByteArray> *lines);

    HttpConnection::Failure failure() const { return m_failure; }
    QString errorString() const { return m_errorString; }

    // The CDDB answer starts on the line after the blank line that ends the HTTP headers.
    // False, with a reason, when there is none, the HTTP or CDDB status is an error.
    static bool checkAnswer(const QList<QByteArray> &lines, QString *error,
                            qsizetype *answerStart = nullptr);
    // The disc lines of a search answer, after its CDDB status line; the first maxDiscs only,
    // and *cut says whether there were more.
    static bool parseSearchResponse(const QList<QByteArray> &lines, CDContainer *discs,
                                    QString *error, bool *cut = nullptr);
    // "genre discid title": two space-ended words and a non-empty rest, the title cut at
    // maxTitleBytes; false otherwise.
    static bool parseDiscLine(const QByteArray &line, CD *disc);
    // The command's value for the query string: spaces become '+'; bytes that would end
    // the value or the request line are percent-encoded, everything else goes as it is.
    static QByteArray encodeQueryValue(const QByteArray &value);

private:
    // One command on its own connection; a search notes a failed connection in the log.
    bool exchange(const QByteArray &command, QList<QByteArray> *lines, bool diagnose);
    bool fail(HttpConnection::Failure failure, const QString &reason);

    Server m_server;
    IContinueListener *m_continueListener = nullptr;
    CDContainer m_discs;
    bool m_discsCut = false;
    HttpConnection::Failure m_failure = HttpConnection::Failure::None;
    QString m_errorString;
};

} // namespace Freedb
