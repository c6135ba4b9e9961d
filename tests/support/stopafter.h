#pragma once

#include <QElapsedTimer>
#include <QObject> // the listener header declares a Qt interface

#include "threads/icontinuelistener.h"

// Says stop once the given time has passed since construction.
class StopAfter final : public IContinueListener
{
public:
    explicit StopAfter(int milliseconds)
        : m_milliseconds(milliseconds)
    {
        m_clock.start();
    }
    bool shouldContinue() override { return m_clock.elapsed() < m_milliseconds; }

private:
    QElapsedTimer m_clock;
    int m_milliseconds;
};
