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

    // Rows first to last (inclusive) drawn on a pale background, apart from the selection:
    // the tracks on either side of a boundary the pointer is on. first > last: none.
    void setHighlightedRows(int first, int last);
    bool isRowHighlighted(int row) const
    {
        return row >= m_highlightFirst && row <= m_highlightLast;
    }

private:
    int m_highlightFirst = 0;
    int m_highlightLast = -1;
};
