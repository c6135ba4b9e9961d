#pragma once

#include <QPointer>

#include <functional>

#include "work/command.h"

// A command that calls back into an object of the command line's, as long as that object
// still exists.
class CallbackCommand final : public Command
{
public:
    CallbackCommand(CommandType commandType, QObject *guard, std::function<void()> callback);

    void execute() override;

private:
    QPointer<QObject> m_guard;
    std::function<void()> m_callback;
};
