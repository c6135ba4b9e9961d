#include "tracks/trackitem.h"

#include "tracks/timetext.h"
#include "tracks/track.h"

TrackItem::TrackItem(int checkBoxColumn, bool isChecked, const QList<QVariant> &initialValues)
    : ListItem(initialValues)
    , m_checkColumn(checkBoxColumn)
    , m_checked(isChecked)
{
    ListItem::append(QString());
}

TrackItem::~TrackItem() = default;

std::unique_ptr<TrackItem> TrackItem::forTrack(const Track &track, int fileLength)
{
    auto item = std::make_unique<TrackItem>(0, false);
    item->append(track.artist);
    item->append(track.title);
    item->append(TimeText::format(track.start, fileLength));
    item->append(TimeText::format(track.end, fileLength));
    item->append(TimeText::format(track.length(), fileLength));
    item->setData(0, track.ticked ? Qt::Checked : Qt::Unchecked, Qt::CheckStateRole);
    // The track's number stands beside its check box.
    item->ListItem::setData(0, track.number > 0 ? QString::number(track.number) : QString(),
                            Qt::DisplayRole);
    return item;
}

QVariant TrackItem::data(int column, int role) const
{
    if (column == m_checkColumn) {
        if (role == Qt::CheckStateRole)
            return static_cast<int>(m_checked ? Qt::Checked : Qt::Unchecked);
        const bool text = role == Qt::DisplayRole || role == Qt::ToolTipRole;
        return text ? ListItem::data(column, Qt::DisplayRole) : QVariant();
    }
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        if (column < 0 || column >= columnCount())
            return {};
        return m_values.at(column);
    case Qt::TextAlignmentRole:
        return static_cast<int>(column == 1 || column == 2 ? Qt::AlignLeft : Qt::AlignRight);
    default:
        return {};
    }
}

bool TrackItem::setData(int column, const QVariant &value, int role)
{
    if (column == m_checkColumn) {
        if (role == Qt::DisplayRole)
            return ListItem::setData(column, value, role);
        if (role != Qt::CheckStateRole)
            return false;
        m_checked = value.toInt() != 0;
        return true;
    }
    return ListItem::setData(column, value, role);
}

Qt::ItemFlags TrackItem::flags(int column) const
{
    if (column == m_checkColumn)
        return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsUserCheckable;
    return ListItem::flags(column);
}

void TrackItem::append(const QVariant &value)
{
    const bool fifth = columnCount() == 5;
    ListItem::append(value);
    if (fifth)
        ListItem::append(QString());
}
