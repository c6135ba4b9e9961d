#include "freedbjob.h"

#include <QRegularExpression>

#include "freedb/freedbsearchthreadobject.h"
#include "terminaltext.h"

using namespace Qt::StringLiterals;

FreedbJob::FreedbJob(const Freedb::Server &server, QObject *parent)
    : LookupJob(u"freedb"_s, parent)
{
    m_object->setServer(server);
    connect(m_object.get(), &FreedbSearchThreadObject::discsReady, this,
            [this](const Freedb::CDContainer &discs) {
                m_discs = discs;
                m_answered = true;
            });
    connect(m_object.get(), &FreedbSearchThreadObject::tracksReady, this,
            [this](const TrackContainer &tracks, const Album &album) {
                m_tracks = tracks;
                m_album = album;
                m_answered = true;
            });
}

int FreedbJob::search(const QString &text)
{
    return runSearch(text, [this] {
        QStringList lines;
        for (qsizetype i = 0; i < m_discs.size(); ++i) {
            const Freedb::CD &disc = m_discs.at(i);
            lines << u"%1  %2/%3  %4"_s.arg(i + 1).arg(
                TerminalText::escaped(QString::fromLatin1(disc.genre)),
                TerminalText::escaped(QString::fromLatin1(disc.discId)),
                TerminalText::escaped(QString::fromLatin1(disc.title)));
        }
        return lines;
    });
}

bool FreedbJob::readTracks(const Freedb::CD &disc, TrackContainer *tracks, Album *album,
                           QString *error)
{
    m_object->setReadRequest(disc);
    const bool finished = run();
    if (finished && m_answered && !m_tracks.isEmpty()) {
        *tracks = m_tracks;
        *album = m_album;
        return true;
    }
    if (error)
        *error = finished ? TerminalText::escaped(m_error) : u"stopped"_s;
    return false;
}

bool FreedbJob::parseDiscName(const QString &text, Freedb::CD *disc)
{
    static const QRegularExpression name(u"^([A-Za-z0-9_-]+)/([A-Za-z0-9_-]+)$"_s);
    const QRegularExpressionMatch match = name.match(text);
    if (!match.hasMatch())
        return false;
    disc->genre = match.captured(1).toLatin1();
    disc->discId = match.captured(2).toLatin1();
    disc->title.clear();
    return true;
}
