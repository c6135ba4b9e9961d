#include "tracks/listitem.h"

ListItem::ListItem(const QList<QVariant> &initialValues)
    : values(initialValues)
{
}

ListItem::~ListItem() = default;

int ListItem::columnCount() const
{
    return static_cast<int>(values.size());
}

QVariant ListItem::data(int column, int role) const
{
    if (role != Qt::DisplayRole || column < 0 || column >= columnCount())
        return {};
    return values.at(column);
}

bool ListItem::setData(int column, const QVariant &value, int role)
{
    if (role != Qt::DisplayRole || column < 0 || column >= columnCount())
        return false;
    values[column] = value;
    return true;
}

ListItem *ListItem::identity()
{
    return this;
}

Qt::ItemFlags ListItem::flags(int) const
{
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled;
}

void ListItem::append(const QVariant &value)
{
    values.append(value);
}
