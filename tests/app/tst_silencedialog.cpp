#include <QDoubleSpinBox>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include "app/silencedialog.h"
#include "decode/silencedetector.h"
#include "guiwarnings.h"

using namespace Qt::StringLiterals;

class TestSilenceDialog : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QCoreApplication::setOrganizationName(u"Mavlor tests"_s);
        QCoreApplication::setApplicationName(u"tst_silencedialog"_s);
        QSettings::setDefaultFormat(QSettings::IniFormat);
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_dir.path());
    }

    void init()
    {
        failOnWarningsButPlatformNotes();
        QSettings().clear();
    }

    void opensWithTheLastAcceptedValues_data()
    {
        QTest::addColumn<QVariant>("stored");     // threshold, minimum; invalid: none yet
        QTest::addColumn<QList<double>>("typed"); // threshold, minimum
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QList<double>>("next");

        const QVariant none;
        QTest::newRow("defaults the first time")
            << none << QList<double>{} << false
            << QList<double>{SilenceDetector::DEFAULT_THRESHOLD, SilenceDetector::DEFAULT_MINIMUM};
        QTest::newRow("accepted values come back")
            << none << QList<double>{-42.5, 3.0} << true << QList<double>{-42.5, 3.0};
        QTest::newRow("cancel keeps the stored values")
            << QVariant(QList<QVariant>{-60.0, 2.0}) << QList<double>{-30.0, 9.0} << false
            << QList<double>{-60.0, 2.0};
        QTest::newRow("stored values out of range are clamped")
            << QVariant(QList<QVariant>{-200.0, 100.0}) << QList<double>{} << false
            << QList<double>{-90.0, 30.0};
    }
    void opensWithTheLastAcceptedValues()
    {
        QFETCH(QVariant, stored);
        QFETCH(QList<double>, typed);
        QFETCH(bool, accepted);
        QFETCH(QList<double>, next);

        if (stored.isValid()) {
            QSettings settings;
            settings.setValue(u"silence/threshold"_s, stored.toList().at(0));
            settings.setValue(u"silence/minimum"_s, stored.toList().at(1));
        }
        {
            SilenceDialog dialog;
            if (!typed.isEmpty()) {
                dialog.findChild<QDoubleSpinBox *>(u"threshold"_s)->setValue(typed.at(0));
                dialog.findChild<QDoubleSpinBox *>(u"minimum"_s)->setValue(typed.at(1));
                QCOMPARE(dialog.threshold(), typed.at(0));
                QCOMPARE(dialog.minimum(), typed.at(1));
            }
            accepted ? dialog.accept() : dialog.reject();
        }
        const SilenceDialog again;
        QCOMPARE(again.threshold(), next.at(0));
        QCOMPARE(again.minimum(), next.at(1));
    }
};

QTEST_MAIN(TestSilenceDialog)
#include "tst_silencedialog.moc"
