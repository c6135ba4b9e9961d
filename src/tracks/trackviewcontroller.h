#pragma once

#include <QObject>
#include <QPointer>

class QAction;
class QMenu;
class QAbstractItemModel;
class QTreeView;
class TrackHeader;

// The track table's reactions to its header: tick or untick every row, and the menu that
// shows or hides columns 1 to 5. Nothing is owned; the menu is created on first use as a child
// of the header. Connects the header itself.
class TrackViewController final : public QObject
{
    Q_OBJECT

public:
    TrackViewController(TrackHeader *trackHeader, QTreeView *trackView,
                        QAbstractItemModel *trackModel, QObject *parent = nullptr);
    ~TrackViewController() override;

    // Null until the view button was pressed once.
    QMenu *columnMenu() const;

public slots:
    void onTrackHeaderCheckBox(bool checked);
    void onTrackHeaderButtonView(bool raised);
    void onTrackViewMenuHide();
    void onTrackViewColumnVisibility(QAction *action);

private:
    void createColumnMenu();
    bool isColumnHidden(int column) const;

    QPointer<TrackHeader> m_header;
    QPointer<QTreeView> m_view;
    QPointer<QAbstractItemModel> m_model;
    QPointer<QMenu> m_menu;
};
