#pragma once

#include <QStyledItemDelegate>
#include <QTreeView>

// Flat tree view for item lists (tracks, freedb discs): no expand handles, and rows are
// never painted with a focus frame.
class ListView final : public QTreeView
{
    Q_OBJECT

public:
    // Paints items as the styled delegate does, minus the focus rectangle. No Q_OBJECT:
    // moc cannot handle a nested class, and it adds no signals, slots or properties.
    class ItemWithoutFocusDelegate final : public QStyledItemDelegate
    {
    public:
        explicit ItemWithoutFocusDelegate(QObject *parent = nullptr);

        void paint(QPainter *painter, const QStyleOptionViewItem &option,
                   const QModelIndex &index) const override;
    };

    explicit ListView(QWidget *parent = nullptr);
    ~ListView() override;
};
