#include "freedb/freedbsearchthreadobject.h"

#include "freedb/discentry.h"

using namespace Qt::StringLiterals;

FreedbSearchThreadObject::FreedbSearchThreadObject(QObject *parent)
    : IThreadObject(parent)
{
    registerTrackMetaTypes();
    Freedb::registerMetaTypes();
    m_client.setContinueListener(this);
}

void FreedbSearchThreadObject::setSearchRequest(const QString &text)
{
    m_client.clearDiscs();
    m_discsAvailable = false;
    m_mode = Mode::Search;
    m_searchText = text;
}

void FreedbSearchThreadObject::setReadRequest(int discIndex)
{
    m_mode = Mode::Read;
    m_selectedDisc = discIndex;
    m_readNamedDisc = false;
}

void FreedbSearchThreadObject::setReadRequest(const Freedb::CD &disc)
{
    m_mode = Mode::Read;
    m_namedDisc = disc;
    m_readNamedDisc = true;
}

void FreedbSearchThreadObject::start()
{
    if (m_mode == Mode::Search)
        search();
    else
        read();
    m_searchText.clear();
    m_readNamedDisc = false;
    emit finished();
}

void FreedbSearchThreadObject::search()
{
    if (m_searchText.isEmpty())
        return;
    if (!m_client.searchAlbum(m_searchText.toLatin1())) {
        if (shouldContinue())
            emit failed(m_client.errorString());
        return;
    }
    m_discsAvailable = true;
    if (m_client.discsCut())
        emit discListCut(int(m_client.discs().size()));
    emit discsReady(m_client.discs());
}

void FreedbSearchThreadObject::read()
{
    if (!m_readNamedDisc && !m_discsAvailable)
        return;
    QList<QByteArray> lines;
    const bool received = m_readNamedDisc ? m_client.readDisc(m_namedDisc, &lines)
                                          : m_client.readDisc(m_selectedDisc, &lines);
    if (!shouldContinue())
        return;
    if (!received) {
        emit failed(m_client.errorString());
        return;
    }
    const Freedb::DiscEntry entry(lines);
    if (entry.isValid())
        emit tracksReady(entry.tracks(), entry.album());
    else
        emit failed(u"the disc entry holds no tracks"_s);
}
