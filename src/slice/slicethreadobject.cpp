#include "slice/slicethreadobject.h"

#include <QFile>

#include <taglib/fileref.h>
#include <taglib/tag.h>
#include <taglib/tstring.h>

#include "mp3/cheapmp3.h"
#include "slice/headerrepair.h"
#include "slice/trackname.h"
#include "vbrrepair/repairsettings.h"

using namespace Qt::StringLiterals;

namespace {

// Shared by every slice of the process, so a track that starts where the last one ended
// (both at 100 %) reports once.
int lastPercent = -1;

// An ID3v2.4 tag of padding only. TagLib writes artist and title into it in place, where a
// track without a tag would be shifted behind a new one, a kilobyte at a time. TagLib keeps
// the size only while the padding left over is at most 1 KiB (or 1 % of the file), so the
// tag is no larger than that.
QByteArray reservedTagSpace()
{
    constexpr int bodySize = 1024;
    QByteArray tag("ID3\x04\x00\x00", 6);
    tag += char((bodySize >> 21) & 0x7F);
    tag += char((bodySize >> 14) & 0x7F);
    tag += char((bodySize >> 7) & 0x7F);
    tag += char(bodySize & 0x7F);
    tag += QByteArray(bodySize, '\0');
    return tag;
}

TagLib::String tagText(const QString &text)
{
    return TagLib::String(text.toUtf8().constData(), TagLib::String::UTF8);
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
    static const QByteArray tagSpace = reservedTagSpace();
    const bool copied = m_index->writeFile(path, first, last - first, &error, tagSpace);
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
    RepairSettings settings;
    settings.fallbackLameFrame = m_infoFrame;
    settings.keepEncoderDelay = firstAudio;
    settings.keepEncoderPadding = lastAudio;
    return HeaderRepair(*this).run(path, settings, reason);
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
