#include "app/buttonlineeditbutton.h"

ButtonLineEditButton::ButtonLineEditButton(const QString &text, QWidget *parent)
    : QPushButton(text, parent)
{
    setMouseTracking(true);
}

void ButtonLineEditButton::mouseMoveEvent(QMouseEvent *event)
{
    setCursor(Qt::ArrowCursor);
    QPushButton::mouseMoveEvent(event);
}
