#pragma once

#include <QDockWidget>
#include <QModelIndex>

#include <memory>

#include "freedb/cd.h"
#include "freedb/server.h"
#include "musicbrainz/release.h"
#include "musicbrainz/releasesummary.h"
#include "musicbrainz/server.h"
#include "tracks/listmodel.h"
#include "tracks/track.h"

class ButtonLineEdit;
class FreedbSearchThreadObject;
class ListView;
class MusicBrainzThreadObject;
class QComboBox;
class QLabel;
class Thread;

// The dockable album search panel: a source (MusicBrainz by default, freedb on request,
// remembered in the settings), a search field, the releases or discs found, and a short status
// line. Runs each source's requests on its own worker thread and stays disabled while one runs;
// a double-clicked row's tracks leave through tracksReady(). Closing the panel stops a running
// request. Servers from the settings unless setServer() or setMusicBrainzServer() say otherwise.
class FreedbSearchWidget final : public QDockWidget, public ListModel::HeaderDataListener
{
    Q_OBJECT

public:
    // The panel's content: narrow by default so the dock does not push the track table.
    // No Q_OBJECT: moc cannot handle a nested class, and it adds no signals or slots.
    class DockContentWidget final : public QWidget
    {
    public:
        explicit DockContentWidget(QWidget *parent = nullptr);
        QSize sizeHint() const override;
    };

    enum class Source {
        MusicBrainz,
        Freedb
    };
    // A release and the MP3 further apart than this get a word in the status line.
    static constexpr int lengthToleranceMs = 5000;

    explicit FreedbSearchWidget(QWidget *parent = nullptr);
    ~FreedbSearchWidget() override;

    // Fills the search field from a file's base name: '_' and '-' become spaces, digits go.
    void setSearchText(const QString &baseName);
    // The same from the opened MP3's path (its name without the last suffix).
    void setSourceFile(const QString &mp3Path);
    // Used by the next command; call while the panel is idle.
    void setServer(const Freedb::Server &server);
    void setMusicBrainzServer(const MusicBrainz::Server &server);
    // The opened MP3's length, to compare a release's with; 0 when none is open.
    void setFileLength(int ms);
    // Chosen in the panel and remembered; searches go to this source.
    void setSource(Source source);
    Source source() const;

    bool isBusy() const;
    QString statusText() const;

    QVariant headerData(int section, int role) const override;

signals:
    void search(const QString &text);
    void closed();
    void tracksReady(const TrackContainer &tracks, const Album &album);

public slots:
    void onClick();
    void onDiscsReady(const Freedb::CDContainer &discs);
    void onSearch(const QString &text);
    void onFreedbSearchFinish();
    void onClose();
    void onListDoubleClick(const QModelIndex &index);

protected:
    void paintEvent(QPaintEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void onFailed(const QString &reason);
    void onReleasesReady(const MusicBrainz::ReleaseList &releases);
    void onReleaseReady(const MusicBrainz::Release &release);
    void onSourceChosen(int index);
    bool anyRunning() const;
    void setBusy(bool busy);
    void showStatus(const QString &text);
    void fixNumberColumn();

    ButtonLineEdit *m_searchField = nullptr;
    ListModel *m_model = nullptr;
    ListView *m_view = nullptr;
    QLabel *m_status = nullptr;
    QComboBox *m_sourceBox = nullptr;
    std::unique_ptr<FreedbSearchThreadObject> m_threadObject;
    std::unique_ptr<Thread> m_thread;
    std::unique_ptr<MusicBrainzThreadObject> m_musicBrainzObject;
    std::unique_ptr<Thread> m_musicBrainzThread;
    // The source of the rows shown, which a double click reads from.
    Source m_shownSource = Source::MusicBrainz;
    MusicBrainz::ReleaseList m_releases;
    QString m_cutNote;
    int m_fileLength = 0;
    bool m_searching = false;
};
