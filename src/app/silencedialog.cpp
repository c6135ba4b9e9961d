#include "app/silencedialog.h"

#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QSettings>

#include "decode/silencedetector.h"

using namespace Qt::StringLiterals;

namespace {

const QString thresholdKey = u"silence/threshold"_s;
const QString minimumKey = u"silence/minimum"_s;

} // namespace

SilenceDialog::SilenceDialog(QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(tr("Find silences"));
    const QSettings settings;

    // A stored value out of range is brought into it by the box.
    m_threshold = new QDoubleSpinBox(this);
    m_threshold->setObjectName(u"threshold"_s);
    m_threshold->setRange(-90.0, -10.0);
    m_threshold->setDecimals(1);
    m_threshold->setSuffix(tr(" dB"));
    m_threshold->setValue(
        settings.value(thresholdKey, SilenceDetector::DEFAULT_THRESHOLD).toDouble());

    m_minimum = new QDoubleSpinBox(this);
    m_minimum->setObjectName(u"minimum"_s);
    m_minimum->setRange(0.2, 30.0);
    m_minimum->setDecimals(1);
    m_minimum->setSingleStep(0.5);
    m_minimum->setSuffix(tr(" s"));
    m_minimum->setValue(settings.value(minimumKey, SilenceDetector::DEFAULT_MINIMUM).toDouble());

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &SilenceDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &SilenceDialog::reject);

    auto *layout = new QFormLayout(this);
    layout->addRow(tr("Quieter than:"), m_threshold);
    layout->addRow(tr("For at least:"), m_minimum);
    layout->addRow(buttons);
}

double SilenceDialog::threshold() const
{
    return m_threshold->value();
}

double SilenceDialog::minimum() const
{
    return m_minimum->value();
}

void SilenceDialog::accept()
{
    QSettings settings;
    settings.setValue(thresholdKey, threshold());
    settings.setValue(minimumKey, minimum());
    QDialog::accept();
}
