#pragma once

#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;

// Small framed panel floating over its owner (a child widget raised above its siblings)
// while a file is read or sliced: a text line, a percentage bar and a stop button. Created
// hidden; the owner shows, hides and positions it in its own coordinates.
class ProgressWidget final : public QWidget
{
    Q_OBJECT

public:
    explicit ProgressWidget(QWidget *owner = nullptr);

    QProgressBar *progressBar() const { return m_progressBar; }
    QLabel *label() const { return m_label; }
    QPushButton *stopButton() const { return m_stopButton; }

signals:
    void stopped();

protected:
    void showEvent(QShowEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    QProgressBar *m_progressBar;
    QLabel *m_label;
    QPushButton *m_stopButton;
};
