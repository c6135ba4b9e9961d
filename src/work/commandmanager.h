#pragma once

#include <QList>

#include "work/command.h"

class ProgressWidget;
class QAction;
class QWidget;

// Holds the commands bound to the work events and runs them. Owns every command added;
// commands are added and run on the GUI thread only.
class CommandManager : public ICommand
{
public:
    CommandManager() = default;
    ~CommandManager() override;

    CommandManager(const CommandManager &) = delete;
    CommandManager &operator=(const CommandManager &) = delete;

    // Takes ownership; a null command is ignored.
    void addCommand(Command *command);
    // Runs the commands of one event in the order they were added.
    void executeCommands(CommandType type);
    // Runs every command, whatever its event, in the order they were added.
    void execute() override;

    const QList<Command *> &commands() const { return m_commands; }

    // The standard set: disabled at the beginning of reading and slicing, enabled at their end.
    void addDisablingCommands(QAction *action);
    void addDisablingCommands(QWidget *widget);
    // For an action the window enables itself once a file is ready: nothing at the end of reading.
    void addSliceEnablingCommands(QAction *action);
    // Shown with the bar at 0 while reading or slicing, hidden at their end.
    void addProgressWidgetCommands(ProgressWidget *progressWidget);

private:
    QList<Command *> m_commands;
};
