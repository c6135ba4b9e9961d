#include "sheetjob.h"

#include <QFileInfo>

#include <algorithm>
#include <cstdio>

#include "cue/cuesheetparser.h"
#include "cue/cuesheetwriter.h"
#include "mp3/cheapmp3.h"
#include "terminaltext.h"

using namespace Qt::StringLiterals;

SheetJob::SheetJob(const CommandLineJob::Options &options, const QString &sheetPath)
    : m_options(options)
    , m_sheetPath(sheetPath)
{
}

int SheetJob::run()
{
    QString error;
    if (!QFileInfo(m_options.input).isFile())
        error = u"cannot read %1: not a file"_s.arg(m_options.input);
    if (error.isEmpty() && buildTracks(&error)) {
        const Album album = m_options.album.filledFrom(m_album);
        if (m_sheetPath.isEmpty()) {
            const QByteArray sheet =
                CueSheetWriter::sheet(m_tracks, album, QFileInfo(m_options.input).fileName());
            std::fwrite(sheet.constData(), 1, size_t(sheet.size()), stdout);
            std::fflush(stdout);
            return 0;
        }
        if (CueSheetWriter::write(m_sheetPath, m_options.input, m_tracks, album, &error))
            return 0;
    }
    std::fputs(("mavlor-cli: "_L1 + TerminalText::escaped(error) + u'\n').toLocal8Bit().constData(),
               stderr);
    return 2;
}

bool SheetJob::buildTracks(QString *error)
{
    if (!m_options.cueSheet.isEmpty()) {
        CueSheetParser parser;
        if (!parser.parseFile(m_options.cueSheet) || parser.entries().isEmpty()) {
            *error = u"no tracks found in CUE sheet %1"_s.arg(m_options.cueSheet);
            return false;
        }
        m_tracks = CueSheetParser::buildTracks(parser.entries());
        m_album = parser.album();
        return true;
    }

    const QString name = QFileInfo(m_options.input).completeBaseName();
    if (m_options.cutTimes.isEmpty() && m_options.tracks.isEmpty()) {
        m_tracks = {Track{name, name, 1, 0, 0}};
        return true;
    }

    const int total = musicLength();
    if (total <= 0) {
        *error = u"%1 is not an MP3 file: no MPEG audio frames found"_s.arg(m_options.input);
        return false;
    }
    // A disc's tracks that start after the music have nothing to point at.
    for (const Track &track : std::as_const(m_options.tracks)) {
        if (track.start < total)
            m_tracks.append(track);
    }
    if (!m_options.tracks.isEmpty())
        return true;

    QList<int> starts{0};
    for (int cut : std::as_const(m_options.cutTimes)) {
        if (cut > 0 && cut < total && !starts.contains(cut))
            starts.append(cut);
    }
    std::sort(starts.begin(), starts.end());
    for (qsizetype i = 0; i < starts.size(); ++i)
        m_tracks.append(Track{name, name, int(i + 1), starts.at(i), starts.value(i + 1, total)});
    return true;
}

int SheetJob::musicLength() const
{
    CheapMP3 index(nullptr, nullptr, nullptr);
    index.readFile(m_options.input);
    if (index.sampleRate() <= 0)
        return 0;
    return int(qint64(index.frameCount()) * CheapMP3::SAMPLES_PER_ENTRY * 1000
               / index.sampleRate());
}
