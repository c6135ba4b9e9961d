#include <QAction>
#include <QLabel>
#include <QProgressBar>
#include <QRegularExpression>
#include <QTest>
#include <QWidget>

#include <memory>

#include "guiwarnings.h"
#include "app/progresswidget.h"
#include "work/commandmanager.h"
#include "work/disablingcommand.h"
#include "work/progresswidgetvisiblecommand.h"

using namespace Qt::StringLiterals;

namespace {

// Writes its tag to a shared log when run, and counts its own destruction.
class RecordingCommand final : public Command
{
public:
    RecordingCommand(CommandType commandType, QString tag, QStringList *log, int *destroyed)
        : Command(commandType)
        , m_tag(std::move(tag))
        , m_log(log)
        , m_destroyed(destroyed)
    {
    }
    ~RecordingCommand() override
    {
        if (m_destroyed)
            ++*m_destroyed;
    }
    void execute() override { m_log->append(m_tag); }

private:
    QString m_tag;
    QStringList *m_log;
    int *m_destroyed;
};

// Two commands per event, interleaved, so both the filter and the order are visible.
void addInterleaved(CommandManager &manager, QStringList *log, int *destroyed = nullptr)
{
    const QList<std::pair<CommandType, QString>> commands{
        {BeginRead, u"read+1"_s},   {EndSlice, u"slice-1"_s}, {EndRead, u"read-1"_s},
        {BeginSlice, u"slice+1"_s}, {EndRead, u"read-2"_s},   {BeginRead, u"read+2"_s},
        {EndSlice, u"slice-2"_s},   {BeginSlice, u"slice+2"_s},
    };
    for (const auto &[type, tag] : commands)
        manager.addCommand(new RecordingCommand(type, tag, log, destroyed));
}

QList<CommandType> typesOf(const CommandManager &manager)
{
    QList<CommandType> types;
    for (const Command *command : manager.commands())
        types.append(command->type);
    return types;
}

} // namespace

class tst_CommandManager : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void eventRunsOnlyItsOwnCommandsInOrder_data();
    void eventRunsOnlyItsOwnCommandsInOrder();
    void executeRunsEveryCommandInOrder();
    void managerDeletesEveryCommand();
    void nullCommandIsIgnored();
    void eventValuesAreFixed();
    void disablingCommandPrefersAction_data();
    void disablingCommandPrefersAction();
    void disablingCommandSkipsDestroyedTarget();
    void progressCommandResetsBarBeforeShowing_data();
    void progressCommandResetsBarBeforeShowing();
    void standardSetFollowsReadAndSlice_data();
    void standardSetFollowsReadAndSlice();
    void progressSetShowsDuringWorkOnly();
};

void tst_CommandManager::init()
{
    // The offscreen platform reports what it cannot do (raise, size hints); all else fails.
    failOnWarningsButPlatformNotes();
}

void tst_CommandManager::eventRunsOnlyItsOwnCommandsInOrder_data()
{
    QTest::addColumn<CommandType>("event");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("read begins") << BeginRead << QStringList{u"read+1"_s, u"read+2"_s};
    QTest::newRow("read end runs no slice-end command")
        << EndRead << QStringList{u"read-1"_s, u"read-2"_s};
    QTest::newRow("slice begins") << BeginSlice << QStringList{u"slice+1"_s, u"slice+2"_s};
    QTest::newRow("slice end runs no read-end command")
        << EndSlice << QStringList{u"slice-1"_s, u"slice-2"_s};
}

void tst_CommandManager::eventRunsOnlyItsOwnCommandsInOrder()
{
    QFETCH(CommandType, event);
    QFETCH(QStringList, expected);
    QStringList log;
    CommandManager manager;
    addInterleaved(manager, &log);
    manager.executeCommands(event);
    QCOMPARE(log, expected);
}

void tst_CommandManager::executeRunsEveryCommandInOrder()
{
    QStringList log;
    CommandManager manager;
    addInterleaved(manager, &log);
    manager.execute();
    QCOMPARE(log, (QStringList{u"read+1"_s, u"slice-1"_s, u"read-1"_s, u"slice+1"_s, u"read-2"_s,
                               u"read+2"_s, u"slice-2"_s, u"slice+2"_s}));
    // Running through the interface does the same.
    log.clear();
    static_cast<ICommand &>(manager).execute();
    QCOMPARE(log.size(), 8);
}

void tst_CommandManager::managerDeletesEveryCommand()
{
    QStringList log;
    int destroyed = 0;
    {
        CommandManager manager;
        addInterleaved(manager, &log, &destroyed);
        QCOMPARE(manager.commands().size(), 8);
        QCOMPARE(destroyed, 0);
    }
    QCOMPARE(destroyed, 8);
    QVERIFY(log.isEmpty());
}

void tst_CommandManager::nullCommandIsIgnored()
{
    CommandManager manager;
    manager.addCommand(nullptr);
    QVERIFY(manager.commands().isEmpty());
    manager.execute();
    manager.executeCommands(BeginRead);
}

void tst_CommandManager::eventValuesAreFixed()
{
    QCOMPARE(int(BeginRead), 0);
    QCOMPARE(int(EndRead), 1);
    QCOMPARE(int(BeginSlice), 2);
    QCOMPARE(int(EndSlice), 3);
    QCOMPARE(sizeof(CommandType), sizeof(qint32));
}

void tst_CommandManager::disablingCommandPrefersAction_data()
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

void tst_CommandManager::disablingCommandPrefersAction()
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
    QCOMPARE(command.type, EndRead);
    command.execute();
    QCOMPARE(widget.isEnabled(), widgetEnabled);
    QCOMPARE(action.isEnabled(), actionEnabled);
}

void tst_CommandManager::disablingCommandSkipsDestroyedTarget()
{
    auto widget = std::make_unique<QWidget>();
    auto action = std::make_unique<QAction>();
    DisablingCommand onWidget(BeginRead, widget.get(), false);
    DisablingCommand onAction(BeginRead, action.get(), false);
    widget.reset();
    action.reset();
    onWidget.execute();
    onAction.execute();
    QVERIFY(!onWidget.widget);
    QVERIFY(!onAction.action);
}

void tst_CommandManager::progressCommandResetsBarBeforeShowing_data()
{
    QTest::addColumn<bool>("visible");
    QTest::addColumn<bool>("startsShown");
    QTest::addColumn<int>("barAfter");
    QTest::newRow("show resets the bar") << true << false << 0;
    QTest::newRow("show while shown resets the bar") << true << true << 0;
    QTest::newRow("hide keeps the bar") << false << true << 73;
    QTest::newRow("hide while hidden") << false << false << 73;
}

void tst_CommandManager::progressCommandResetsBarBeforeShowing()
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

void tst_CommandManager::standardSetFollowsReadAndSlice_data()
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

void tst_CommandManager::standardSetFollowsReadAndSlice()
{
    QFETCH(int, set);
    QFETCH(QList<CommandType>, order);
    QFETCH(bool, enabledAfterRead);

    QWidget widget;
    QAction action;
    CommandManager manager;
    if (set == 0)
        manager.addDisablingCommands(&action);
    else if (set == 1)
        manager.addDisablingCommands(&widget);
    else
        manager.addSliceEnablingCommands(&action);
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

void tst_CommandManager::progressSetShowsDuringWorkOnly()
{
    QWidget owner;
    ProgressWidget panel(&owner);
    owner.show();
    QVERIFY(QTest::qWaitForWindowExposed(&owner));
    CommandManager manager;
    manager.addProgressWidgetCommands(&panel);
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

QTEST_MAIN(tst_CommandManager)
#include "tst_commandmanager.moc"
