// mavlor-cli: the command-line front end over the same reading, CUE and slicing classes as
// the window.
#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QStringList>

#include <cstdio>
#include <functional>
#include <map>
#include <utility>

#include "commandlinejob.h"
#include "freedbjob.h"
#include "musicbrainzjob.h"
#include "repairjob.h"
#include "silencesjob.h"
#include "terminaltext.h"
#include "tracks/timetext.h"
#include "work/mp3manager.h"

using namespace Qt::StringLiterals;

namespace {

const char usage[] =
    "usage: mavlor-cli info FILE.mp3 | repair IN.mp3 [OUT.mp3] [--verbose] | freedb search TEXT"
    " | musicbrainz search TEXT | silences FILE.mp3\n"
    "       mavlor-cli split FILE.mp3 --out DIR [SOURCE] [--tracks LIST] [ALBUM] [--quiet]"
    " [--sample-exact]\n"
    "       mavlor-cli sheet FILE.mp3 [SOURCE] [--out SHEET.cue] [ALBUM]\n"
    "SOURCE is --at TIME..., --cue SHEET, --freedb GENRE/DISCID, --musicbrainz MBID or --silence "
    "(silences and --silence take [--threshold DB] [--min SECONDS]); TIME is "
    "h:mm:ss.hh, mm:ss.hh or seconds; LIST is like 1,3-5; ALBUM is any of --album, --album-artist, "
    "--year, "
    "--genre TEXT; --server is HOST[:PORT] for freedb, a URL for MusicBrainz.\n";

int usageError(const QString &message)
{
    if (!message.isEmpty())
        std::fprintf(stderr, "mavlor-cli: %s\n", message.toLocal8Bit().constData());
    std::fputs(usage, stderr);
    return 2;
}

// The options of every subcommand; each is parsed once, here, and handed on as values.
struct Arguments
{
    QString command;
    QStringList positional;
    CommandLineJob::Options options;
    bool verbose = false;
    QString freedbDisc;
    Freedb::Server server;
    QString musicBrainzRelease;
    MusicBrainz::Server musicBrainzServer;
};

// The option as the user wrote it, without its value.
QString optionName(const QString &argument)
{
    QString name = argument.section(u'=', 0, 0);
    while (name.startsWith(u'-'))
        name.remove(0, 1);
    return name;
}

// The message for a value option given last, with nothing after it; empty for other options.
QString missingValueMessage(const QString &name)
{
    if (name == u"out"_s || name == u"o"_s)
        return u"--out needs a folder"_s;
    if (name == u"at"_s)
        return u"--at needs a time (h:mm:ss.hh, mm:ss.hh or seconds), got \"\""_s;
    if (name == u"cue"_s)
        return u"--cue needs a CUE sheet"_s;
    if (name == u"tracks"_s)
        return u"--tracks needs a list such as 1,3-5"_s;
    if (name == u"freedb"_s)
        return u"--freedb needs GENRE/DISCID"_s;
    if (name == u"musicbrainz"_s)
        return u"--musicbrainz needs a release id (MBID)"_s;
    if (name == u"server"_s)
        return u"--server needs HOST[:PORT] for freedb or a URL for MusicBrainz"_s;
    if (name == u"album"_s || name == u"album-artist"_s || name == u"year"_s || name == u"genre"_s)
        return u"--%1 needs a text"_s.arg(name);
    if (name == u"threshold"_s)
        return u"--threshold needs a level in dB below 0, such as -50"_s;
    if (name == u"min"_s)
        return u"--min needs a length in seconds, such as 1.5"_s;
    return {};
}

// Parses the whole command line; returns -1 when the subcommand should run, otherwise the
// exit status to end with (help, version and usage errors have been printed).
int parseArguments(const QStringList &arguments, Arguments *parsed)
{
    if (arguments.size() < 2) {
        std::fputs(usage, stderr);
        return 2;
    }

    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help({u"h"_s, u"help"_s}, u"Show this help."_s);
    const QCommandLineOption version(u"version"_s, u"Show the version."_s);
    const QCommandLineOption out({u"o"_s, u"out"_s}, u"Output folder."_s, u"DIR"_s);
    const QCommandLineOption at(u"at"_s, u"Cut time."_s, u"TIME"_s);
    const QCommandLineOption cue(u"cue"_s, u"CUE sheet."_s, u"SHEET"_s);
    const QCommandLineOption tracks(u"tracks"_s, u"Tracks to write."_s, u"LIST"_s);
    const QCommandLineOption quiet({u"q"_s, u"quiet"_s}, u"Print nothing but errors."_s);
    const QCommandLineOption sampleExact(u"sample-exact"_s, u"Cut to the sample."_s);
    const QCommandLineOption verbose({u"v"_s, u"verbose"_s}, u"Print every repair detail."_s);
    const QCommandLineOption freedb(u"freedb"_s, u"freedb disc."_s, u"GENRE/DISCID"_s);
    const QCommandLineOption server(u"server"_s, u"freedb or MusicBrainz server."_s, u"SERVER"_s);
    const QCommandLineOption musicBrainz(u"musicbrainz"_s, u"MusicBrainz release."_s, u"MBID"_s);
    const QCommandLineOption album(u"album"_s, u"Album title."_s, u"TEXT"_s);
    const QCommandLineOption albumArtist(u"album-artist"_s, u"Album artist."_s, u"TEXT"_s);
    const QCommandLineOption year(u"year"_s, u"Album year or date."_s, u"YEAR"_s);
    const QCommandLineOption genre(u"genre"_s, u"Album genre."_s, u"TEXT"_s);
    const QCommandLineOption silence(u"silence"_s, u"Cut in the silences."_s);
    const QCommandLineOption threshold(u"threshold"_s, u"Silence level."_s, u"DB"_s);
    const QCommandLineOption minimum(u"min"_s, u"Shortest silence."_s, u"SECONDS"_s);
    parser.addOptions({help, version, out, at, cue, tracks, quiet, sampleExact, verbose, freedb,
                       server, musicBrainz, album, albumArtist, year, genre, silence, threshold,
                       minimum});

    if (!parser.parse(arguments)) {
        const QStringList unknown = parser.unknownOptionNames();
        if (!unknown.isEmpty()) {
            for (const QString &argument : arguments.mid(1)) {
                if (argument.startsWith(u'-') && optionName(argument) == unknown.first())
                    return usageError(u"unknown option %1"_s.arg(argument));
            }
        }
        const QString missing = missingValueMessage(optionName(arguments.last()));
        return usageError(missing.isEmpty() ? parser.errorText() : missing);
    }
    if (parser.isSet(help)) {
        std::fputs(usage, stdout);
        std::fputs("--help shows this text, --version the version.\n", stdout);
        return 0;
    }
    if (parser.isSet(version)) {
        std::printf("mavlor-cli %s\n", MAVLOR_VERSION);
        return 0;
    }

    parsed->positional = parser.positionalArguments();
    if (parsed->positional.isEmpty())
        return usageError({});
    parsed->command = parsed->positional.takeFirst();

    CommandLineJob::Options &options = parsed->options;
    options.outputFolder = parser.value(out);
    for (const QString &text : parser.values(at)) {
        bool ok = false;
        const int ms = TimeText::parse(text, &ok);
        if (!ok)
            return usageError(
                u"--at needs a time (h:mm:ss.hh, mm:ss.hh or seconds), got \"%1\""_s.arg(text));
        options.cutTimes.append(ms);
    }
    options.cueSheet = parser.value(cue);
    if (!CommandLineJob::parseTrackSelection(parser.value(tracks), &options.trackSelection))
        return usageError(u"--tracks needs a list such as 1,3-5"_s);
    options.quiet = parser.isSet(quiet);
    options.sampleExact = parser.isSet(sampleExact);
    options.album.album = parser.value(album);
    options.album.albumArtist = parser.value(albumArtist);
    options.album.year = parser.value(year);
    options.album.genre = parser.value(genre);
    parsed->verbose = parser.isSet(verbose);
    options.silence = parser.isSet(silence);
    if (parser.isSet(threshold)
        && !SilencesJob::parseThreshold(parser.value(threshold), &options.silenceThreshold))
        return usageError(u"--threshold needs a level in dB below 0, such as -50"_s);
    if (parser.isSet(minimum)
        && !SilencesJob::parseMinimum(parser.value(minimum), &options.silenceMinimum))
        return usageError(u"--min needs a length in seconds, such as 1.5"_s);
    parsed->freedbDisc = parser.value(freedb);
    parsed->musicBrainzRelease = parser.value(musicBrainz);
    // --server names a MusicBrainz URL for the MusicBrainz commands, a freedb host otherwise.
    if (parsed->command == u"musicbrainz"_s || parser.isSet(musicBrainz)) {
        parsed->musicBrainzServer = MusicBrainz::Server::fromSettings();
        if (parser.isSet(server)
            && !MusicBrainz::Server::parse(parser.value(server), &parsed->musicBrainzServer))
            return usageError(u"--server needs an http or https URL, got \"%1\""_s.arg(
                TerminalText::escaped(parser.value(server))));
        return -1;
    }
    parsed->server = Freedb::Server::fromSettings();
    if (parser.isSet(server) && !Freedb::Server::parse(parser.value(server), &parsed->server))
        return usageError(u"--server needs HOST or HOST:PORT, got \"%1\""_s.arg(
            TerminalText::escaped(parser.value(server))));
    return -1;
}

int runRepair(const Arguments &arguments)
{
    const QStringList &files = arguments.positional;
    if (files.isEmpty() || files.size() > 2)
        return usageError(u"repair takes IN and an optional OUT"_s);
    RepairJob job(files.at(0), files.value(1), arguments.verbose);
    return job.run();
}

int runFreedb(const Arguments &arguments)
{
    if (arguments.positional.size() < 2 || arguments.positional.first() != u"search"_s)
        return usageError(u"freedb takes search and a text"_s);
    FreedbJob job(arguments.server);
    return job.search(arguments.positional.mid(1).join(u' '));
}

int runMusicBrainz(const Arguments &arguments)
{
    if (arguments.positional.size() < 2 || arguments.positional.first() != u"search"_s)
        return usageError(u"musicbrainz takes search and a text"_s);
    MusicBrainzJob job(arguments.musicBrainzServer);
    return job.search(arguments.positional.mid(1).join(u' '));
}

// The checks and the freedb or MusicBrainz read that info, split and sheet share; -1 when the
// job may run.
int prepareTrackSource(Arguments &arguments)
{
    if (arguments.positional.size() != 1)
        return usageError(u"%1 takes one MP3 file"_s.arg(arguments.command));
    CommandLineJob::Options &options = arguments.options;
    options.input = arguments.positional.first();
    if (!options.cueSheet.isEmpty() && !options.cutTimes.isEmpty())
        return usageError(u"--cue and --at cannot be used together"_s);
    if (options.silence
        && (!options.cueSheet.isEmpty() || !options.cutTimes.isEmpty()
            || !arguments.freedbDisc.isEmpty() || !arguments.musicBrainzRelease.isEmpty()))
        return usageError(
            u"--silence cannot be used with --cue, --at, --freedb or --musicbrainz"_s);
    if (!arguments.musicBrainzRelease.isEmpty()) {
        if (!options.cueSheet.isEmpty() || !options.cutTimes.isEmpty()
            || !arguments.freedbDisc.isEmpty())
            return usageError(u"--musicbrainz cannot be used with --cue, --at or --freedb"_s);
        QString error;
        MusicBrainzJob job(arguments.musicBrainzServer);
        if (!job.readTracks(arguments.musicBrainzRelease, &options.tracks, &options.tracksAlbum,
                            &error)) {
            std::fprintf(
                stderr, "mavlor-cli: cannot take release %s from MusicBrainz: %s\n",
                TerminalText::escaped(arguments.musicBrainzRelease).toLocal8Bit().constData(),
                error.toLocal8Bit().constData());
            return 2;
        }
    }
    if (!arguments.freedbDisc.isEmpty()) {
        Freedb::CD disc;
        if (!FreedbJob::parseDiscName(arguments.freedbDisc, &disc))
            return usageError(u"--freedb needs GENRE/DISCID, got \"%1\""_s.arg(
                TerminalText::escaped(arguments.freedbDisc)));
        if (!options.cueSheet.isEmpty() || !options.cutTimes.isEmpty())
            return usageError(u"--freedb cannot be used with --cue or --at"_s);
        QString error;
        FreedbJob job(arguments.server);
        if (!job.readTracks(disc, &options.tracks, &options.tracksAlbum, &error)) {
            std::fprintf(stderr, "mavlor-cli: cannot read disc %s from the freedb server: %s\n",
                         arguments.freedbDisc.toLocal8Bit().constData(),
                         error.toLocal8Bit().constData());
            return 2;
        }
    }
    return -1;
}

int runReadingJob(Arguments arguments, CommandLineJob::Mode mode)
{
    CommandLineJob::Options &options = arguments.options;
    if (mode == CommandLineJob::Mode::Split && options.outputFolder.isEmpty()
        && arguments.positional.size() == 1)
        return usageError(u"split needs --out DIR"_s);
    if (mode == CommandLineJob::Mode::Sheet)
        options.sheetPath = std::exchange(options.outputFolder, QString());
    options.mode = mode;
    if (const int status = prepareTrackSource(arguments); status >= 0)
        return status;

    // The work manager's threads end before the application object does.
    Mp3ManagerScope workManager;
    CommandLineJob job(options);
    return job.run();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(u"Mavlor"_s);
    QCoreApplication::setOrganizationName(u"Orvane Software"_s);
    QCoreApplication::setApplicationVersion(QStringLiteral(MAVLOR_VERSION));

    Arguments arguments;
    if (const int status = parseArguments(QCoreApplication::arguments(), &arguments); status >= 0)
        return status;

    // One entry per subcommand.
    const std::map<QString, std::function<int(const Arguments &)>> subcommands{
        {u"info"_s,
         [](const Arguments &a) { return runReadingJob(a, CommandLineJob::Mode::Info); }},
        {u"split"_s,
         [](const Arguments &a) { return runReadingJob(a, CommandLineJob::Mode::Split); }},
        {u"sheet"_s,
         [](const Arguments &a) { return runReadingJob(a, CommandLineJob::Mode::Sheet); }},
        {u"repair"_s, runRepair},
        {u"silences"_s,
         [](const Arguments &a) {
             if (a.positional.size() != 1)
                 return usageError(u"silences takes one MP3 file"_s);
             return SilencesJob(a.positional.first(), a.options.silenceThreshold,
                                a.options.silenceMinimum)
                 .print();
         }},
        {u"freedb"_s, runFreedb},
        {u"musicbrainz"_s, runMusicBrainz},
    };
    const auto subcommand = subcommands.find(arguments.command);
    if (subcommand == subcommands.end())
        return usageError(u"unknown command %1"_s.arg(arguments.command));
    return subcommand->second(arguments);
}
