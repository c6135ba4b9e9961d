#include "musicbrainzjob.h"

#include <cstdio>

#include "musicbrainz/musicbrainzthreadobject.h"
#include "terminaltext.h"
#include "threads/thread.h"
#include "workerrun.h"

using namespace Qt::StringLiterals;

MusicBrainzJob::MusicBrainzJob(const MusicBrainz::Server &server, QObject *parent)
    : QObject(parent)
    , m_object(std::make_unique<MusicBrainzThreadObject>())
    , m_thread(std::make_unique<Thread>(m_object.get()))
{
    m_object->setServer(server);
    connect(m_object.get(), &MusicBrainzThreadObject::releasesReady, this,
            [this](const MusicBrainz::ReleaseList &releases) {
                m_releases = releases;
                m_answered = true;
            });
    connect(m_object.get(), &MusicBrainzThreadObject::releaseReady, this,
            [this](const MusicBrainz::Release &release) {
                m_release = release;
                m_answered = true;
            });
    connect(m_object.get(), &MusicBrainzThreadObject::failed, this,
            [this](const QString &reason) { m_error = reason; });
}

MusicBrainzJob::~MusicBrainzJob()
{
    m_thread->stopAndWait();
    m_object.reset();
    m_thread.reset();
}

bool MusicBrainzJob::run()
{
    m_answered = false;
    m_error.clear();
    return WorkerRun::run(*m_thread, *m_object);
}

int MusicBrainzJob::search(const QString &text)
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
        TerminalText::printLine(
            stderr,
            u"mavlor-cli: no usable answer from the MusicBrainz server: %1"_s.arg(
                TerminalText::escaped(m_error)));
        return 2;
    }
    for (qsizetype i = 0; i < m_releases.size(); ++i) {
        const MusicBrainz::ReleaseSummary &release = m_releases.at(i);
        TerminalText::printLine(
            stdout,
            u"%1  %2  %3 - %4 (%5, %6 tracks)"_s.arg(i + 1)
                .arg(TerminalText::escaped(release.id), TerminalText::escaped(release.artist),
                     TerminalText::escaped(release.title), TerminalText::escaped(release.date))
                .arg(release.trackCount));
    }
    return m_releases.isEmpty() ? 1 : 0;
}

bool MusicBrainzJob::readTracks(const QString &releaseId, TrackContainer *tracks, Album *album,
                                QString *error)
{
    m_object->setReadRequest(releaseId);
    const bool finished = run();
    QString reason = finished ? m_error : u"stopped"_s;
    if (finished && m_answered && m_release.toTracks(tracks, &reason)) {
        *album = m_release.album().tags();
        return true;
    }
    if (error)
        *error = TerminalText::escaped(reason);
    return false;
}
