#include <QLabel>
#include <QMainWindow>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

#include "app/progresswidget.h"
#include "guiwarnings.h"

using namespace Qt::StringLiterals;

class tst_ProgressWidget : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void panelFloatsAsHiddenChildAboveLaterSiblings();
    void sizeIsFixedAt200By50();
    void stopButtonLooksAsStyled();
    void stopClickEmitsStoppedOnce();
    void barAndLabelStartEmpty();
    void grayFrameIsDrawnOnEdges_data();
    void grayFrameIsDrawnOnEdges();
};

void tst_ProgressWidget::init()
{
    // The offscreen platform reports what it cannot do (raise, size hints); all else fails.
    failOnWarningsButPlatformNotes();
}

void tst_ProgressWidget::panelFloatsAsHiddenChildAboveLaterSiblings()
{
    QMainWindow owner;
    ProgressWidget panel(&owner);
    auto *pane = new QWidget(&owner); // created later, so stacked above the panel at first
    pane->setGeometry(0, 0, 300, 300);
    owner.show();
    QVERIFY(QTest::qWaitForWindowExposed(&owner));
    QVERIFY(!panel.isWindow());
    QCOMPARE(panel.parentWidget(), &owner);
    QVERIFY(panel.isHidden());

    panel.move(10, 10);
    panel.show();
    QWidget *top = owner.childAt(20, 20);
    QVERIFY(top == &panel || panel.isAncestorOf(top));
}

void tst_ProgressWidget::sizeIsFixedAt200By50()
{
    ProgressWidget panel;
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    QCOMPARE(panel.size(), QSize(200, 50));
    panel.resize(400, 300);
    QCOMPARE(panel.size(), QSize(200, 50));
}

void tst_ProgressWidget::stopButtonLooksAsStyled()
{
    ProgressWidget panel;
    auto *button = panel.findChild<QPushButton *>(u"stopButton"_s);
    QVERIFY(button);
    QCOMPARE(button, panel.stopButton());
    QCOMPARE(button->iconSize(), QSize(32, 32));
    QVERIFY(!button->icon().isNull());
    QVERIFY(button->text().isEmpty());
    QVERIFY(!button->isFlat());
    QCOMPARE(button->focusPolicy(), Qt::NoFocus);
}

void tst_ProgressWidget::stopClickEmitsStoppedOnce()
{
    ProgressWidget panel;
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    QSignalSpy stopped(&panel, &ProgressWidget::stopped);
    QTest::mouseClick(panel.stopButton(), Qt::LeftButton);
    QCOMPARE(stopped.count(), 1);
    QTest::mouseClick(panel.stopButton(), Qt::RightButton);
    QCOMPARE(stopped.count(), 1);
}

void tst_ProgressWidget::barAndLabelStartEmpty()
{
    ProgressWidget panel;
    QCOMPARE(panel.progressBar()->minimum(), 0);
    QCOMPARE(panel.progressBar()->maximum(), 100);
    QVERIFY(panel.progressBar()->isTextVisible());
    QVERIFY(panel.label()->text().isEmpty());
    // The label sits above the bar.
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    QVERIFY(panel.label()->geometry().bottom() < panel.progressBar()->geometry().top());
    QVERIFY(panel.progressBar()->geometry().right() < panel.stopButton()->geometry().left());
}

void tst_ProgressWidget::grayFrameIsDrawnOnEdges_data()
{
    QTest::addColumn<QPoint>("edge");
    QTest::addColumn<QPoint>("inside");
    // The label column has a margin of 5, so both points of a pair lie on the panel itself.
    QTest::newRow("left edge") << QPoint(0, 25) << QPoint(2, 25);
    QTest::newRow("top edge") << QPoint(60, 0) << QPoint(60, 2);
    QTest::newRow("bottom edge") << QPoint(60, 49) << QPoint(60, 47);
}

void tst_ProgressWidget::grayFrameIsDrawnOnEdges()
{
    QFETCH(QPoint, edge);
    QFETCH(QPoint, inside);
    ProgressWidget panel;
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    const QImage image = panel.grab().toImage();
    const QColor edgeColour = image.pixelColor(edge);
    const QColor insideColour = image.pixelColor(inside);
    QVERIFY2(edgeColour != insideColour, qPrintable(edgeColour.name()));
    // Gray is a neutral colour, so the frame leans toward it and away from no hue.
    QVERIFY(qAbs(edgeColour.red() - edgeColour.blue()) <= 8);
}

QTEST_MAIN(tst_ProgressWidget)
#include "tst_progresswidget.moc"
