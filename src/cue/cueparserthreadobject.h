#pragma once

#include <QString>

#include "threads/ithreadobject.h"
#include "tracks/album.h"
#include "tracks/track.h"

// Parses one CUE sheet per run on its worker thread. The path is set while the thread is
// idle and cleared at the end of the run. For a sheet with at least one track and no stop
// request, readyAlbum() and then readyTracks() are emitted, so a receiver that acts on the
// tracks already has the album; finished() always.
class CueParserThreadObject final : public IThreadObject
{
    Q_OBJECT

public:
    explicit CueParserThreadObject(QObject *parent = nullptr);

    void setPath(const QString &path);
    QString path() const { return m_path; }

public slots:
    void start() override;

signals:
    void readyAlbum(const Album &album);
    void readyTracks(const TrackContainer &tracks);

private:
    QString m_path;
};
