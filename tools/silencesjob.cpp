#include "silencesjob.h"

#include <cmath>
#include <cstdio>

#include "decode/silencethreadobject.h"
#include "mp3/cheapmp3.h"
#include "terminaltext.h"
#include "threads/thread.h"
#include "work/mp3openerthreadobject.h"
#include "workerrun.h"

using namespace Qt::StringLiterals;

SilencesJob::SilencesJob(const QString &path, double threshold, double minimum, QObject *parent)
    : QObject(parent)
    , m_path(path)
    , m_threshold(threshold)
    , m_minimum(minimum)
{
}

SilencesJob::~SilencesJob() = default;

bool SilencesJob::parseThreshold(const QString &text, double *decibels)
{
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !std::isfinite(value) || value >= 0.0 || value < -150.0)
        return false;
    *decibels = value;
    return true;
}

bool SilencesJob::parseMinimum(const QString &text, double *seconds)
{
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !std::isfinite(value) || value <= 0.0 || value > 3600.0)
        return false;
    *seconds = value;
    return true;
}

bool SilencesJob::run(QString *error)
{
    // Both workers run on threads of their own, as in the window.
    Mp3OpenerThreadObject opener(nullptr);
    Thread openerThread(&opener);
    CheapMP3Ptr read;
    connect(&opener, &Mp3OpenerThreadObject::readyCheapMP3, this,
            [&read](const CheapMP3Ptr &index) { read = index; });
    opener.setPath(m_path);
    const bool opened = WorkerRun::run(openerThread, opener);
    openerThread.stopAndWait();
    if (!opened) {
        *error = u"stopped"_s;
        return false;
    }
    if (!read || read->frameCount() == 0 || read->sampleRate() <= 0) {
        *error = u"%1 is not an MP3 file: no MPEG audio frames found"_s.arg(m_path);
        return false;
    }
    m_index = std::move(read);

    SilenceThreadObject finder;
    Thread finderThread(&finder);
    finder.setIndex(m_index);
    finder.setThreshold(m_threshold);
    finder.setMinimum(m_minimum);
    QString failure;
    bool found = false;
    connect(&finder, &SilenceThreadObject::silencesFound, this,
            [this, &found](const SilenceList &silences) {
                m_silences = silences;
                found = true;
            });
    connect(&finder, &SilenceThreadObject::failed, this,
            [&failure](const QString &reason) { failure = reason; });
    const bool searched = WorkerRun::run(finderThread, finder);
    finderThread.stopAndWait();
    if (!searched) {
        *error = u"stopped"_s;
        return false;
    }
    if (!found) {
        *error = u"cannot decode %1: %2"_s.arg(m_path, failure);
        return false;
    }
    return true;
}

int SilencesJob::print()
{
    QString error;
    if (!run(&error)) {
        std::fprintf(stderr, "mavlor-cli: %s\n",
                     TerminalText::escaped(error).toLocal8Bit().constData());
        return error == u"stopped"_s ? 130 : 2;
    }
    const double rate = m_index->sampleRate();
    for (const SilenceDetector::Silence &silence : std::as_const(m_silences))
        std::printf("%.3f  %.3f\n", silence.start / rate, silence.end / rate);
    std::fflush(stdout);
    return 0;
}
