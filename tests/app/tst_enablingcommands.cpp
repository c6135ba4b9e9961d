#include <QAction>
#include <QLabel>
#include <QProgressBar>
#include <QTest>
#include <QWidget>

#include <memory>

#include "app/disablingcommand.h"
#include "app/enablingcommands.h"
#include "app/progresswidget.h"
#include "app/progresswidgetvisiblecommand.h"
#include "guiwarnings.h"
#include "work/commandmanager.h"

using namespace Qt::StringLiterals;

namespace {

QList<CommandType> typesOf(const CommandManager &manager)
{
    QList<CommandType> types;
    for (const auto &command : manager.commands())
        types.append(command->type);
    return types;
}

} // namespace

class tst_EnablingCommands : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void disablingCommandPrefersAction_data();
    void disablingCommandPrefersAction();
    void disablingCommandSkipsDestroyedTarget();
    void progressCommandResetsBarBeforeShowing_data();
    void progressCommandResetsBarBeforeShowing();
    void standardSetFollowsReadAndSlice_data();
    void standardSetFollowsReadAndSlice();
    void progressSetShowsDuringWorkOnly();
};

void tst_EnablingCommands::init()
{
    // The offscreen platform reports what it cannot do (raise, size hints); all else fails.
    failOnWarningsButPlatformNotes();
}

void tst_EnablingCommands::disablingCommandPrefersAction_data()
{
    QTest::addColumn<bool>("withWidget");
    QTest::addColumn<bool>("withAction");
    QTest::addColumn<bool>("enable");
    QTest::addColumn<bool>("widgetEnabled");
    QTest::addColumn<bool>("actionEnabled");

    // Widget and action start in the opposite state to the command's.
    QTest::newRow("widget only, disable") << true << false << false << false << true;
    QTest::newRow("widget only, enable") << true << false << true << true << false;
    QTest::newRow("action only, disable") << false << true << false << true << false;
    QTest::newRow("action only, enable") << false << true << true << false << true;
    QTest::newRow("both set, action wins, disable") << true << true << false << true << false;
    QTest::newRow("both set, action wins, enable") << true << true << true << false << true;
    QTest::newRow("neither set") << false << false << false << true << true;
}

void tst_EnablingCommands::disablingCommandPrefersAction()
{
    QFETCH(bool, withWidget);
    QFETCH(bool, withAction);
    QFETCH(bool, enable);
    QFETCH(bool, widgetEnabled);
    QFETCH(bool, actionEnabled);

    QWidget widget;
    QAction action;
    if (withWidget || withAction) {
        widget.setEnabled(!enable);
        action.setEnabled(!enable);
    }
    DisablingCommand command(EndRead, withWidget ? &widget : nullptr,
                             withAction ? &action : nullptr, enable);
    command.execute();
    QCOMPARE(widget.isEnabled(), widgetEnabled);
    QCOMPARE(action.isEnabled(), actionEnabled);
}

void tst_EnablingCommands::disablingCommandSkipsDestroyedTarget()
{
    QWidget widget;
    auto action = std::make_unique<QAction>();
    DisablingCommand command(BeginRead, &widget, action.get(), false);
    action.reset();
    command.execute();
    // With its action gone the command acts on the widget, as if no action had been given.
    QVERIFY(!widget.isEnabled());

    auto gone = std::make_unique<QWidget>();
    DisablingCommand onGone(BeginRead, gone.get(), false);
    gone.reset();
    onGone.execute();
}

void tst_EnablingCommands::progressCommandResetsBarBeforeShowing_data()
{
    QTest::addColumn<bool>("visible");
    QTest::addColumn<bool>("startsShown");
    QTest::addColumn<int>("barAfter");
    QTest::newRow("show resets the bar") << true << false << 0;
    QTest::newRow("show while shown resets the bar") << true << true << 0;
    QTest::newRow("hide keeps the bar") << false << true << 73;
    QTest::newRow("hide while hidden") << false << false << 73;
}

void tst_EnablingCommands::progressCommandResetsBarBeforeShowing()
{
    QFETCH(bool, visible);
    QFETCH(bool, startsShown);
    QFETCH(int, barAfter);

    QWidget owner; // the panel floats inside it, so it shows only with it
    ProgressWidget panel(&owner);
    owner.show();
    QVERIFY(QTest::qWaitForWindowExposed(&owner));
    panel.progressBar()->setValue(73);
    panel.label()->setText(u"Opening..."_s);
    if (startsShown)
        panel.show();
    ProgressWidgetVisibleCommand command(BeginSlice, &panel, visible);
    command.execute();
    QCOMPARE(panel.isVisible(), visible);
    QCOMPARE(panel.progressBar()->value(), barAfter);
    QCOMPARE(panel.label()->text(), u"Opening..."_s);
}

void tst_EnablingCommands::standardSetFollowsReadAndSlice_data()
{
    QTest::addColumn<int>("set");
    QTest::addColumn<QList<CommandType>>("order");
    QTest::addColumn<bool>("enabledAfterRead");
    QTest::newRow("action, standard set")
        << 0 << QList<CommandType>{BeginRead, BeginSlice, EndRead, EndSlice} << true;
    QTest::newRow("widget, standard set")
        << 1 << QList<CommandType>{BeginRead, BeginSlice, EndRead, EndSlice} << true;
    QTest::newRow("action enabled by the window after reading")
        << 2 << QList<CommandType>{BeginRead, BeginSlice, EndSlice} << false;
}

void tst_EnablingCommands::standardSetFollowsReadAndSlice()
{
    QFETCH(int, set);
    QFETCH(QList<CommandType>, order);
    QFETCH(bool, enabledAfterRead);

    QWidget widget;
    QAction action;
    CommandManager manager;
    if (set == 0)
        addDisablingCommands(manager, &action);
    else if (set == 1)
        addDisablingCommands(manager, &widget);
    else
        addSliceEnablingCommands(manager, &action);
    QCOMPARE(typesOf(manager), order);

    auto isEnabled = [&] { return set == 1 ? widget.isEnabled() : action.isEnabled(); };
    manager.executeCommands(BeginRead);
    QVERIFY(!isEnabled());
    manager.executeCommands(EndRead);
    QCOMPARE(isEnabled(), enabledAfterRead);
    manager.executeCommands(BeginSlice);
    QVERIFY(!isEnabled());
    manager.executeCommands(EndSlice);
    QVERIFY(isEnabled());
}

void tst_EnablingCommands::progressSetShowsDuringWorkOnly()
{
    QWidget owner;
    ProgressWidget panel(&owner);
    owner.show();
    QVERIFY(QTest::qWaitForWindowExposed(&owner));
    CommandManager manager;
    addProgressWidgetCommands(manager, &panel);
    QCOMPARE(typesOf(manager), (QList<CommandType>{BeginRead, EndRead, BeginSlice, EndSlice}));

    panel.progressBar()->setValue(100);
    manager.executeCommands(BeginRead);
    QVERIFY(panel.isVisible());
    QCOMPARE(panel.progressBar()->value(), 0);
    panel.progressBar()->setValue(42);
    manager.executeCommands(EndRead);
    QVERIFY(panel.isHidden());
    QCOMPARE(panel.progressBar()->value(), 42);
    manager.executeCommands(BeginSlice);
    QVERIFY(panel.isVisible());
    QCOMPARE(panel.progressBar()->value(), 0);
    manager.executeCommands(EndSlice);
    QVERIFY(panel.isHidden());
}

QTEST_MAIN(tst_EnablingCommands)
#include "tst_enablingcommands.moc"
