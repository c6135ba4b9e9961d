#pragma once

#include <QObject>
#include <QString>

#include "decode/silencedetector.h"
#include "mp3/cheapmp3.h"

// "silences FILE" of mavlor-cli: reads the frame index and runs the same thread object as the
// window, waited for in a local event loop; Ctrl-C stops it. "split --silence" asks the
// session instead, as the window does.
class SilencesJob final : public QObject
{
    Q_OBJECT

public:
    SilencesJob(const QString &path, double threshold, double minimum, QObject *parent = nullptr);
    ~SilencesJob() override;

    // Prints "START  END" in seconds per silence. Returns 0, 2 (reason on standard error) when
    // the file cannot be read or decoded, 130 when interrupted.
    int print();

    // A threshold in dB below full scale (negative) and a minimum in seconds (positive).
    static bool parseThreshold(const QString &text, double *decibels);
    static bool parseMinimum(const QString &text, double *seconds);

private:
    // Reads the index and finds the silences; false with a reason ("stopped" when interrupted).
    bool run(QString *error);

    QString m_path;
    double m_threshold;
    double m_minimum;
    CheapMP3Ptr m_index;
    SilenceList m_silences;
};
