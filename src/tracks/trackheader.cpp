#include "tracks/trackheader.h"

#include "tracks/timetext.h"

#include <QIcon>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <array>
#include <utility>

using namespace Qt::StringLiterals;

namespace {
constexpr int checkBoxSection = 0;
constexpr int viewButtonSection = 6;
constexpr int buttonWidth = 20;
// The box and the track's number beside it.
constexpr int checkBoxWidth = 44;
constexpr int timeWidth = 65;
// Room around a time text: the cell's margins and a little air.
constexpr int timePadding = 10;
constexpr std::array<int, 3> timeSections{3, 4, 5};

} // namespace

TrackHeader::TrackHeader(QWidget *parent)
    : QHeaderView(Qt::Horizontal, parent)
{
    setSectionsClickable(true);
    setSectionResizeMode(QHeaderView::Stretch);
    // The style's default minimum would widen the 20-pixel box and button sections.
    setMinimumSectionSize(buttonWidth);
    m_viewButtonOption.state = QStyle::State_Enabled | QStyle::State_Raised;
    m_viewButtonOption.features = QStyleOptionButton::DefaultButton;
    m_viewButtonOption.icon = QIcon(u":/columnView"_s);
    m_viewButtonOption.iconSize = QSize(20, 20);
    m_checkBoxOption.state = QStyle::State_Off;
    m_viewButtonRaised = true;
}

TrackHeader::~TrackHeader() = default;

int TrackHeader::checkBoxState() const
{
    return m_checkState;
}

bool TrackHeader::isViewButtonRaised() const
{
    return m_viewButtonRaised;
}

void TrackHeader::setCheckState(int state)
{
    if (state == m_checkState)
        return;
    m_checkState = state;
    updateSection(checkBoxSection);
    if (state != Qt::PartiallyChecked)
        emit checkBoxClicked(state == Qt::Checked);
}

void TrackHeader::setViewButtonRaised(bool raised)
{
    if (raised == m_viewButtonRaised)
        return;
    m_viewButtonOption.state = QStyle::State_Enabled;
    if (raised)
        m_viewButtonOption.state |= QStyle::State_Raised;
    m_viewButtonRaised = raised;
    updateSection(viewButtonSection);
    emit buttonViewClicked(raised);
}

QVariant TrackHeader::headerData(int section, int role) const
{
    switch (role) {
    case Qt::TextAlignmentRole:
        return static_cast<int>(section == 1 || section == 2 ? Qt::AlignLeft : Qt::AlignRight);
    case Qt::DisplayRole:
        switch (section) {
        case 1:
            return tr("Artist");
        case 2:
            return tr("Title");
        case 3:
            return tr("Start");
        case 4:
            return tr("End");
        case 5:
            return tr("Length");
        default:
            return QString();
        }
    default:
        return {};
    }
}

void TrackHeader::setFileLength(int ms)
{
    // The file's length is the longest time any row shows.
    const int needed = fontMetrics().horizontalAdvance(TimeText::format(ms, ms)) + timePadding;
    m_timeWidth = std::max(timeWidth, needed);
    update();
}

int TrackHeader::timeColumnWidth() const
{
    return m_timeWidth;
}

void TrackHeader::onCheckBox(Qt::CheckState state)
{
    setCheckState(state);
}

void TrackHeader::onButtonView(bool raised)
{
    setViewButtonRaised(raised);
}

void TrackHeader::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        const int section = logicalIndexAt(event->position().toPoint());
        if (section == viewButtonSection)
            setViewButtonRaised(!m_viewButtonRaised);
        else if (section == checkBoxSection)
            setCheckState(m_checkState == Qt::Checked ? Qt::Unchecked : Qt::Checked);
    }
    QHeaderView::mousePressEvent(event);
}

void TrackHeader::paintEvent(QPaintEvent *event)
{
    // Sections whose widths are fixed; stored or dragged widths never survive a paint.
    const std::array<std::pair<int, int>, 5> fixedSections{{
        {checkBoxSection, checkBoxWidth},
        {timeSections[0], m_timeWidth},
        {timeSections[1], m_timeWidth},
        {timeSections[2], m_timeWidth},
        {viewButtonSection, buttonWidth},
    }};
    bool widthsHold = true;
    for (const auto &[section, width] : fixedSections) {
        if (section < count()
            && (sectionResizeMode(section) != QHeaderView::Fixed || sectionSize(section) != width))
            widthsHold = false;
    }
    if (!widthsHold) {
        for (const auto &[section, width] : fixedSections) {
            if (section >= count())
                continue;
            setSectionResizeMode(section, QHeaderView::Fixed);
            resizeSection(section, width);
        }
    }
    QHeaderView::paintEvent(event);
}

void TrackHeader::paintSection(QPainter *painter, const QRect &rect, int logicalIndex) const
{
    painter->save();
    QHeaderView::paintSection(painter, rect, logicalIndex);
    painter->restore();

    if (logicalIndex == viewButtonSection) {
        // A pressed button sinks by one pixel on every side.
        const int p = m_viewButtonRaised ? 0 : 1;
        QStyleOptionButton button(m_viewButtonOption);
        button.rect =
            QRect(QPoint(rect.left() + p, p),
                  QPoint(rect.left() + sectionSize(logicalIndex) - p - 1, height() - 1 - p));
        style()->drawControl(QStyle::CE_PushButton, &button, painter, this);
    } else if (logicalIndex == checkBoxSection) {
        const QRect indicator =
            style()->subElementRect(QStyle::SE_CheckBoxIndicator, &m_checkBoxOption, this);
        const int w = indicator.width();
        const int h = indicator.height();
        m_checkBoxOption.rect = QRect(rect.left() + sectionSize(logicalIndex) / 2 - w / 2 - 1,
                                      height() / 2 - h / 2 - 1, w, h);
        switch (m_checkState) {
        case Qt::Checked:
            m_checkBoxOption.state = QStyle::State_On;
            break;
        case Qt::PartiallyChecked:
            m_checkBoxOption.state = QStyle::State_NoChange;
            break;
        default:
            m_checkBoxOption.state = QStyle::State_Off;
            break;
        }
        style()->drawPrimitive(QStyle::PE_IndicatorCheckBox, &m_checkBoxOption, painter, this);
    }
}
