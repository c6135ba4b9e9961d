#pragma once

#include "decode/silencedetector.h"
#include "mp3/cheapmp3.h"
#include "threads/ithreadobject.h"

// Finds the silences of an indexed MP3 on a worker thread and proposes boundaries in them.
// The index is shared read-only; the thread object keeps it alive while it runs. A stopped
// search delivers nothing; either silencesFound() or failed() comes before finished().
class SilenceThreadObject final : public IThreadObject
{
    Q_OBJECT

public:
    explicit SilenceThreadObject(QObject *parent = nullptr);
    ~SilenceThreadObject() override;

    // Set while no search runs.
    void setIndex(CheapMP3Ptr index) { m_index = std::move(index); }
    void setThreshold(double decibels) { m_threshold = decibels; }
    void setMinimum(double seconds) { m_minimum = seconds; }

public slots:
    void start() override;

signals:
    void silenceProgress(int percent);
    // Silences in played sample frames at the index's sample rate; cuts in milliseconds of
    // the index, ready for Session::cutAt().
    void silencesFound(const SilenceList &silences, const QList<int> &cuts);
    void failed(const QString &reason);

private:
    CheapMP3Ptr m_index;
    double m_threshold = SilenceDetector::DEFAULT_THRESHOLD;
    double m_minimum = SilenceDetector::DEFAULT_MINIMUM;
};
