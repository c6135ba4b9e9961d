#include "app/enablingcommands.h"

#include <memory>
#include <utility>

#include "app/disablingcommand.h"
#include "app/progresswidgetvisiblecommand.h"
#include "work/commandmanager.h"

namespace {

template<typename Target>
void addStandardSet(CommandManager &manager, Target *target)
{
    manager.addCommand(std::make_unique<DisablingCommand>(BeginRead, target, false));
    manager.addCommand(std::make_unique<DisablingCommand>(BeginSlice, target, false));
    manager.addCommand(std::make_unique<DisablingCommand>(EndRead, target, true));
    manager.addCommand(std::make_unique<DisablingCommand>(EndSlice, target, true));
}

} // namespace

void addDisablingCommands(CommandManager &manager, QAction *action)
{
    addStandardSet(manager, action);
}

void addDisablingCommands(CommandManager &manager, QWidget *widget)
{
    addStandardSet(manager, widget);
}

void addSliceEnablingCommands(CommandManager &manager, QAction *action)
{
    manager.addCommand(std::make_unique<DisablingCommand>(BeginRead, action, false));
    manager.addCommand(std::make_unique<DisablingCommand>(BeginSlice, action, false));
    manager.addCommand(std::make_unique<DisablingCommand>(EndSlice, action, true));
}

void addProgressWidgetCommands(CommandManager &manager, ProgressWidget *progressWidget)
{
    const std::pair<CommandType, bool> shownAt[] = {
        {BeginRead, true}, {EndRead, false}, {BeginSlice, true}, {EndSlice, false}};
    for (const auto &[type, visible] : shownAt)
        manager.addCommand(
            std::make_unique<ProgressWidgetVisibleCommand>(type, progressWidget, visible));
}
