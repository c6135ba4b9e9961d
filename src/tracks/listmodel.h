#pragma once

#include <QAbstractItemModel>

#include <memory>
#include <vector>

#include "tracks/listitem.h"

// A flat item model over owned ListItem rows; the column count is the smallest of all rows.
// Header texts come from an optional, unowned HeaderDataListener.
class ListModel : public QAbstractItemModel
{
    Q_OBJECT

public:
    // Answers header data for the model; an invalid value falls back to the default.
    class HeaderDataListener
    {
    public:
        virtual ~HeaderDataListener() = default;
        virtual QVariant headerData(int section, int role) const = 0;
    };

    // Null items are dropped.
    explicit ListModel(std::vector<std::unique_ptr<ListItem>> initialItems = {},
                       QObject *parent = nullptr);
    ~ListModel() override;

    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool removeRows(int row, int count, const QModelIndex &parent = {}) override;

    // A null item is ignored.
    virtual void appendItem(std::unique_ptr<ListItem> item);
    virtual void clear();

    void setHeaderListener(HeaderDataListener *listener);

private:
    ListItem *itemAt(const QModelIndex &index) const;
    void recomputeColumns();
    void setColumns(int newColumns);

    static constexpr int unknownColumns = -1;

    std::vector<std::unique_ptr<ListItem>> m_items;
    int m_columns = unknownColumns;
    HeaderDataListener *m_headerListener = nullptr;
};
