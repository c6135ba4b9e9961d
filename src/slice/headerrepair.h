#pragma once

#include <QString>

class FeedBackInterface;
class RepairSettings;

// Rebuilds the VBR header of one written track file through a temporary copy in the system
// temporary folder (a unique name, so a leftover never blocks it and no foreign file is
// touched). The track ends either repaired or exactly as it was: when the engine fails or is
// stopped after it began rewriting the track, the copy is put back.
class HeaderRepair
{
public:
    explicit HeaderRepair(FeedBackInterface &feedBack);

    // False with reason when the track could not be copied or restored; a repair the engine
    // skipped, failed or stopped before writing is no failure (the track stays as it was).
    bool run(const QString &path, const RepairSettings &settings, QString *reason);

private:
    FeedBackInterface &m_feedBack;
};
