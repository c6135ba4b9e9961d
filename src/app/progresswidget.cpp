#include "app/progresswidget.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

ProgressWidget::ProgressWidget(QWidget *owner)
    // A child floating over its owner, not a window of its own: a top-level window cannot be
    // placed relative to another one on every platform (Wayland places them itself).
    : QWidget(owner)
    , m_progressBar(new QProgressBar(this))
    , m_label(new QLabel(this))
    , m_stopButton(new QPushButton(this))
{
    setFixedSize(200, 50);
    // Opaque over the panes it floats on.
    setAutoFillBackground(true);
    hide();

    m_progressBar->setRange(0, 100);
    m_progressBar->setTextVisible(true);

    m_stopButton->setObjectName(u"stopButton"_s);
    m_stopButton->setIcon(QIcon(u":/stop"_s));
    m_stopButton->setIconSize(QSize(32, 32));
    m_stopButton->setFlat(false);
    m_stopButton->setFocusPolicy(Qt::NoFocus);
    connect(m_stopButton, &QPushButton::clicked, this, &ProgressWidget::stopped);

    auto *textAndBar = new QVBoxLayout;
    textAndBar->setContentsMargins(5, 5, 5, 5);
    textAndBar->addWidget(m_label);
    textAndBar->addWidget(m_progressBar);

    auto *layout = new QHBoxLayout(this);
    layout->setSpacing(0);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(textAndBar);
    layout->addWidget(m_stopButton);
}

void ProgressWidget::showEvent(QShowEvent *event)
{
    // Siblings created later (the panes) would otherwise cover the panel.
    raise();
    QWidget::showEvent(event);
}

void ProgressWidget::paintEvent(QPaintEvent *event)
{
    // Without a window frame the panel would melt into whatever lies below it.
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(Qt::gray), 1));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    painter.end();
    QWidget::paintEvent(event);
}
