#include "app/buttonlineedit.h"

#include <QApplication>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QKeyEvent>

using namespace Qt::StringLiterals;

ButtonLineEdit::ButtonLineEdit(const QString &buttonText, QWidget *parent)
    : QLineEdit(parent)
    , m_button(new Button(buttonText, this))
{
    m_button->setObjectName(u"lineEditButton"_s);
    m_button->setFocusPolicy(Qt::NoFocus);
    const int buttonWidth = QFontMetrics(QApplication::font()).horizontalAdvance(buttonText) + 12;
    m_button->setFixedWidth(buttonWidth);
    // Long text would otherwise run on underneath the button.
    setTextMargins(0, 0, buttonWidth + 2, 0);
    connect(m_button, &QPushButton::clicked, this, &ButtonLineEdit::clicked);

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 2, 2, 2);
    layout->setSpacing(0);
    layout->addStretch();
    layout->addWidget(m_button);
}

void ButtonLineEdit::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Return && !(event->modifiers() & Qt::KeypadModifier))
        emit enterPressed();
    QLineEdit::keyPressEvent(event);
}
