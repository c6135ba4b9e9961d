#include "app/progresswidgetvisiblecommand.h"

#include <QProgressBar>

ProgressWidgetVisibleCommand::ProgressWidgetVisibleCommand(CommandType commandType,
                                                           ProgressWidget *panel, bool show)
    : Command(commandType)
    , progressWidget(panel)
    , visible(show)
{
}

void ProgressWidgetVisibleCommand::execute()
{
    if (!progressWidget)
        return;
    if (visible) {
        // Reset first so the panel never flashes the last run's percentage.
        progressWidget->progressBar()->setValue(0);
        progressWidget->show();
    } else {
        progressWidget->hide();
    }
}
