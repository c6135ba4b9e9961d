#include "musicbrainzjob.h"

#include "musicbrainz/musicbrainzthreadobject.h"
#include "terminaltext.h"

using namespace Qt::StringLiterals;

MusicBrainzJob::MusicBrainzJob(const MusicBrainz::Server &server, QObject *parent)
    : LookupJob(u"MusicBrainz"_s, parent)
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
}

int MusicBrainzJob::search(const QString &text)
{
    return runSearch(text, [this] {
        QStringList lines;
        for (qsizetype i = 0; i < m_releases.size(); ++i) {
            const MusicBrainz::ReleaseSummary &release = m_releases.at(i);
            lines << u"%1  %2  %3 - %4 (%5, %6 tracks)"_s.arg(i + 1)
                         .arg(TerminalText::escaped(release.id),
                              TerminalText::escaped(release.artist),
                              TerminalText::escaped(release.title),
                              TerminalText::escaped(release.date))
                         .arg(release.trackCount);
        }
        return lines;
    });
}

bool MusicBrainzJob::readTracks(const QString &releaseId, TrackContainer *tracks, Album *album,
                                QString *error)
{
    m_object->setReadRequest(releaseId);
    const bool finished = run();
    QString reason = finished ? m_error : u"stopped"_s;
    if (finished && m_answered && m_release.toTracks(tracks, &reason)) {
        *album = m_release.album();
        return true;
    }
    if (error)
        *error = TerminalText::escaped(reason);
    return false;
}
