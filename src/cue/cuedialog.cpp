#include "cue/cuedialog.h"

#include <QApplication>
#include <QFileInfo>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "tracks/listview.h"

using namespace Qt::StringLiterals;

CueDialog::CueDialog(QWidget *parent)
    : QDialog(parent, Qt::Tool)
    , m_list(new QListWidget(this))
    , m_chooseButton(new QPushButton(tr("Choose selected cue file"), this))
    , m_exitButton(new QPushButton(tr("Exit"), this))
{
    setObjectName(u"CueDialog"_s);
    m_list->setObjectName(u"cueList"_s);
    m_chooseButton->setObjectName(u"chooseCueButton"_s);
    m_exitButton->setObjectName(u"exitCueButton"_s);
    m_list->setItemDelegate(new ListView::ItemWithoutFocusDelegate(m_list));

    auto *label = new QLabel(tr("Do you want open cue file?"), this);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_chooseButton);
    buttons->addWidget(m_exitButton);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(m_list);
    layout->addLayout(buttons);

    connect(m_chooseButton, &QPushButton::clicked, this, &CueDialog::onChoseCueButton);
    connect(m_exitButton, &QPushButton::clicked, this, &CueDialog::onCloseButton);
    connect(m_list, &QListWidget::doubleClicked, this, &CueDialog::onItemDblClick);
}

void CueDialog::addFile(const QString &path)
{
    auto *item = new QListWidgetItem(QFileInfo(path).completeBaseName());
    item->setData(Qt::ToolTipRole, path);
    item->setSizeHint(QSize(0, 2 * QFontMetrics(QApplication::font()).height()));
    m_list->addItem(item);
}

void CueDialog::onChoseCueButton()
{
    const QListWidgetItem *item = m_list->currentItem();
    if (!item)
        return; // nothing to take; the user may still pick a row or press Exit
    m_selectedFile = item->data(Qt::ToolTipRole).toString();
    accept();
}

void CueDialog::onCloseButton()
{
    m_selectedFile.clear();
    reject();
}

void CueDialog::onItemDblClick(const QModelIndex &index)
{
    if (!index.isValid())
        return;
    m_selectedFile = index.data(Qt::ToolTipRole).toString();
    accept();
}
