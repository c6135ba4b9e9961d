#pragma once

#include <QPointer>

#include "app/progresswidget.h"
#include "work/command.h"

// Shows the progress panel with its bar back at 0, or hides it. Does not own the panel.
class ProgressWidgetVisibleCommand final : public Command
{
public:
    ProgressWidgetVisibleCommand(CommandType commandType, ProgressWidget *panel, bool show);

    void execute() override;

    QPointer<ProgressWidget> progressWidget;
    bool visible;
};
