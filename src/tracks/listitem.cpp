#include "tracks/listitem.h"

ListItem::ListItem(const QList<QVariant> &initialValues)
    : m_values(initialValues)
{
}

ListItem::~ListItem() = default;

int ListItem::columnCount() const
{
    return static_cast<int>(m_values.size());
}

QVariant ListItem::data(int column, int role) const
{
    if (role != Qt::DisplayRole || column < 0 || column >= columnCount())
        return {};
    return m_values.at(column);
}

bool ListItem::setData(int column, const QVariant &value, int role)
{
    if (role != Qt::DisplayRole || column < 0 || column >= columnCount())
        return false;
    m_values[column] = value;
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
    m_values.append(value);
}
