#pragma once

#include <QString>

#include "musicbrainz/client.h"
#include "musicbrainz/release.h"
#include "musicbrainz/releasesummary.h"
#include "threads/ithreadobject.h"

// Runs one MusicBrainz request per start() on its worker thread: a release search or the read
// of one release. Requests are set while the thread is idle. Results and failures leave as
// queued signals; a stopped run sends neither. finished() ends every run.
class MusicBrainzThreadObject final : public IThreadObject
{
    Q_OBJECT

public:
    explicit MusicBrainzThreadObject(QObject *parent = nullptr);

    void setServer(const MusicBrainz::Server &server) { m_client.setServer(server); }
    void setTimeLimits(int idleMs, int overallMs) { m_client.setTimeLimits(idleMs, overallMs); }

    void setSearchRequest(const QString &text);
    void setReadRequest(const QString &releaseId);

public slots:
    void start() override;

signals:
    void releasesReady(const MusicBrainz::ReleaseList &releases);
    void releaseReady(const MusicBrainz::Release &release);
    // The server gave no usable answer; the reason is one line.
    void failed(const QString &reason);

private:
    MusicBrainz::Client m_client;
    QString m_text;
    bool m_read = false;
};
