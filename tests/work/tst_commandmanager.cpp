#include <QTest>

#include <memory>

#include "work/commandmanager.h"

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
        {BeginRead, u"read+1"_s},   {EndSlice, u"slice-1"_s},   {EndRead, u"read-1"_s},
        {BeginSlice, u"slice+1"_s}, {EndRead, u"read-2"_s},     {BeginRead, u"read+2"_s},
        {EndSlice, u"slice-2"_s},   {BeginSlice, u"slice+2"_s},
    };
    for (const auto &[type, tag] : commands)
        manager.addCommand(std::make_unique<RecordingCommand>(type, tag, log, destroyed));
}

} // namespace

class tst_CommandManager : public QObject
{
    Q_OBJECT

private slots:
    void eventRunsOnlyItsOwnCommandsInOrder_data();
    void eventRunsOnlyItsOwnCommandsInOrder();
    void executeRunsEveryCommandInOrder();
    void managerDeletesEveryCommand();
    void nullCommandIsIgnored();
};

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
    QCOMPARE(log,
             (QStringList{u"read+1"_s, u"slice-1"_s, u"read-1"_s, u"slice+1"_s, u"read-2"_s,
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
    QVERIFY(manager.commands().empty());
    manager.execute();
    manager.executeCommands(BeginRead);
}

QTEST_GUILESS_MAIN(tst_CommandManager)
#include "tst_commandmanager.moc"
