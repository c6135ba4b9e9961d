#include "slice/slicethreadobject.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <taglib/fileref.h>
#include <taglib/tag.h>
#include <taglib/tstring.h>

#include "mp3/cheapmp3.h"
#include "slice/trackname.h"
#include "vbrrepair/repairsettings.h"
#include "vbrrepair/vbrrepairer.h"

using namespace Qt::StringLiterals;

namespace {

// Shared by every slice of the process, so a track that starts where the last one ended
// (both at 100 %) reports once.
int lastPercent = -1;

TagLib::String tagText(const QString &text)
{
    return TagLib::String(text.toUtf8().constData(), TagLib::String::UTF8);
}

// Copies from into an already open to; false on any short read or write.
bool copyContents(QFile &from, QFile &to)
{
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    for (;;) {
        const qint64 got = from.read(buffer.data(), buffer.size());
        if (got < 0)
            return false;
        if (got == 0)
            return true;
        if (to.write(buffer.constData(), got) != got)
            return false;
    }
}

} // namespace

SliceThreadObject::SliceThreadObject(QObject *parent)
    : IThreadObject(parent)
{
}

int SliceThreadObject::entryAt(int milliseconds, int sampleRate)
{
    const float seconds = static_cast<float>(milliseconds / 1000.0);
    return static_cast<int>(seconds * sampleRate / 1152.0 + 0.5);
}

void SliceThreadObject::start()
{
    m_infoFrame.clear();
    if (m_index && m_index->infoFrameLength() > 0) {
        QFile source(m_index->fileName());
        if (source.open(QIODevice::ReadOnly) && source.seek(m_index->infoFrameOffset())) {
            const QByteArray frame = source.read(m_index->infoFrameLength());
            m_infoFrame.assign(frame.begin(), frame.end());
        }
    }

    for (const Track &track : std::as_const(m_tracks)) {
        if (!shouldContinue())
            break;
        m_currentTrack = track.number;
        writeTrack(track);
    }

    if (m_index) {
        m_index->setContinueListener(nullptr);
        m_index->setWriteListener(nullptr);
    }
    m_tracks.clear();
    m_outputFolder.clear();
    m_currentTrack = 0;
    m_infoFrame.clear();
    emit finished();
}

bool SliceThreadObject::writeTrack(const Track &track)
{
    const QString path = m_outputFolder + u'/'
        + TrackName::fileName(TrackName{track.artist, track.title, track.number});
    if (!m_index || m_index->sampleRate() <= 0 || m_index->frameCount() == 0) {
        emit trackFailed(track.number, path, tr("The MP3 holds no audio frames."));
        return false;
    }

    const int first = std::clamp(entryAt(track.start, m_index->sampleRate()), 0,
                                 m_index->frameCount());
    const int last = std::clamp(entryAt(track.end, m_index->sampleRate()), 0,
                                m_index->frameCount());
    if (last <= first) {
        emit trackFailed(track.number, path, tr("The track holds no audio frames."));
        return false;
    }

    QString error;
    const bool copied = m_index->writeFile(path, first, last - first, &error);
    if (!copied && !error.isEmpty()) {
        emit trackFailed(track.number, path, error);
        return false;
    }

    tagFile(path, track);
    if (!shouldContinue())
        return false;

    QString reason;
    if (!fixVbrHeader(path, first == 0, last == m_index->frameCount(), &reason)) {
        emit trackFailed(track.number, path, reason);
        return false;
    }
    emit trackWritten(track.number, path);
    return true;
}

void SliceThreadObject::tagFile(const QString &path, const Track &track)
{
    TagLib::FileRef file(QFile::encodeName(path).constData(), true,
                         TagLib::AudioProperties::Average);
    if (file.isNull() || !file.tag())
        return;
    file.tag()->setArtist(tagText(track.artist));
    file.tag()->setTitle(tagText(track.title));
    file.file()->save();
}

bool SliceThreadObject::fixVbrHeader(const QString &path, bool firstAudio, bool lastAudio,
                                     QString *reason)
{
    if (path.isEmpty())
        return true;

    // A unique name: a leftover from a crash never blocks a repair, and no file we did not
    // create is ever deleted.
    QTemporaryFile copy(QDir::tempPath() + u'/' + QFileInfo(path).completeBaseName()
                        + u"-XXXXXX.tmp"_s);
    QFile track(path);
    if (!copy.open() || !track.open(QIODevice::ReadOnly) || !copyContents(track, copy)
        || !copy.flush()) {
        // Nothing was changed: the track stays as written, only without a new header.
        *reason = tr("Cannot make a temporary copy for the header repair: %1")
                      .arg(copy.errorString());
        return false;
    }
    track.close();
    copy.close();

    RepairSettings settings;
    settings.fallbackLameFrame = m_infoFrame;
    settings.keepEncoderDelay = firstAudio;
    settings.keepEncoderPadding = lastAudio;
    VbrRepairer repairer(*this, settings);
    repairer.fix(QFile::encodeName(copy.fileName()).toStdString(),
                 QFile::encodeName(path).toStdString());

    const int state = repairer.state();
    if ((state == VbrRepairer::Failed || state == VbrRepairer::Stopped)
        && repairer.outputTouched()) {
        // The engine began rewriting the track; put it back exactly as written.
        if (!copy.open() || !track.open(QIODevice::WriteOnly | QIODevice::Truncate)
            || !copyContents(copy, track) || !track.flush()) {
            copy.setAutoRemove(false);
            *reason = tr("The header repair failed and the track could not be restored; "
                         "it is kept in %1").arg(copy.fileName());
            return false;
        }
    }
    return true;
}

void SliceThreadObject::writed(float percent)
{
    const int whole = static_cast<int>(percent);
    if (whole == lastPercent)
        return;
    lastPercent = whole;
    emit sliceProgress(SliceProgress{m_currentTrack, whole});
}

void SliceThreadObject::progress()
{
}

void SliceThreadObject::message(FeedBackMessage message)
{
    static const char *const prefixes[] = {"Detail: ", "Info: ", "Warning: ", "Error: "};
    const int level = std::clamp(message.level, 0, 3);
    // The job keeps no log: the text is formed and dropped.
    const std::string text = prefixes[level] + message.text;
    Q_UNUSED(text);
}

bool SliceThreadObject::shouldStop()
{
    return !shouldContinue();
}
