#include "work/command.h"

Command::Command(CommandType commandType)
    : type(commandType)
{
}
