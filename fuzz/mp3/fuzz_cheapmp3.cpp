// Feeds arbitrary bytes to the frame index reader, then copies every entry back out and
// checks what the index promises: entries in file order, inside the file, gains in range.
#include <QByteArray>
#include <QFile>
#include <QString>

#include <cstdint>
#include <cstdlib>
#include <unistd.h>

#include "mp3/cheapmp3.h"

namespace {

QString tempPath(const char *suffix)
{
    const char *dir = std::getenv("TMPDIR");
    return QString::fromLocal8Bit(dir ? dir : "/tmp") + QStringLiteral("/mavlor-fuzz-index-")
        + QString::number(getpid()) + QString::fromLatin1(suffix);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static const QString input = tempPath(".in.mp3");
    static const QString output = tempPath(".out.mp3");
    {
        QFile file(input);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(reinterpret_cast<const char *>(data), static_cast<qint64>(size));
    }

    CheapMP3 index(nullptr, nullptr, nullptr);
    index.readFile(input);
    qint64 previousEnd = 0;
    qint64 total = 0;
    for (int i = 0; i < index.frameCount(); ++i) {
        if (index.frameOffset(i) < previousEnd || index.frameLength(i) <= 0
            || index.frameOffset(i) >= index.fileSize() || index.frameGain(i) < 0
            || index.frameGain(i) > 255)
            std::abort();
        previousEnd = index.frameOffset(i) + index.frameLength(i);
        total += std::min<qint64>(previousEnd, index.fileSize()) - index.frameOffset(i);
    }
    if (index.frameCount() > 0 && (index.sampleRate() <= 0 || index.minGain() > index.maxGain()))
        std::abort();

    if (index.writeFile(output, 0, index.frameCount())) {
        if (QFile(output).size() != total)
            std::abort();
    }
    index.writeFile(output, index.frameCount() / 3, index.frameCount());
    return 0;
}
