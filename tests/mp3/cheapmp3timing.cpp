// Times CheapMP3::readFile and writeFile against plain reading and copying of the same
// file. Run by hand on a warm file: cheapmp3timing FILE.mp3 [TARGET.mp3]
#include "mp3/cheapmp3.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTextStream>

#include <vector>

using namespace Qt::StringLiterals;

namespace {

qint64 plainRead(const QString &path)
{
    QElapsedTimer timer;
    timer.start();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return -1;
    std::vector<char> buffer(128 * 1024);
    while (file.read(buffer.data(), qint64(buffer.size())) > 0) { }
    return timer.nsecsElapsed() / 1000;
}

qint64 plainCopy(const QString &from, const QString &to)
{
    QElapsedTimer timer;
    timer.start();
    QFile::remove(to);
    if (!QFile::copy(from, to))
        return -1;
    return timer.nsecsElapsed() / 1000;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        out << "usage: cheapmp3timing FILE.mp3 [TARGET.mp3]\n";
        return 2;
    }
    const QString path = args[1];
    const QString target = args.size() > 2 ? args[2] : path + u".copy.mp3"_s;
    plainRead(path); // warm the cache
    for (int run = 0; run < 3; ++run) {
        const qint64 readMicros = plainRead(path);
        QElapsedTimer timer;
        timer.start();
        CheapMP3 index(nullptr, nullptr, nullptr);
        index.readFile(path);
        const qint64 indexMicros = timer.nsecsElapsed() / 1000;
        const qint64 copyMicros = plainCopy(path, target);
        timer.restart();
        const bool written = index.writeFile(target, 0, index.frameCount());
        const qint64 writeMicros = timer.nsecsElapsed() / 1000;
        out << "read " << readMicros << " us, readFile " << indexMicros << " us ("
            << index.frameCount() << " entries); copy " << copyMicros << " us, writeFile "
            << writeMicros << " us" << (written ? "" : " FAILED") << "\n";
    }
    QFile::remove(target);
    return 0;
}
