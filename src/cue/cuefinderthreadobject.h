#pragma once

#include <QString>

#include "cue/filefinder.h"
#include "threads/ithreadobject.h"

// Looks for CUE sheets in the folder of an MP3 on its worker thread. A sheet with the MP3's
// complete base name replaces the whole list; readyCueFiles() is emitted only for a non-empty
// list and no stop request, finished() always. The path is cleared at the end of each run.
class CueFinderThreadObject final : public IThreadObject
{
    Q_OBJECT

public:
    explicit CueFinderThreadObject(QObject *parent = nullptr);

    // Call while the thread is idle; points the finder at the MP3's folder.
    void setPath(const QString &path);
    QString path() const { return m_path; }

public slots:
    void start() override;

signals:
    void readyCueFiles(const FileFinder::FileList &files);

private:
    QString m_path;
    FileFinder m_finder;
};
