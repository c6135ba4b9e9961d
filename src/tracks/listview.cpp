#include "tracks/listview.h"

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
    QStyledItemDelegate::paint(painter, withoutFocus, index);
}

ListView::ListView(QWidget *parent)
    : QTreeView(parent)
{
    setItemDelegate(new ItemWithoutFocusDelegate(this));
    setRootIsDecorated(false);
}

ListView::~ListView() = default;
