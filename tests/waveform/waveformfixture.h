#pragma once

#include "modalanswerer.h"
#include "mp3/cheapmp3.h"
#include "mp3streambuilder.h"
#include "tracks/trackdatadialog.h"

#include <QDir>

#include <functional>
#include <memory>

// A frame index read by CheapMP3 from MPEG-1 Layer III frames at 44100 Hz written into
// folder, one frame per gain. Null when the stream cannot be written.
inline std::unique_ptr<CheapMP3> indexOfGains(const QString &folder, int entries,
                                              const std::function<int(int)> &gainAt)
{
    static int serial = 0;
    Mp3StreamBuilder builder;
    for (int i = 0; i < entries; ++i)
        builder.append(Mp3StreamBuilder::frame({}, gainAt(i)));
    const QString path = QDir(folder).filePath(QStringLiteral("gains%1.mp3").arg(++serial));
    if (!builder.save(path))
        return nullptr;
    auto index = std::make_unique<CheapMP3>(nullptr, nullptr, nullptr);
    index->readFile(path);
    return index;
}

// Gains that rise and fall over the file, as music does.
inline int wavyGain(int i)
{
    return 120 + (i * 7) % 100;
}

// Runs act; each track dialog it opens is handed to answer, then rejected if still open.
// Returns whether a dialog opened.
inline bool answerDialog(const std::function<void()> &act,
                         const std::function<void(TrackDataDialog *)> &answer)
{
    ModalAnswerer answerer([&](QWidget *modal) {
        if (auto *dialog = qobject_cast<TrackDataDialog *>(modal))
            answer(dialog);
    });
    act();
    return !answerer.seen.isEmpty();
}
