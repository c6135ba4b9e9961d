#include "musicbrainz/musicbrainzthreadobject.h"

MusicBrainzThreadObject::MusicBrainzThreadObject(QObject *parent)
    : IThreadObject(parent)
{
    registerTrackMetaTypes();
    MusicBrainz::registerMetaTypes();
    m_client.setContinueListener(this);
}

void MusicBrainzThreadObject::setSearchRequest(const QString &text)
{
    m_text = text;
    m_read = false;
}

void MusicBrainzThreadObject::setReadRequest(const QString &releaseId)
{
    m_text = releaseId;
    m_read = true;
}

void MusicBrainzThreadObject::start()
{
    if (m_read) {
        MusicBrainz::Release release;
        if (m_client.readRelease(m_text, &release))
            emit releaseReady(release);
        else if (shouldContinue())
            emit failed(m_client.errorString());
    } else {
        MusicBrainz::ReleaseList releases;
        if (m_client.search(m_text, &releases))
            emit releasesReady(releases);
        else if (shouldContinue())
            emit failed(m_client.errorString());
    }
    emit finished();
}
