#include "cue/cueparserthreadobject.h"

#include "cue/cuesheetparser.h"

CueParserThreadObject::CueParserThreadObject(QObject *parent)
    : IThreadObject(parent)
{
    registerTrackMetaTypes();
    registerAlbumMetaType();
}

void CueParserThreadObject::setPath(const QString &path)
{
    m_path = path;
}

void CueParserThreadObject::start()
{
    {
        // The parse state lives for this run only.
        CueSheetParser parser;
        parser.parseFile(m_path);
        if (!parser.entries().isEmpty() && shouldContinue()) {
            emit readyAlbum(parser.album());
            emit readyTracks(CueSheetParser::buildTracks(parser.entries()));
        }
    }
    m_path.clear();
    emit finished();
}
