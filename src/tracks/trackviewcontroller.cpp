#include "tracks/trackviewcontroller.h"

#include "tracks/trackheader.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QTreeView>

#include <cstdlib>

namespace {
constexpr int firstTextColumn = 1;
constexpr int lastTextColumn = 5;
constexpr int viewButtonSection = 6;
} // namespace

TrackViewController::TrackViewController(TrackHeader *trackHeader, QTreeView *trackView,
                                         QAbstractItemModel *trackModel, QObject *parent)
    : QObject(parent)
    , m_header(trackHeader)
    , m_view(trackView)
    , m_model(trackModel)
{
    if (m_header) {
        connect(m_header, &TrackHeader::checkBoxClicked, this,
                &TrackViewController::onTrackHeaderCheckBox);
        connect(m_header, &TrackHeader::buttonViewClicked, this,
                &TrackViewController::onTrackHeaderButtonView);
    }
}

bool TrackViewController::isColumnHidden(int column) const
{
    return m_view ? m_view->isColumnHidden(column) : m_header->isSectionHidden(column);
}

TrackViewController::~TrackViewController() = default;

QMenu *TrackViewController::columnMenu() const
{
    return m_menu;
}

void TrackViewController::onTrackHeaderCheckBox(bool checked)
{
    if (!m_model)
        return;
    const int state = checked ? Qt::Checked : Qt::Unchecked;
    for (int row = 0; row < m_model->rowCount(); ++row)
        m_model->setData(m_model->index(row, 0), state, Qt::CheckStateRole);
}

void TrackViewController::onTrackHeaderButtonView(bool raised)
{
    if (raised || !m_header)
        return;
    if (!m_menu)
        createColumnMenu();
    m_menu->setFocus();
    // Right-aligned with the button: a menu wider than the section ends at its right edge.
    const int menuWidth = m_menu->sizeHint().width();
    const QPoint origin = m_header->mapToGlobal(QPoint(0, 0));
    const int x = origin.x() + m_header->sectionPosition(viewButtonSection)
        - std::abs(menuWidth - m_header->sectionSize(viewButtonSection));
    m_menu->popup(QPoint(x, origin.y() + m_header->height()));
}

void TrackViewController::onTrackViewMenuHide()
{
    if (m_header && !m_header->isViewButtonRaised())
        m_header->setViewButtonRaised(true);
}

void TrackViewController::onTrackViewColumnVisibility(QAction *action)
{
    if (!action || !m_header)
        return;
    const QVariant data = action->data();
    if (data.typeId() != QMetaType::Int)
        return;
    const int column = data.toInt();
    if (column < firstTextColumn || column > lastTextColumn)
        return;
    int visible = 0;
    for (int section = firstTextColumn; section <= lastTextColumn; ++section)
        visible += isColumnHidden(section) ? 0 : 1;
    if (visible < 2 && !action->isChecked()) {
        // The last visible text column stays.
        action->setChecked(true);
        return;
    }
    // Follows the check mark rather than toggling, so a column hidden elsewhere cannot
    // leave the menu and the table out of step.
    if (m_view)
        m_view->setColumnHidden(column, !action->isChecked());
    else
        m_header->setSectionHidden(column, !action->isChecked());
}

void TrackViewController::createColumnMenu()
{
    m_menu = new QMenu(m_header);
    auto *group = new QActionGroup(m_menu);
    group->setExclusive(false);
    for (int column = firstTextColumn; column <= lastTextColumn; ++column) {
        // The header's own titles, so menu and table read alike.
        QAction *action =
            group->addAction(m_header->headerData(column, Qt::DisplayRole).toString());
        action->setCheckable(true);
        action->setData(column);
        action->setChecked(!isColumnHidden(column));
        m_menu->addAction(action);
    }
    connect(m_menu, &QMenu::aboutToHide, this, &TrackViewController::onTrackViewMenuHide);
    connect(group, &QActionGroup::triggered, this,
            &TrackViewController::onTrackViewColumnVisibility);
}
