#include "decode/silencethreadobject.h"

using namespace Qt::StringLiterals;

SilenceThreadObject::SilenceThreadObject(QObject *parent)
    : IThreadObject(parent)
{
    qRegisterMetaType<SilenceList>("SilenceList");
}

SilenceThreadObject::~SilenceThreadObject() = default;

void SilenceThreadObject::start()
{
    // Held for the run, whatever the owner does with its own reference meanwhile.
    const CheapMP3Ptr index = m_index;
    if (!index) {
        emit failed(u"no file is open"_s);
        emit finished();
        return;
    }
    SilenceDetector detector(*index);
    detector.setThreshold(m_threshold);
    detector.setMinimum(m_minimum);
    SilenceList silences;
    QString error;
    const bool found = detector.find(
        &silences,
        [this](int percent) {
            emit silenceProgress(percent);
            return shouldContinue();
        },
        &error);
    if (found)
        emit silencesFound(silences, detector.cuts(silences));
    else if (shouldContinue())
        emit failed(error);
    emit finished();
}
