#include "guiwarnings.h"
#include "tracks/listmodel.h"
#include "tracks/listview.h"
#include "tracks/track.h"
#include "tracks/trackheader.h"
#include "tracks/trackitem.h"
#include "tracks/trackviewcontroller.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

class tst_TrackViewController : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void headerClickSetsEveryRow_data();
    void headerClickSetsEveryRow();
    void viewButtonOpensColumnMenuAtSectionEnd();
    void columnMenuMarksColumnsVisibleAtCreation();
    void hidingMenuRaisesViewButton();
    void menuActionsToggleColumns_data();
    void menuActionsToggleColumns();
    void actionWithoutIntDataIgnored();

private:
    QPoint centreOf(int section) const;
    QAction *actionFor(int column) const;
    QMenu *openMenu();

    std::unique_ptr<QWidget> window;
    ListView *view = nullptr;
    TrackHeader *header = nullptr;
    ListModel *model = nullptr;
    TrackViewController *controller = nullptr;
    std::unique_ptr<QAbstractItemModelTester> tester;
};

void tst_TrackViewController::init()
{
    // Any warning fails, except the offscreen platform's notes about popups it cannot raise.
    failOnWarningsButPlatformNotes();
    window = std::make_unique<QWidget>();
    window->setGeometry(100, 100, 600, 300);
    view = new ListView(window.get());
    view->setGeometry(0, 0, 600, 300);
    header = new TrackHeader(view);
    view->setHeader(header);
    model = new ListModel({}, window.get());
    tester = std::make_unique<QAbstractItemModelTester>(
        model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model->setHeaderListener(header);
    for (int i = 0; i < 4; ++i)
        model->appendItem(
            TrackItem::forTrack(Track{u"T"_s, u"A"_s, i + 1, i * 1000, i * 1000 + 1000}));
    view->setModel(model);
    controller = new TrackViewController(header, view, model, window.get());
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
}

void tst_TrackViewController::cleanup()
{
    if (controller && controller->columnMenu())
        controller->columnMenu()->hide();
    tester.reset();
    window.reset();
    controller = nullptr;
}

QPoint tst_TrackViewController::centreOf(int section) const
{
    return QPoint(header->sectionViewportPosition(section) + header->sectionSize(section) / 2,
                  header->height() / 2);
}

QAction *tst_TrackViewController::actionFor(int column) const
{
    const QList<QAction *> actions = controller->columnMenu()->actions();
    for (QAction *action : actions) {
        if (action->data() == QVariant(column))
            return action;
    }
    return nullptr;
}

QMenu *tst_TrackViewController::openMenu()
{
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, centreOf(6));
    return controller->columnMenu();
}

void tst_TrackViewController::headerClickSetsEveryRow_data()
{
    QTest::addColumn<int>("before");
    QTest::addColumn<int>("after");
    QTest::newRow("partial checks every row") << 1 << 2;
    QTest::newRow("checked unchecks every row") << 2 << 0;
}

void tst_TrackViewController::headerClickSetsEveryRow()
{
    QFETCH(int, before);
    QFETCH(int, after);
    // Rows start unlike the outcome, so each must change.
    for (int row = 1; row < model->rowCount(); row += 2)
        model->setData(model->index(row, 0), 0, 10);
    header->setCheckState(before);
    QSignalSpy changed(model, &QAbstractItemModel::dataChanged);

    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, centreOf(0));

    QCOMPARE(header->checkBoxState(), after);
    for (int row = 0; row < model->rowCount(); ++row)
        QCOMPARE(model->data(model->index(row, 0), 10).toInt(), after);
    QCOMPARE(changed.size(), model->rowCount());
}

void tst_TrackViewController::viewButtonOpensColumnMenuAtSectionEnd()
{
    QVERIFY(!controller->columnMenu());
    QMenu *menu = openMenu();
    QVERIFY(menu);
    QVERIFY(menu->isVisible());
    QCOMPARE(menu->parent(), header);
    QVERIFY(menu->width() > header->sectionSize(6));
    // Wider than the section, so the menu's right edge meets the section's right edge.
    const QPoint sectionEnd = header->mapToGlobal(
        QPoint(header->sectionPosition(6) + header->sectionSize(6), header->height()));
    QCOMPARE(menu->geometry().right() + 1, sectionEnd.x());
    QCOMPARE(menu->geometry().top(), sectionEnd.y());

    QStringList texts;
    const QList<QAction *> actions = menu->actions();
    for (const QAction *action : actions) {
        texts << action->text();
        QVERIFY(action->isCheckable());
    }
    QCOMPARE(texts, (QStringList{u"Artist"_s, u"Title"_s, u"Start"_s, u"End"_s, u"Length"_s}));

    // Created once: the second press shows the same menu.
    menu->hide();
    QCOMPARE(openMenu(), menu);
}

void tst_TrackViewController::columnMenuMarksColumnsVisibleAtCreation()
{
    view->setColumnHidden(4, true);
    openMenu();
    for (int column = 1; column <= 5; ++column) {
        QAction *action = actionFor(column);
        QVERIFY(action);
        QCOMPARE(action->isChecked(), column != 4);
    }
}

void tst_TrackViewController::hidingMenuRaisesViewButton()
{
    QMenu *menu = openMenu();
    QVERIFY(!header->isViewButtonRaised());
    QSignalSpy toggled(header, &TrackHeader::buttonViewClicked);
    menu->hide();
    QVERIFY(header->isViewButtonRaised());
    QCOMPARE(toggled.size(), 1);
    QCOMPARE(toggled.at(0).at(0).toBool(), true);
}

void tst_TrackViewController::menuActionsToggleColumns_data()
{
    QTest::addColumn<QList<int>>("triggered");
    QTest::addColumn<QList<int>>("hidden");
    QTest::newRow("hide artist") << QList<int>{1} << QList<int>{1};
    QTest::newRow("hide and show artist") << QList<int>{1, 1} << QList<int>{};
    QTest::newRow("hide all but one") << QList<int>{1, 3, 4, 5} << QList<int>{1, 3, 4, 5};
    QTest::newRow("hide all but one, then show one")
        << QList<int>{1, 3, 4, 5, 4} << QList<int>{1, 3, 5};
    QTest::newRow("last visible text column stays")
        << QList<int>{1, 3, 4, 5, 2} << QList<int>{1, 3, 4, 5};
}

void tst_TrackViewController::menuActionsToggleColumns()
{
    QFETCH(QList<int>, triggered);
    QFETCH(QList<int>, hidden);
    openMenu()->hide();
    for (int column : triggered)
        actionFor(column)->trigger();
    for (int column = 1; column <= 5; ++column) {
        QCOMPARE(view->isColumnHidden(column), hidden.contains(column));
        QCOMPARE(actionFor(column)->isChecked(), !hidden.contains(column));
    }
}

void tst_TrackViewController::actionWithoutIntDataIgnored()
{
    QAction stray(u"Stray"_s);
    stray.setCheckable(true);
    stray.setData(u"1"_s);
    controller->onTrackViewColumnVisibility(&stray);
    QVERIFY(!view->isColumnHidden(1));
    QAction outOfRange(u"Out"_s);
    outOfRange.setData(0);
    controller->onTrackViewColumnVisibility(&outOfRange);
    QVERIFY(!view->isColumnHidden(0));
}

QTEST_MAIN(tst_TrackViewController)
#include "tst_trackviewcontroller.moc"
