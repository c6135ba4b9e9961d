#include "tracks/listview.h"

#include <QPainter>

ListView::ItemWithoutFocusDelegate::ItemWithoutFocusDelegate(QObject *parent)
    : QStyledItemDelegate(parent)
{
}

void ListView::ItemWithoutFocusDelegate::paint(QPainter *painter,
                                               const QStyleOptionViewItem &option,
                                               const QModelIndex &index) const
{
    QStyleOptionViewItem withoutFocus(option);
    withoutFocus.state &= ~QStyle::State_HasFocus;
    const auto *view = qobject_cast<const ListView *>(parent());
    if (view && view->isRowHighlighted(index.row()))
        painter->fillRect(option.rect, QColor(0xFF, 0xF4, 0xC2));
    QStyledItemDelegate::paint(painter, withoutFocus, index);
}

ListView::ListView(QWidget *parent)
    : QTreeView(parent)
{
    setItemDelegate(new ItemWithoutFocusDelegate(this));
    setRootIsDecorated(false);
}

ListView::~ListView() = default;

void ListView::setHighlightedRows(int first, int last)
{
    if (first == m_highlightFirst && last == m_highlightLast)
        return;
    m_highlightFirst = first;
    m_highlightLast = last;
    viewport()->update();
}
