#include "app/welcomepanel.h"

#include <QAction>
#include <QLabel>
#include <QToolButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

WelcomePanel::WelcomePanel(QAction *openAction, QWidget *parent)
    : QWidget(parent)
    , m_openButton(new QToolButton(this))
{
    setObjectName(u"welcomePanel"_s);

    auto *icon = new QLabel(this);
    icon->setPixmap(QIcon(u":/launch"_s).pixmap(64, 64));
    icon->setAlignment(Qt::AlignHCenter);

    auto *name = new QLabel(tr("Mavlor"), this);
    name->setObjectName(u"welcomeName"_s);
    QFont nameFont = name->font();
    nameFont.setPointSizeF(nameFont.pointSizeF() * 2);
    nameFont.setBold(true);
    name->setFont(nameFont);
    name->setAlignment(Qt::AlignHCenter);

    auto *hint = new QLabel(tr("Open or drop an MP3 file to cut it into tracks."), this);
    hint->setObjectName(u"welcomeHint"_s);
    hint->setAlignment(Qt::AlignHCenter);
    hint->setWordWrap(true);

    m_openButton->setObjectName(u"welcomeOpenButton"_s);
    m_openButton->setDefaultAction(openAction);
    m_openButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_openButton->setIconSize(QSize(24, 24));

    auto *layout = new QVBoxLayout(this);
    layout->addStretch(1);
    layout->addWidget(icon);
    layout->addWidget(name);
    layout->addSpacing(6);
    layout->addWidget(hint);
    layout->addSpacing(12);
    layout->addWidget(m_openButton, 0, Qt::AlignHCenter);
    layout->addStretch(1);
}
