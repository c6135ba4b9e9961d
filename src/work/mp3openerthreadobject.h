#pragma once

#include <QString>

#include "mp3/cheapmp3.h"
#include "mp3/ireadedlistener.h"
#include "threads/ithreadobject.h"

// Builds the frame index of one MP3 on the opener thread and hands it over through
// readyCheapMP3(), shared and read-only from then on. A stopped read delivers nothing.
class Mp3OpenerThreadObject final : public IThreadObject
{
    Q_OBJECT

public:
    explicit Mp3OpenerThreadObject(IReadedListener *readListener, QObject *parent = nullptr);
    ~Mp3OpenerThreadObject() override;

    void setPath(const QString &path);
    QString path() const { return m_path; }

public slots:
    void start() override;

signals:
    void readyCheapMP3(CheapMP3Ptr index);

private:
    QString m_path;
    IReadedListener *m_readListener = nullptr;
};
