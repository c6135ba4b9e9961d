#pragma once

#include "tracks/listmodel.h"

#include <QHeaderView>
#include <QStyleOptionButton>

// Horizontal header of the track table: a tri-state check box in section 0 ticks or
// unticks every track, a push button in section 6 opens the column menu. Answers the
// model's header titles and alignments as its ListModel::HeaderDataListener.
class TrackHeader final : public QHeaderView, public ListModel::HeaderDataListener
{
    Q_OBJECT

public:
    explicit TrackHeader(QWidget *parent = nullptr);
    ~TrackHeader() override;

    // 0 unchecked, 1 partially checked, 2 checked.
    int checkBoxState() const;
    bool isViewButtonRaised() const;

    // Emits checkBoxClicked for 0 and 2 only: a partial state is set by the table, not the user.
    void setCheckState(int state);
    void setViewButtonRaised(bool raised);

    QVariant headerData(int section, int role) const override;

    // Widens the start, end and length columns to the longest time of a file this long.
    void setFileLength(int ms);
    int timeColumnWidth() const;

signals:
    void checkBoxClicked(bool checked);
    void buttonViewClicked(bool state);

public slots:
    void onCheckBox(Qt::CheckState state);
    void onButtonView(bool raised);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void paintSection(QPainter *painter, const QRect &rect, int logicalIndex) const override;

private:
    int m_checkState = 0;
    QStyleOptionButton m_viewButtonOption;
    mutable QStyleOptionButton m_checkBoxOption;
    bool m_viewButtonRaised = true;
    int m_timeWidth = 65;
};
