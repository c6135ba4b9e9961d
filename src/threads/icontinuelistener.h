#pragma once

// Asked by long loops between steps; false means the work should end early.
class IContinueListener
{
public:
    virtual ~IContinueListener() = default;
    virtual bool shouldContinue() = 0;
};

Q_DECLARE_INTERFACE(IContinueListener, "IContinueListener")
