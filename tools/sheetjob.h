#pragma once

#include <QString>

#include "commandlinejob.h"
#include "tracks/album.h"
#include "tracks/track.h"

// The "sheet" command of mavlor-cli: the track list of an MP3, from a CUE sheet, cut times or
// a freedb disc (or the whole file as one track), written out as a CUE sheet to a file or to
// standard output. The album fields given on the command line win over the source's.
class SheetJob final
{
public:
    // options.outputFolder is unused; sheetPath empty writes to standard output.
    SheetJob(const CommandLineJob::Options &options, const QString &sheetPath);

    // Returns the process exit status: 0 written, 2 with a message on standard error.
    int run();

private:
    bool buildTracks(QString *error);
    // The MP3's playing time in milliseconds, 0 when it holds no audio frames.
    int musicLength() const;

    CommandLineJob::Options m_options;
    QString m_sheetPath;
    TrackContainer m_tracks;
    Album m_album;
};
