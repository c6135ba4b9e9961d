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
                                         QAbstractItemModel *trackModel, QAction *slice,
                                         QObject *parent)
    : QObject(parent)
    , header(trackHeader)
    , view(trackView)
    , model(trackModel)
    , sliceAction(slice)
{
    if (header) {
        connect(header, &TrackHeader::checkBoxClicked, this,
                &TrackViewController::onTrackHeaderCheckBox);
        connect(header, &TrackHeader::buttonViewClicked, this,
                &TrackViewController::onTrackHeaderButtonView);
    }
}

bool TrackViewController::isColumnHidden(int column) const
{
    return view ? view->isColumnHidden(column) : header->isSectionHidden(column);
}

TrackViewController::~TrackViewController() = default;

QMenu *TrackViewController::columnMenu() const
{
    return menu;
}

void TrackViewController::onTrackHeaderCheckBox(bool checked)
{
    if (sliceAction)
        sliceAction->setEnabled(checked);
    if (!model)
        return;
    const int state = checked ? Qt::Checked : Qt::Unchecked;
    for (int row = 0; row < model->rowCount(); ++row)
        model->setData(model->index(row, 0), state, Qt::CheckStateRole);
}

void TrackViewController::onTrackHeaderButtonView(bool raised)
{
    if (raised || !header)
        return;
    if (!menu)
        createColumnMenu();
    menu->setFocus();
    // Right-aligned with the button: a menu wider than the section ends at its right edge.
    const int menuWidth = menu->sizeHint().width();
    const QPoint origin = header->mapToGlobal(QPoint(0, 0));
    const int x = origin.x() + header->sectionPosition(viewButtonSection)
                  - std::abs(menuWidth - header->sectionSize(viewButtonSection));
    menu->popup(QPoint(x, origin.y() + header->height()));
}

void TrackViewController::onTrackViewMenuHide()
{
    if (header && !header->isViewButtonRaised())
        header->setViewButtonRaised(true);
}

void TrackViewController::onTrackViewColumnVisibility(QAction *action)
{
    if (!action || !header)
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
    if (view)
        view->setColumnHidden(column, !action->isChecked());
    else
        header->setSectionHidden(column, !action->isChecked());
}

void TrackViewController::createColumnMenu()
{
    menu = new QMenu(header);
    auto *group = new QActionGroup(menu);
    group->setExclusive(false);
    for (int column = firstTextColumn; column <= lastTextColumn; ++column) {
        // The header's own titles, so menu and table read alike.
        QAction *action = group->addAction(header->headerData(column, Qt::DisplayRole).toString());
        action->setCheckable(true);
        action->setData(column);
        action->setChecked(!isColumnHidden(column));
        menu->addAction(action);
    }
    connect(menu, &QMenu::aboutToHide, this, &TrackViewController::onTrackViewMenuHide);
    connect(group, &QActionGroup::triggered, this,
            &TrackViewController::onTrackViewColumnVisibility);
}
