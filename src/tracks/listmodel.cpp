#include "tracks/listmodel.h"

#include "tracks/listitem.h"

#include <algorithm>

ListModel::ListModel(const QList<ListItem *> &initialItems, QObject *parent)
    : QAbstractItemModel(parent)
{
    for (ListItem *item : initialItems) {
        if (item)
            items.append(item);
    }
    // Nobody is attached yet, so nothing to announce.
    if (!items.isEmpty()) {
        columns = items.first()->columnCount();
        for (const ListItem *item : std::as_const(items))
            columns = std::min(columns, item->columnCount());
    }
}

ListModel::~ListModel()
{
    qDeleteAll(items);
}

// The column is checked too: an index past the last column would reach past an item's values.
QModelIndex ListModel::index(int row, int column, const QModelIndex &parent) const
{
    if (!hasIndex(row, column, parent))
        return {};
    return createIndex(row, column, items.at(row)->identity());
}

QModelIndex ListModel::parent(const QModelIndex &) const
{
    return {};
}

int ListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(items.size());
}

int ListModel::columnCount(const QModelIndex &) const
{
    return columns == unknownColumns ? 0 : columns;
}

QVariant ListModel::data(const QModelIndex &index, int role) const
{
    const ListItem *item = itemAt(index);
    return item ? item->data(index.column(), role) : QVariant();
}

bool ListModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    ListItem *item = itemAt(index);
    if (!item || !item->setData(index.column(), value, role))
        return false;
    emit dataChanged(index, index);
    return true;
}

QVariant ListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (headerListener) {
        const QVariant answer = headerListener->headerData(section, role);
        if (answer.isValid())
            return answer;
    }
    return QAbstractItemModel::headerData(section, orientation, role);
}

Qt::ItemFlags ListModel::flags(const QModelIndex &index) const
{
    const ListItem *item = itemAt(index);
    return item ? item->flags(index.column()) : Qt::NoItemFlags;
}

bool ListModel::removeRows(int row, int count, const QModelIndex &parent)
{
    if (parent.isValid() || row < 0 || row >= items.size() || count <= 0)
        return false;
    const int last = std::min(row + count - 1, static_cast<int>(items.size()) - 1);
    beginRemoveRows({}, row, last);
    for (int i = row; i <= last; ++i)
        delete items.at(i);
    items.remove(row, last - row + 1);
    endRemoveRows();
    recomputeColumns();
    return true;
}

void ListModel::appendItem(ListItem *item)
{
    if (!item)
        return;
    const int row = static_cast<int>(items.size());
    if (columns == unknownColumns || item->columnCount() < columns)
        setColumns(item->columnCount());
    beginInsertRows({}, row, row);
    items.append(item);
    endInsertRows();
}

void ListModel::clear()
{
    if (!items.isEmpty()) {
        beginRemoveRows({}, 0, static_cast<int>(items.size()) - 1);
        qDeleteAll(items);
        items.clear();
        endRemoveRows();
    }
    setColumns(unknownColumns);
}

void ListModel::setHeaderListener(HeaderDataListener *listener)
{
    headerListener = listener;
}

// Only indexes of this model whose row still exists; a stale index gives null.
ListItem *ListModel::itemAt(const QModelIndex &index) const
{
    if (!index.isValid() || index.model() != this || index.row() < 0 || index.row() >= items.size())
        return nullptr;
    return items.at(index.row());
}

void ListModel::recomputeColumns()
{
    if (items.isEmpty()) {
        setColumns(unknownColumns);
        return;
    }
    int smallest = items.first()->columnCount();
    for (const ListItem *item : std::as_const(items))
        smallest = std::min(smallest, item->columnCount());
    setColumns(smallest);
}

// Announced like any other structure change, so that attached headers learn their sections.
void ListModel::setColumns(int newColumns)
{
    const int before = columns == unknownColumns ? 0 : columns;
    const int after = newColumns == unknownColumns ? 0 : newColumns;
    if (after > before) {
        beginInsertColumns({}, before, after - 1);
        columns = newColumns;
        endInsertColumns();
    } else if (after < before) {
        beginRemoveColumns({}, after, before - 1);
        columns = newColumns;
        endRemoveColumns();
    } else {
        columns = newColumns;
    }
}
