#pragma once

#include <QtGlobal>

#include "work/icommand.h"

// The work events a command can be bound to.
enum CommandType : qint32 {
    BeginRead = 0,  // a file is about to be opened
    EndRead = 1,    // the reading thread has ended, completed or stopped
    BeginSlice = 2, // a slice job is about to start
    EndSlice = 3,   // the slice thread has ended, completed or stopped
};

// A command bound to one work event; CommandManager runs it when that event happens.
class Command : public ICommand
{
public:
    explicit Command(CommandType commandType);

    CommandType type;
};
