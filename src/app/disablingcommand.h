#pragma once

#include <QPointer>

#include "work/command.h"

class QAction;
class QWidget;

// Enables or disables an action or, when no action is given, a widget. Owns neither; a
// target destroyed before the command runs is skipped.
class DisablingCommand final : public Command
{
public:
    DisablingCommand(CommandType commandType, QWidget *target, QAction *targetAction, bool enable);
    DisablingCommand(CommandType commandType, QWidget *target, bool enable);
    DisablingCommand(CommandType commandType, QAction *targetAction, bool enable);

    void execute() override;

    QPointer<QWidget> widget;
    QPointer<QAction> action;
    bool enabled;
};
