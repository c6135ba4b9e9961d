#pragma once

#include <QDockWidget>
#include <QModelIndex>

#include <memory>

#include "freedb/cd.h"
#include "freedb/server.h"
#include "tracks/listmodel.h"
#include "tracks/track.h"

class ButtonLineEdit;
class FreedbSearchThreadObject;
class ListView;
class QLabel;
class Thread;

// The dockable freedb panel: a search field, the discs found, and a short line saying why a
// search found nothing. Runs its commands on its own worker thread and stays disabled while
// one runs; a double-clicked disc's tracks leave through tracksReady(). Closing the panel
// stops a running command. Server from the settings unless setServer() says otherwise.
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

    explicit FreedbSearchWidget(QWidget *parent = nullptr);
    ~FreedbSearchWidget() override;

    // Fills the search field from a file's base name: '_' and '-' become spaces, digits go.
    void setSearchText(const QString &baseName);
    // The same from the opened MP3's path (its name without the last suffix).
    void setSourceFile(const QString &mp3Path);
    // Used by the next command; call while the panel is idle.
    void setServer(const Freedb::Server &server);

    bool isBusy() const;
    QString statusText() const;

    QVariant headerData(int section, int role) const override;

signals:
    void search(const QString &text);
    void closed();
    void tracksReady(const TrackContainer &tracks);

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
    void setBusy(bool busy);
    void showStatus(const QString &text);
    void fixNumberColumn();

    ButtonLineEdit *m_searchField = nullptr;
    ListModel *m_model = nullptr;
    ListView *m_view = nullptr;
    QLabel *m_status = nullptr;
    std::unique_ptr<FreedbSearchThreadObject> m_threadObject;
    std::unique_ptr<Thread> m_thread;
    bool m_searching = false;
};
