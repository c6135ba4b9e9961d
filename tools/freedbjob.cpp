#include "freedbjob.h"

#include <QRegularExpression>

#include <cstdio>

#include "freedb/freedbsearchthreadobject.h"
#include "terminaltext.h"
#include "threads/thread.h"
#include "workerrun.h"

using namespace Qt::StringLiterals;

FreedbJob::FreedbJob(const Freedb::Server &server, QObject *parent)
    : QObject(parent)
    , m_object(std::make_unique<FreedbSearchThreadObject>())
    , m_thread(std::make_unique<Thread>(m_object.get()))
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
    connect(m_object.get(), &FreedbSearchThreadObject::failed, this,
            [this](const QString &reason) { m_error = reason; });
}

FreedbJob::~FreedbJob()
{
    // run() returns only after the thread stopped; this guards an early exit all the same.
    m_thread->stopAndWait();
    m_object.reset();
    m_thread.reset();
}

bool FreedbJob::run()
{
    m_answered = false;
    m_error.clear();
    return WorkerRun::run(*m_thread, *m_object);
}

int FreedbJob::search(const QString &text)
{
    if (text.trimmed().isEmpty()) {
        TerminalText::printLine(stderr, u"mavlor-cli: nothing to search for"_s);
        return 2;
    }
    m_object->setSearchRequest(text);
    if (!run()) {
        TerminalText::printLine(stderr, u"mavlor-cli: stopped"_s);
        return 130;
    }
    if (!m_answered) {
        TerminalText::printLine(stderr,
                                u"mavlor-cli: no usable answer from the freedb server: %1"_s.arg(
                                    TerminalText::escaped(m_error)));
        return 2;
    }
    for (qsizetype i = 0; i < m_discs.size(); ++i) {
        const Freedb::CD &disc = m_discs.at(i);
        TerminalText::printLine(stdout,
                                u"%1  %2/%3  %4"_s.arg(i + 1).arg(
                                    TerminalText::escaped(QString::fromLatin1(disc.genre)),
                                    TerminalText::escaped(QString::fromLatin1(disc.discId)),
                                    TerminalText::escaped(QString::fromLatin1(disc.title))));
    }
    return m_discs.isEmpty() ? 1 : 0;
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
