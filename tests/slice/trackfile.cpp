#include "trackfile.h"

#include <QFile>
#include <QTemporaryDir>

#include <taglib/fileref.h>
#include <taglib/tag.h>

#include "vbrrepair/feedbackinterface.h"
#include "vbrrepair/repairsettings.h"
#include "vbrrepair/vbrrepairer.h"

namespace {

class SilentFeedBack final : public FeedBackInterface
{
public:
    void progress() override { }
    void message(FeedBackMessage) override { }
    bool shouldStop() override { return false; }
};

} // namespace

bool TrackFile::judgedRight(const QString &path, bool keepEncoderDelay, bool keepEncoderPadding)
{
    RepairSettings settings;
    settings.keepEncoderDelay = keepEncoderDelay;
    settings.keepEncoderPadding = keepEncoderPadding;
    SilentFeedBack feedBack;
    VbrRepairer repairer(feedBack, settings);
    const QTemporaryDir scratch;
    repairer.fix(QFile::encodeName(path).toStdString(),
                 QFile::encodeName(scratch.filePath(QStringLiteral("scratch.mp3"))).toStdString());
    return repairer.state() == VbrRepairer::Skipped;
}

TrackFile TrackFile::read(const QString &path)
{
    TrackFile track;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return track;
    track.bytes = file.readAll();
    const QByteArray &b = track.bytes;
    qsizetype begin = 0;
    qsizetype end = b.size();
    if (b.startsWith("ID3") && b.size() >= 10) {
        const auto byte = [&](int i) { return static_cast<quint8>(b[i]) & 0x7F; };
        track.id3v2Size = ((byte(6) << 21) | (byte(7) << 14) | (byte(8) << 7) | byte(9)) + 10
            + ((static_cast<quint8>(b[5]) & 0x10) ? 10 : 0);
        begin = track.id3v2Size;
    }
    if (end - begin >= 128 && b.mid(end - 128, 3) == "TAG") {
        track.hasId3v1 = true;
        end -= 128;
    }
    track.audio = b.mid(begin, end - begin);
    const int first = frameSize(track.audio, 0);
    const int offset = xingOffset(track.audio, 0);
    if (first > 0 && offset > 0 && track.audio.mid(offset, 4) == "Xing")
        track.xingFrame = track.audio.left(first);
    track.frames = track.audio.mid(track.xingFrame.size());
    const TagLib::FileRef tags(QFile::encodeName(path).constData());
    if (!tags.isNull()) {
        track.artist = QString::fromStdWString(tags.tag()->artist().toWString());
        track.title = QString::fromStdWString(tags.tag()->title().toWString());
    }
    return track;
}

int TrackFile::frameSize(const QByteArray &bytes, qsizetype at)
{
    if (at + 4 > bytes.size())
        return 0;
    const auto b1 = static_cast<quint8>(bytes[at + 1]);
    const auto b2 = static_cast<quint8>(bytes[at + 2]);
    if (static_cast<quint8>(bytes[at]) != 0xFF || (b1 & 0xE6) != 0xE2)
        return 0;
    const bool mpeg1 = (b1 & 0x18) == 0x18;
    static const int mpeg1Rates[] = {0,   32,  40,  48,  56,  64,  80,  96,
                                     112, 128, 160, 192, 224, 256, 320, 0};
    static const int mpeg2Rates[] = {0,  8,  16, 24,  32,  40,  48,  56,
                                     64, 80, 96, 112, 128, 144, 160, 0};
    static const int sampleRates[] = {44100, 48000, 32000, 0};
    const int kbps = (mpeg1 ? mpeg1Rates : mpeg2Rates)[b2 >> 4];
    // MPEG-2 halves the MPEG-1 rates, MPEG-2.5 quarters them.
    const int rate = sampleRates[(b2 >> 2) & 3] / (mpeg1 ? 1 : (b1 & 0x18) == 0x10 ? 2 : 4);
    if (kbps == 0 || rate == 0)
        return 0;
    return (mpeg1 ? 144 : 72) * kbps * 1000 / rate + ((b2 >> 1) & 1);
}

int TrackFile::xingOffset(const QByteArray &bytes, qsizetype at)
{
    if (at + 4 > bytes.size())
        return 0;
    const bool mpeg1 = (static_cast<quint8>(bytes[at + 1]) & 0x18) == 0x18;
    const bool mono = (static_cast<quint8>(bytes[at + 3]) >> 6) == 3;
    return mpeg1 ? (mono ? 21 : 36) : (mono ? 13 : 21);
}
