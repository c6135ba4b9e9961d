// mavlor-cli: the command-line front end over the same reading, CUE and slicing classes as
// the window.
#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

#include "commandlinejob.h"
#include "freedbjob.h"
#include "repairjob.h"

using namespace Qt::StringLiterals;

namespace {

const char usage[] =
    "usage: mavlor-cli info FILE.mp3 | repair IN.mp3 [OUT.mp3] [--verbose] | freedb search TEXT\n"
    "       mavlor-cli split FILE.mp3 --out DIR [--at TIME]... [--cue SHEET] [--tracks LIST] [--quiet]\n"
    "       mavlor-cli split FILE.mp3 --out DIR --freedb GENRE/DISCID [--tracks LIST] [--quiet]\n"
    "TIME is mm:ss.hh or seconds; LIST is like 1,3-5; --server HOST[:PORT] picks the freedb server.\n";

int usageError(const QString &message)
{
    if (!message.isEmpty())
        std::fprintf(stderr, "mavlor-cli: %s\n", message.toLocal8Bit().constData());
    std::fputs(usage, stderr);
    return 2;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(u"Mavlor"_s);
    QCoreApplication::setOrganizationName(u"Orvane Software"_s);

    QStringList args = QCoreApplication::arguments().mid(1);
    if (args.isEmpty() || args.first() == u"--help"_s || args.first() == u"-h"_s) {
        std::fputs(usage, args.isEmpty() ? stderr : stdout);
        return args.isEmpty() ? 2 : 0;
    }
    const QString command = args.takeFirst();

    QStringList positional;
    CommandLineJob::Options options;
    bool verbose = false;
    QString freedbDisc;
    Freedb::Server server = Freedb::Server::fromSettings();
    for (int i = 0; i < args.size(); ++i) {
        const QString &arg = args.at(i);
        auto value = [&](QString *out) {
            if (i + 1 >= args.size())
                return false;
            *out = args.at(++i);
            return true;
        };
        QString text;
        if (arg == u"--out"_s || arg == u"-o"_s) {
            if (!value(&options.outputFolder))
                return usageError(u"--out needs a folder"_s);
        } else if (arg == u"--at"_s) {
            int ms = 0;
            if (!value(&text) || !CommandLineJob::parseTime(text, &ms))
                return usageError(u"--at needs a time (mm:ss.hh or seconds), got \"%1\""_s.arg(text));
            options.cutTimes.append(ms);
        } else if (arg == u"--cue"_s) {
            if (!value(&options.cueSheet))
                return usageError(u"--cue needs a CUE sheet"_s);
        } else if (arg == u"--tracks"_s) {
            QSet<int> selection;
            if (!value(&options.trackSelection)
                || !CommandLineJob::parseTrackSelection(options.trackSelection, &selection))
                return usageError(u"--tracks needs a list such as 1,3-5"_s);
        } else if (arg == u"--freedb"_s) {
            if (!value(&freedbDisc))
                return usageError(u"--freedb needs GENRE/DISCID"_s);
        } else if (arg == u"--server"_s) {
            if (!value(&text) || !Freedb::Server::parse(text, &server))
                return usageError(u"--server needs HOST or HOST:PORT, got \"%1\""_s.arg(text));
        } else if (arg == u"--quiet"_s || arg == u"-q"_s) {
            options.quiet = true;
        } else if (arg == u"--verbose"_s || arg == u"-v"_s) {
            verbose = true;
        } else if (arg.startsWith(u'-') && arg.size() > 1) {
            return usageError(u"unknown option %1"_s.arg(arg));
        } else {
            positional.append(arg);
        }
    }

    if (command == u"repair"_s) {
        if (positional.isEmpty() || positional.size() > 2)
            return usageError(u"repair takes IN and an optional OUT"_s);
        RepairJob job(positional.at(0), positional.value(1), verbose);
        return job.run();
    }
    if (command == u"freedb"_s) {
        if (positional.size() < 2 || positional.first() != u"search"_s)
            return usageError(u"freedb takes search and a text"_s);
        FreedbJob job(server);
        return job.search(positional.mid(1).join(u' '));
    }
    if (command != u"info"_s && command != u"split"_s)
        return usageError(u"unknown command %1"_s.arg(command));
    if (positional.size() != 1)
        return usageError(u"%1 takes one MP3 file"_s.arg(command));
    options.input = positional.first();
    options.mode = command == u"info"_s ? CommandLineJob::Mode::Info : CommandLineJob::Mode::Split;
    if (options.mode == CommandLineJob::Mode::Split && options.outputFolder.isEmpty())
        return usageError(u"split needs --out DIR"_s);
    if (!options.cueSheet.isEmpty() && !options.cutTimes.isEmpty())
        return usageError(u"--cue and --at cannot be used together"_s);
    if (!freedbDisc.isEmpty()) {
        Freedb::CD disc;
        if (!FreedbJob::parseDiscName(freedbDisc, &disc))
            return usageError(u"--freedb needs GENRE/DISCID, got \"%1\""_s.arg(FreedbJob::printable(freedbDisc)));
        if (!options.cueSheet.isEmpty() || !options.cutTimes.isEmpty())
            return usageError(u"--freedb cannot be used with --cue or --at"_s);
        QString error;
        FreedbJob job(server);
        if (!job.readTracks(disc, &options.tracks, &error)) {
            std::fprintf(stderr, "mavlor-cli: cannot read disc %s from the freedb server: %s\n",
                         freedbDisc.toLocal8Bit().constData(), error.toLocal8Bit().constData());
            return 2;
        }
    }

    CommandLineJob job(options);
    return job.run();
}
