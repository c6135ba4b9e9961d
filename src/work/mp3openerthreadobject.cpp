#include "work/mp3openerthreadobject.h"

#include "mp3/cheapmp3.h"

Mp3OpenerThreadObject::Mp3OpenerThreadObject(IReadedListener *readListener, QObject *parent)
    : IThreadObject(parent)
    , m_readListener(readListener)
{
}

Mp3OpenerThreadObject::~Mp3OpenerThreadObject()
{
    if (!m_handedOff)
        delete m_cheapMp3;
}

void Mp3OpenerThreadObject::setPath(const QString &path)
{
    m_path = path;
    m_cheapMp3 = nullptr;
    m_handedOff = false;
}

void Mp3OpenerThreadObject::start()
{
    if (m_cheapMp3 && !m_handedOff)
        delete m_cheapMp3;
    m_cheapMp3 = new CheapMP3(this, m_readListener, nullptr);
    m_handedOff = false;
    m_cheapMp3->readFile(m_path);

    if (shouldContinue()) {
        m_cheapMp3->setContinueListener(nullptr);
        m_handedOff = true;
        emit readyCheapMP3(m_cheapMp3);
        m_cheapMp3 = nullptr;
    } else {
        delete m_cheapMp3;
        m_cheapMp3 = nullptr;
        m_handedOff = false;
    }
    m_path.clear();
    emit finished();
}
