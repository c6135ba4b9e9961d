#include "sheetjob.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <cstdio>

#include "cue/cuesheetparser.h"
#include "cue/cuesheetwriter.h"
#include "terminaltext.h"
#include "tracks/tracklist.h"
#include "work/mp3manager.h"
#include "work/session.h"

using namespace Qt::StringLiterals;

SheetJob::SheetJob(const CommandLineJob::Options &options, const QString &sheetPath,
                   QObject *parent)
    : QObject(parent)
    , m_options(options)
    , m_sheetPath(sheetPath)
{
}

SheetJob::~SheetJob() = default;

int SheetJob::run()
{
    if (!QFileInfo(m_options.input).isFile()) {
        fail(u"cannot read %1: not a file"_s.arg(m_options.input));
        return m_status;
    }
    m_session = std::make_unique<Session>(Mp3Manager::instance());
    const bool givenSource = !m_options.cueSheet.isEmpty() || !m_options.cutTimes.isEmpty()
        || !m_options.tracks.isEmpty();
    m_session->setSheetRule(givenSource ? Session::SheetRule::None : Session::SheetRule::OwnOnly);
    connect(m_session.get(), &Session::openFailed, this, [this] {
        fail(u"%1 is not an MP3 file: no MPEG audio frames found"_s.arg(m_options.input));
    });
    connect(m_session.get(), &Session::tracksBuilt, this, &SheetJob::onTracksBuilt);
    m_session->open(QFileInfo(m_options.input).absoluteFilePath());
    if (!m_done)
        QCoreApplication::exec();
    return m_status;
}

void SheetJob::onTracksBuilt(const QString &note)
{
    if (m_done)
        return;
    if (!m_sourceApplied) {
        m_sourceApplied = true;
        if (!applyTrackSource())
            return;
    } else if (!note.isEmpty()) {
        fail(u"no tracks found in CUE sheet %1"_s.arg(m_options.cueSheet));
        return;
    }
    writeSheet();
}

bool SheetJob::applyTrackSource()
{
    if (!m_options.cueSheet.isEmpty()) {
        m_session->takeSheet(m_options.cueSheet);
        return false;
    }
    if (!m_options.tracks.isEmpty()) {
        m_session->replaceTracks(m_options.tracks);
        return true;
    }
    QString why;
    if (!m_options.cutTimes.isEmpty() && !m_session->cutAt(m_options.cutTimes, &why)) {
        fail(why);
        return false;
    }
    return true;
}

void SheetJob::writeSheet()
{
    const TrackList *list = TrackList::instance();
    TrackContainer tracks;
    for (int i = 0; i < list->count(); ++i)
        tracks.append(list->trackAt(i));
    // The sheet the tracks came from also gives the album.
    Album album = m_options.album;
    if (CueSheetParser parser; !m_session->sheet().isEmpty() || !m_options.cueSheet.isEmpty()) {
        parser.parseFile(m_options.cueSheet.isEmpty() ? m_session->sheet() : m_options.cueSheet);
        album = album.filledFrom(parser.album());
    }
    QString error;
    if (m_sheetPath.isEmpty()) {
        const QByteArray sheet =
            CueSheetWriter::sheet(tracks, album, QFileInfo(m_options.input).fileName());
        std::fwrite(sheet.constData(), 1, size_t(sheet.size()), stdout);
        std::fflush(stdout);
    } else if (!CueSheetWriter::write(m_sheetPath, m_options.input, tracks, album, &error)) {
        fail(error);
        return;
    }
    finish(0);
}

void SheetJob::fail(const QString &message)
{
    std::fputs(
        (u"mavlor-cli: "_s + TerminalText::escaped(message) + u'\n').toLocal8Bit().constData(),
        stderr);
    finish(2);
}

void SheetJob::finish(int status)
{
    if (m_done)
        return;
    m_done = true;
    m_status = status;
    if (m_session)
        m_session->stop();
    QCoreApplication::exit(status);
}
