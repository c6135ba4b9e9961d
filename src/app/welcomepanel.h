#pragma once

#include <QWidget>

class QAction;
class QToolButton;

// Fills the main window before the first file is opened: the name, a hint and a button
// that triggers the given Open action (not owned; the button follows its enabled state).
class WelcomePanel final : public QWidget
{
    Q_OBJECT

public:
    explicit WelcomePanel(QAction *openAction, QWidget *parent = nullptr);

    QToolButton *openButton() const { return m_openButton; }

private:
    QToolButton *m_openButton;
};
