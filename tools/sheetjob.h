#pragma once

#include <QObject>
#include <QString>

#include <memory>

#include "commandlinejob.h"

class Session;

// The "sheet" command of mavlor-cli: opens the MP3 in a session, lets its track source (a CUE
// sheet, cut times, a freedb disc, the MP3's own sheet, or else the whole file) build the
// tracks by the same rules as split, and writes them out as a CUE sheet to a file or to
// standard output. The album fields given on the command line win over the sheet's.
class SheetJob final : public QObject
{
    Q_OBJECT

public:
    // options.outputFolder is unused; an empty sheetPath writes to standard output.
    SheetJob(const CommandLineJob::Options &options, const QString &sheetPath,
             QObject *parent = nullptr);
    ~SheetJob() override;

    // Runs the job in the event loop; returns the process exit status: 0 written, 2 with a
    // message on standard error.
    int run();

private:
    void onTracksBuilt(const QString &note);
    // The given tracks or cuts take the place of what the session built; false when the
    // tracks are still to come or the job failed.
    bool applyTrackSource();
    void writeSheet();
    void fail(const QString &message);
    void finish(int status);

    CommandLineJob::Options m_options;
    QString m_sheetPath;
    std::unique_ptr<Session> m_session;
    bool m_sourceApplied = false;
    bool m_done = false;
    int m_status = 0;
};
