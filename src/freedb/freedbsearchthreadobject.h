#pragma once

#include <QString>

#include "freedb/cd.h"
#include "freedb/client.h"
#include "threads/ithreadobject.h"
#include "tracks/album.h"
#include "tracks/track.h"

// Runs one freedb command per start() on its worker thread: a search, or the read of a disc
// from the last search's list (or of a disc named by genre and id). Requests are set while
// the thread is idle. Results and failures leave as queued signals; a stopped run sends
// neither. finished() ends every run.
class FreedbSearchThreadObject final : public IThreadObject
{
    Q_OBJECT

public:
    enum class Mode {
        Search,
        Read
    };

    explicit FreedbSearchThreadObject(QObject *parent = nullptr);

    void setServer(const Freedb::Server &server) { m_client.setServer(server); }
    Freedb::Server server() const { return m_client.server(); }

    // A new search forgets the discs of the last one, so no later read refers to them.
    void setSearchRequest(const QString &text);
    void setReadRequest(int discIndex);
    void setReadRequest(const Freedb::CD &disc);

    Mode mode() const { return m_mode; }
    bool discsAvailable() const { return m_discsAvailable; }

public slots:
    void start() override;

signals:
    void tracksReady(const TrackContainer &tracks, const Album &album);
    void discsReady(const Freedb::CDContainer &discs);
    // Sent before discsReady() when the server listed more discs than are kept.
    void discListCut(int kept);
    // The server gave no usable answer, or the disc entry holds no tracks.
    void failed(const QString &reason);

private:
    void search();
    void read();

    Freedb::Client m_client;
    QString m_searchText;
    Mode m_mode = Mode::Search;
    int m_selectedDisc = 0;
    bool m_discsAvailable = false;
    bool m_readNamedDisc = false;
    Freedb::CD m_namedDisc;
};
