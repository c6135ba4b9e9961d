#pragma once

#include <QPointer>

#include <functional>

#include "work/command.h"

// Calls back into an object while it still exists: the work manager may outlive the window
// or job that registered the command.
class CallbackCommand final : public Command
{
public:
    CallbackCommand(CommandType commandType, QObject *guard, std::function<void()> callback);

    void execute() override;

private:
    QPointer<QObject> m_guard;
    std::function<void()> m_callback;
};
