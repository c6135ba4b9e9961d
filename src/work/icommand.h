#pragma once

// Something to run when a work event happens.
class ICommand
{
public:
    virtual ~ICommand() = default;
    virtual void execute() = 0;
};
