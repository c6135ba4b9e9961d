#include "work/callbackcommand.h"

CallbackCommand::CallbackCommand(CommandType commandType, QObject *guard,
                                 std::function<void()> callback)
    : Command(commandType)
    , m_guard(guard)
    , m_callback(std::move(callback))
{
}

void CallbackCommand::execute()
{
    if (m_guard && m_callback)
        m_callback();
}
