#pragma once

#include <QDialog>

class QDoubleSpinBox;

// Asks how quiet and how long a silence is before the silences are searched. Opens with the
// values last accepted (settings group "silence"), the detector's defaults the first time,
// and remembers them when accepted.
class SilenceDialog final : public QDialog
{
    Q_OBJECT

public:
    explicit SilenceDialog(QWidget *parent = nullptr);

    // Decibels below full scale.
    double threshold() const;
    // Seconds.
    double minimum() const;

    void accept() override;

private:
    QDoubleSpinBox *m_threshold = nullptr;
    QDoubleSpinBox *m_minimum = nullptr;
};
