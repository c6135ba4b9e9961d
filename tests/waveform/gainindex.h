#pragma once

#include "mp3/cheapmp3.h"
#include "mp3streambuilder.h"

#include <QDir>
#include <QList>

#include <functional>
#include <memory>

// A frame index read by CheapMP3 from a stream of MPEG-1 Layer III frames at 44100 Hz, one
// frame per gain, written into folder. Null when the stream cannot be written.
inline std::unique_ptr<CheapMP3> indexOfGains(const QString &folder, int entries,
                                              const std::function<int(int)> &gainAt)
{
    static int serial = 0;
    Mp3StreamBuilder builder;
    const Mp3StreamBuilder::Header header;
    for (int i = 0; i < entries; ++i)
        builder.append(Mp3StreamBuilder::frame(header, gainAt(i)));
    const QString path = QDir(folder).filePath(QStringLiteral("gains%1.mp3").arg(++serial));
    if (!builder.save(path))
        return nullptr;
    auto index = std::make_unique<CheapMP3>(nullptr, nullptr, nullptr);
    index->readFile(path);
    return index;
}

inline std::unique_ptr<CheapMP3> indexOfGains(const QString &folder, const QList<int> &gains)
{
    return indexOfGains(folder, static_cast<int>(gains.size()),
                        [&gains](int i) { return gains.at(i); });
}

// Gains that rise and fall over the file, as music does.
inline int wavyGain(int i)
{
    return 120 + (i * 7) % 100;
}
