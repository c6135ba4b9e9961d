#pragma once

#include <QMetaType>

// How far the slice job is: the number of the track being written and the percent of its
// frame range copied so far.
struct SliceProgress
{
    int track = 0;
    int percent = 0;
};

Q_DECLARE_METATYPE(SliceProgress)
