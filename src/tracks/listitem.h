#pragma once

#include <QList>
#include <QVariant>

// One row of a ListModel: one value per column, shown for the display role.
class ListItem
{
public:
    explicit ListItem(const QList<QVariant> &initialValues = {});
    virtual ~ListItem();

    ListItem(const ListItem &) = delete;
    ListItem &operator=(const ListItem &) = delete;

    virtual int columnCount() const;
    // Out-of-range columns and roles other than display give an invalid value.
    virtual QVariant data(int column, int role) const;
    virtual bool setData(int column, const QVariant &value, int role);
    // The internal pointer of the model's indexes.
    virtual ListItem *identity();
    virtual Qt::ItemFlags flags(int column) const;
    virtual void append(const QVariant &value);

protected:
    QList<QVariant> m_values;
};
