#include "work/commandmanager.h"

CommandManager::~CommandManager() = default;

void CommandManager::addCommand(std::unique_ptr<Command> command)
{
    if (command)
        m_commands.push_back(std::move(command));
}

void CommandManager::executeCommands(CommandType type)
{
    for (const auto &command : m_commands) {
        if (command->type == type)
            command->execute();
    }
}

void CommandManager::execute()
{
    for (const auto &command : m_commands)
        command->execute();
}
