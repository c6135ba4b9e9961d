#pragma once

class CommandManager;
class ProgressWidget;
class QAction;
class QWidget;

// The window's enabling table: which commands an action, a widget or the progress panel gets
// around reading and slicing. The manager owns the commands; the targets stay the window's.

// The standard set: disabled at the beginning of reading and slicing, enabled at their end.
void addDisablingCommands(CommandManager &manager, QAction *action);
void addDisablingCommands(CommandManager &manager, QWidget *widget);
// For an action the window enables itself once a file is ready: nothing at the end of reading.
void addSliceEnablingCommands(CommandManager &manager, QAction *action);
// Shown with the bar at 0 while reading or slicing, hidden at their end.
void addProgressWidgetCommands(CommandManager &manager, ProgressWidget *progressWidget);
