#pragma once

#include <QPointer>

#include <functional>

#include "work/command.h"

// Calls back into a window while that window still exists; the work manager may outlive it.
class GuardedCallbackCommand final : public Command
{
public:
    GuardedCallbackCommand(CommandType commandType, QObject *guard, std::function<void()> callback);

    void execute() override;

private:
    QPointer<QObject> m_guard;
    std::function<void()> m_callback;
};
