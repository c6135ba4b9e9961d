#pragma once

#include <memory>
#include <vector>

#include "work/command.h"

// Holds the commands bound to the work events and runs them. Owns every command added;
// commands are added and run on the GUI thread only.
class CommandManager : public ICommand
{
public:
    CommandManager() = default;
    ~CommandManager() override;

    CommandManager(const CommandManager &) = delete;
    CommandManager &operator=(const CommandManager &) = delete;

    // A null command is ignored.
    void addCommand(std::unique_ptr<Command> command);
    // Runs the commands of one event in the order they were added.
    void executeCommands(CommandType type);
    // Runs every command, whatever its event, in the order they were added.
    void execute() override;

    const std::vector<std::unique_ptr<Command>> &commands() const { return m_commands; }

private:
    std::vector<std::unique_ptr<Command>> m_commands;
};
