#pragma once

#include <QList>
#include <QObject>

#include "mp3/ireadedlistener.h"
#include "mp3/iwritedlistener.h"
#include "threads/icontinuelistener.h"

// Records what CheapMP3 reports and answers its stop questions: shouldContinue() says
// false from the (stopAfter + 1)-th question on; stopAfter < 0 never stops.
class ListenerRecorder final : public IContinueListener,
                               public IReadedListener,
                               public IWritedListener
{
public:
    bool shouldContinue() override
    {
        ++asked;
        return stopAfter < 0 || asked <= stopAfter;
    }
    void readed(float percent) override { readPercents.append(percent); }
    void writed(float percent) override { writePercents.append(percent); }

    int stopAfter = -1;
    int asked = 0;
    QList<float> readPercents;
    QList<float> writePercents;
};
