#pragma once

#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <memory>

#include "consoleprogress.h"
#include "decode/silencedetector.h"
#include "tracks/album.h"
#include "tracks/track.h"

class InterruptNotifier;
class Session;

// The "info", "split" and "sheet" commands of mavlor-cli: the session the window drives, run
// to the end of one file in the event loop, with its progress and results on the terminal.
class CommandLineJob final : public QObject
{
    Q_OBJECT

public:
    enum class Mode {
        Info,
        Split,
        Sheet, // the tracks as a CUE sheet, into sheetPath or onto standard output
    };
    struct Options
    {
        Mode mode = Mode::Info;
        QString input;
        QString outputFolder;
        QList<int> cutTimes; // milliseconds
        QString cueSheet;
        QSet<int> trackSelection; // empty: every track
        TrackContainer tracks;    // given tracks (a freedb disc); the last is stretched to the end
        Album tracksAlbum;        // what the disc or release says of the album
        QString sheetPath;
        bool quiet = false;
        bool sampleExact = false; // split: cut each track to the sample
        Album album;          // fields given on the command line; they win over the track source's
        bool silence = false; // cut in the silences the session finds
        double silenceThreshold = SilenceDetector::DEFAULT_THRESHOLD;
        double silenceMinimum = SilenceDetector::DEFAULT_MINIMUM;
    };

    explicit CommandLineJob(const Options &options, QObject *parent = nullptr);
    ~CommandLineJob() override;

    // Runs the job in the event loop; returns the process exit status.
    int run();

    // "1,3-5" → {1, 3, 4, 5}; empty text selects all. False on text that is not such a list.
    static bool parseTrackSelection(const QString &text, QSet<int> *selection);

private:
    void onFileOpened();
    void onOpenFailed(const QString &path, const QString &reason);
    void onTracksBuilt(const QString &note);
    void onSilencesFound(const QList<int> &cuts);
    void onSilenceSearchFailed(const QString &reason);
    void onSliceProgress(int percent, int track);
    void onTrackWritten(int track, const QString &path, const QString &warning);
    void onTrackFailed(int track, const QString &path, const QString &reason);
    void onSliceEnded();
    void onInterrupt();

    void printInfo();
    // The given tracks, cuts or sheet take the place of what the session built.
    bool applyTrackSource();
    // The tracks are settled: write them, or their sheet.
    void useTracks();
    void sliceTracks();
    void writeSheet();
    void fail(const QString &message);
    void finish(int status);

    Options m_options;
    std::unique_ptr<Session> m_session;
    std::unique_ptr<InterruptNotifier> m_interrupt;
    ConsoleProgress m_progress;
    bool m_sourceApplied = false;
    bool m_done = false;
    int m_status = 0;
};
