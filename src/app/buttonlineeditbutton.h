#pragma once

#include <QPushButton>

// The button inside a ButtonLineEdit, reached as ButtonLineEdit::Button (moc cannot handle a
// nested QObject class). Keeps the arrow cursor while the field around it shows the text cursor.
class ButtonLineEditButton final : public QPushButton
{
    Q_OBJECT

public:
    explicit ButtonLineEditButton(const QString &text, QWidget *parent = nullptr);

protected:
    void mouseMoveEvent(QMouseEvent *event) override;
};
