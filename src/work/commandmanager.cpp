#include "work/commandmanager.h"

#include "work/disablingcommand.h"
#include "work/progresswidgetvisiblecommand.h"

CommandManager::~CommandManager()
{
    qDeleteAll(m_commands);
    m_commands.clear();
}

void CommandManager::addCommand(Command *command)
{
    if (command)
        m_commands.append(command);
}

void CommandManager::executeCommands(CommandType type)
{
    for (Command *command : std::as_const(m_commands)) {
        if (command->type == type)
            command->execute();
    }
}

void CommandManager::execute()
{
    for (Command *command : std::as_const(m_commands))
        command->execute();
}

void CommandManager::addDisablingCommands(QAction *action)
{
    addCommand(new DisablingCommand(BeginRead, action, false));
    addCommand(new DisablingCommand(BeginSlice, action, false));
    addCommand(new DisablingCommand(EndRead, action, true));
    addCommand(new DisablingCommand(EndSlice, action, true));
}

void CommandManager::addDisablingCommands(QWidget *widget)
{
    addCommand(new DisablingCommand(BeginRead, widget, false));
    addCommand(new DisablingCommand(BeginSlice, widget, false));
    addCommand(new DisablingCommand(EndRead, widget, true));
    addCommand(new DisablingCommand(EndSlice, widget, true));
}

void CommandManager::addSliceEnablingCommands(QAction *action)
{
    addCommand(new DisablingCommand(BeginRead, action, false));
    addCommand(new DisablingCommand(BeginSlice, action, false));
    addCommand(new DisablingCommand(EndSlice, action, true));
}

void CommandManager::addProgressWidgetCommands(ProgressWidget *progressWidget)
{
    addCommand(new ProgressWidgetVisibleCommand(BeginRead, progressWidget, true));
    addCommand(new ProgressWidgetVisibleCommand(EndRead, progressWidget, false));
    addCommand(new ProgressWidgetVisibleCommand(BeginSlice, progressWidget, true));
    addCommand(new ProgressWidgetVisibleCommand(EndSlice, progressWidget, false));
}
