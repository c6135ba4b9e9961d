#pragma once

#include <memory>

#include "tracks/listitem.h"

struct Track;

// A row with a check box in checkColumn; the other columns show their value as text and
// tool tip. After the fifth value an empty one follows, so a track row gets its trailing
// empty column without asking.
class TrackItem final : public ListItem
{
public:
    TrackItem(int checkBoxColumn, bool isChecked, const QList<QVariant> &initialValues = {});
    ~TrackItem() override;

    // A track table row: check box, artist, title, start, end, length, empty; checked. The
    // times show hours when the file (fileLength, ms) is an hour or longer.
    static std::unique_ptr<TrackItem> forTrack(const Track &track, int fileLength = 0);

    QVariant data(int column, int role) const override;
    bool setData(int column, const QVariant &value, int role) override;
    Qt::ItemFlags flags(int column) const override;
    void append(const QVariant &value) override;

private:
    int m_checkColumn;
    bool m_checked;
};
