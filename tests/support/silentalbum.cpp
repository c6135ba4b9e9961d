#include "silentalbum.h"

#include <QFile>
#include <QProcess>

using namespace Qt::StringLiterals;

namespace {

bool runTool(const QString &program, const QStringList &arguments, QString *errorString)
{
    QProcess process;
    process.start(program, arguments);
    if (process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit
        && process.exitCode() == 0)
        return true;
    if (errorString)
        *errorString =
            program + u" failed: "_s + QString::fromLocal8Bit(process.readAllStandardError());
    return false;
}

} // namespace

bool SilentAlbum::make(const QString &mp3Path, bool withGaps, const QStringList &lameArguments,
                       QString *errorString)
{
    const QString graph = withGaps
        ? u"sine=f=440:d=4,volume=4,afade=t=out:st=2:d=2[a];"
          "anoisesrc=color=pink:amplitude=0.3:d=7,afade=t=in:d=1,"
          "volume=-24dB:enable='between(t,2.5,4.5)'[b];"
          "sine=f=300:d=3,volume=4,afade=t=in:d=0.5[c];"
          "aevalsrc=0:d=2[g1];aevalsrc=0:d=2[g2];"
          "[a][g1][b][g2][c]concat=n=5:v=0:a=1,aformat=channel_layouts=stereo"_s
        : u"anoisesrc=color=pink:amplitude=0.3:d=10,aformat=channel_layouts=stereo"_s;
    const QString wav = mp3Path + u".wav"_s;
    const bool made = runTool(u"ffmpeg"_s,
                              {u"-nostdin"_s, u"-v"_s, u"error"_s, u"-y"_s, u"-filter_complex"_s,
                               graph, u"-ar"_s, u"44100"_s, wav},
                              errorString)
        && runTool(u"lame"_s, QStringList{u"--quiet"_s} + lameArguments + QStringList{wav, mp3Path},
                   errorString);
    QFile::remove(wav);
    return made;
}
