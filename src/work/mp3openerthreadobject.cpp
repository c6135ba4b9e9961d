#include "work/mp3openerthreadobject.h"

#include <memory>

#include "mp3/cheapmp3.h"

Mp3OpenerThreadObject::Mp3OpenerThreadObject(IReadedListener *readListener, QObject *parent)
    : IThreadObject(parent)
    , m_readListener(readListener)
{
}

Mp3OpenerThreadObject::~Mp3OpenerThreadObject() = default;

void Mp3OpenerThreadObject::setPath(const QString &path)
{
    m_path = path;
}

void Mp3OpenerThreadObject::start()
{
    auto index = std::make_unique<CheapMP3>(this, m_readListener, nullptr);
    index->readFile(m_path);
    if (shouldContinue()) {
        index->setContinueListener(nullptr);
        emit readyCheapMP3(CheapMP3Ptr(std::move(index)));
    }
    m_path.clear();
    emit finished();
}
