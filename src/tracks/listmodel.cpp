#include "tracks/listmodel.h"

#include "tracks/listitem.h"

#include <algorithm>

ListModel::ListModel(std::vector<std::unique_ptr<ListItem>> initialItems, QObject *parent)
    : QAbstractItemModel(parent)
{
    for (auto &item : initialItems) {
        if (item)
            m_items.push_back(std::move(item));
    }
    // Nobody is attached yet, so nothing to announce.
    if (!m_items.empty()) {
        m_columns = m_items.front()->columnCount();
        for (const auto &item : m_items)
            m_columns = std::min(m_columns, item->columnCount());
    }
}

ListModel::~ListModel() = default;

// The column is checked too: an index past the last column would reach past an item's values.
QModelIndex ListModel::index(int row, int column, const QModelIndex &parent) const
{
    if (!hasIndex(row, column, parent))
        return {};
    return createIndex(row, column, m_items.at(row)->identity());
}

QModelIndex ListModel::parent(const QModelIndex &) const
{
    return {};
}

int ListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_items.size());
}

int ListModel::columnCount(const QModelIndex &) const
{
    return m_columns == unknownColumns ? 0 : m_columns;
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
    if (m_headerListener) {
        const QVariant answer = m_headerListener->headerData(section, role);
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
    if (parent.isValid() || row < 0 || row >= static_cast<int>(m_items.size()) || count <= 0)
        return false;
    const int last = std::min(row + count - 1, static_cast<int>(m_items.size()) - 1);
    beginRemoveRows({}, row, last);
    m_items.erase(m_items.begin() + row, m_items.begin() + last + 1);
    endRemoveRows();
    recomputeColumns();
    return true;
}

void ListModel::appendItem(std::unique_ptr<ListItem> item)
{
    if (!item)
        return;
    const int row = static_cast<int>(m_items.size());
    if (m_columns == unknownColumns || item->columnCount() < m_columns)
        setColumns(item->columnCount());
    beginInsertRows({}, row, row);
    m_items.push_back(std::move(item));
    endInsertRows();
}

void ListModel::clear()
{
    if (!m_items.empty()) {
        beginRemoveRows({}, 0, static_cast<int>(m_items.size()) - 1);
        m_items.clear();
        endRemoveRows();
    }
    setColumns(unknownColumns);
}

void ListModel::setHeaderListener(HeaderDataListener *listener)
{
    m_headerListener = listener;
}

// Only indexes of this model whose row still exists; a stale index gives null.
ListItem *ListModel::itemAt(const QModelIndex &index) const
{
    if (!index.isValid() || index.model() != this || index.row() < 0
        || index.row() >= static_cast<int>(m_items.size()))
        return nullptr;
    return m_items.at(index.row()).get();
}

void ListModel::recomputeColumns()
{
    if (m_items.empty()) {
        setColumns(unknownColumns);
        return;
    }
    int smallest = m_items.front()->columnCount();
    for (const auto &item : m_items)
        smallest = std::min(smallest, item->columnCount());
    setColumns(smallest);
}

// Announced like any other structure change, so that attached headers learn their sections.
void ListModel::setColumns(int newColumns)
{
    const int before = m_columns == unknownColumns ? 0 : m_columns;
    const int after = newColumns == unknownColumns ? 0 : newColumns;
    if (after > before) {
        beginInsertColumns({}, before, after - 1);
        m_columns = newColumns;
        endInsertColumns();
    } else if (after < before) {
        beginRemoveColumns({}, after, before - 1);
        m_columns = newColumns;
        endRemoveColumns();
    } else {
        m_columns = newColumns;
    }
}
