#pragma once

#include <QString>

class FeedBackInterface;
class RepairSettings;

// Lets the repair engine judge one written track file and, when the engine rebuilds its VBR
// header, puts the rebuilt file in its place: the engine writes a temporary file beside the
// track (named from temporaryTemplate, which ends in "XXXXXX"), which is flushed to disk and
// renamed over the track only when complete. The track is never rewritten in place, so a
// crash, a full disk or a stop leaves it either as it was or repaired.
class HeaderRepair
{
public:
    explicit HeaderRepair(FeedBackInterface &feedBack);

    // True when the track is repaired, or was judged right (skipped), or the repair was
    // stopped; false with a reason when the engine failed or the result could not be put
    // in place (the track then stays as it was).
    bool run(const QString &path, const QString &temporaryTemplate, const RepairSettings &settings,
             QString *error);

private:
    FeedBackInterface &m_feedBack;
};
