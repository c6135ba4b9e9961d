#include "app/disablingcommand.h"

#include <QAction>
#include <QWidget>

DisablingCommand::DisablingCommand(CommandType commandType, QWidget *target, QAction *targetAction,
                                   bool enable)
    : Command(commandType)
    , widget(target)
    , action(targetAction)
    , enabled(enable)
{
}

DisablingCommand::DisablingCommand(CommandType commandType, QWidget *target, bool enable)
    : DisablingCommand(commandType, target, nullptr, enable)
{
}

DisablingCommand::DisablingCommand(CommandType commandType, QAction *targetAction, bool enable)
    : DisablingCommand(commandType, nullptr, targetAction, enable)
{
}

void DisablingCommand::execute()
{
    if (action)
        action->setEnabled(enabled);
    else if (widget)
        widget->setEnabled(enabled);
}
