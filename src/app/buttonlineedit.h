#pragma once

#include <QLineEdit>

#include "app/buttonlineeditbutton.h"

// A line edit with a push button inside its right end. Reports a click on the button and the
// Return key (not the keypad's Enter); every key still reaches the line edit.
class ButtonLineEdit final : public QLineEdit
{
    Q_OBJECT

public:
    using Button = ButtonLineEditButton;

    explicit ButtonLineEdit(const QString &buttonText, QWidget *parent = nullptr);

    Button *button() const { return m_button; }

signals:
    void clicked();
    void enterPressed();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    Button *m_button;
};
