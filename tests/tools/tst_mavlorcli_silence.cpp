// mavlor-cli's silence commands end to end: the real binary on albums made by ffmpeg and
// lame, the written tracks measured by ffmpeg.
#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include "clirun.h"
#include "silentalbum.h"

using namespace Qt::StringLiterals;
using Spans = QList<SilentAlbum::Span>;

Q_DECLARE_METATYPE(Spans)

class tst_MavlorCliSilence : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_album;
    QString m_noise;

private slots:
    void initTestCase()
    {
        if (!EncodedAudio::haveTool(u"lame"_s) || !EncodedAudio::haveTool(u"ffmpeg"_s))
            QSKIP("lame and ffmpeg are needed");
        m_album = m_dir.filePath(u"album.mp3"_s);
        m_noise = m_dir.filePath(u"noise.mp3"_s);
        QString error;
        QVERIFY2(SilentAlbum::make(m_album, true, {u"-V2"_s}, &error), qPrintable(error));
        QVERIFY2(SilentAlbum::make(m_noise, false, {u"-b192"_s}, &error), qPrintable(error));
    }

    void splitCutsInsideEverySilence_data()
    {
        QTest::addColumn<bool>("album");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<Spans>("gaps"); // where the boundaries must fall, in seconds

        const Spans gaps{SilentAlbum::firstGap, SilentAlbum::secondGap};
        QTest::newRow("defaults cut in both gaps, not in the quiet passage")
            << true << QStringList{} << gaps;
        QTest::newRow("a higher threshold cuts in the quiet passage too")
            << true << QStringList{u"--threshold"_s, u"-35"_s}
            << Spans{SilentAlbum::firstGap, SilentAlbum::quietPassage, SilentAlbum::secondGap};
        QTest::newRow("a minimum longer than the gaps cuts nowhere")
            << true << QStringList{u"--min"_s, u"3"_s} << Spans{};
        QTest::newRow("a file without silence stays one track")
            << false << QStringList{} << Spans{};
    }
    void splitCutsInsideEverySilence()
    {
        QFETCH(bool, album);
        QFETCH(QStringList, options);
        QFETCH(Spans, gaps);

        const QString out = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()));
        const CliResult result = runCli(QStringList{u"split"_s, album ? m_album : m_noise,
                                                    u"--silence"_s, u"--quiet"_s, u"--out"_s, out}
                                        + options);
        QVERIFY2(result.status == 0, qPrintable(result.err));
        const QStringList tracks = QDir(out).entryList({u"*.mp3"_s}, QDir::Files, QDir::Name);
        QCOMPARE(tracks.size(), gaps.size() + 1);
        const QString name = album ? u"album"_s : u"noise"_s;
        QCOMPARE(tracks.first(), u"01 - %1 - %1.mp3"_s.arg(name));
        double boundary = 0.0;
        for (qsizetype i = 0; i + 1 < tracks.size(); ++i) {
            const double seconds = decodedSeconds(QDir(out).filePath(tracks[i]));
            QVERIFY(seconds > 0.0);
            boundary += seconds;
            QVERIFY2(boundary > gaps[i].start && boundary < gaps[i].end,
                     qPrintable(u"boundary %1 at %2 s"_s.arg(i + 1).arg(boundary)));
        }
    }

    void silencesPrintsStartAndEnd()
    {
        const CliResult result = runCli({u"silences"_s, m_album});
        QVERIFY2(result.status == 0, qPrintable(result.err));
        const QStringList lines = result.out.split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        static const QRegularExpression line(u"^(\\d+\\.\\d{3})  (\\d+\\.\\d{3})$"_s);
        const Spans gaps{SilentAlbum::firstGap, SilentAlbum::secondGap};
        for (qsizetype i = 0; i < lines.size(); ++i) {
            const QRegularExpressionMatch match = line.match(lines[i]);
            QVERIFY2(match.hasMatch(), qPrintable(lines[i]));
            QVERIFY(match.captured(1).toDouble() <= gaps[i].start + 0.03);
            QVERIFY(match.captured(2).toDouble() >= gaps[i].end - 0.03);
        }
    }

    void badOptionsGiveOneLineError_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        QTest::newRow("threshold above full scale")
            << QStringList{u"silences"_s, m_album, u"--threshold"_s, u"3"_s}
            << u"--threshold needs"_s;
        QTest::newRow("minimum of nothing")
            << QStringList{u"silences"_s, m_album, u"--min"_s, u"0"_s} << u"--min needs"_s;
        QTest::newRow("silence with cut times")
            << QStringList{u"split"_s,     m_album,   u"--out"_s, m_dir.path(),
                           u"--silence"_s, u"--at"_s, u"3"_s}
            << u"--silence cannot be used"_s;
        QTest::newRow("not an MP3")
            << QStringList{u"silences"_s, m_dir.path()} << u"is not an MP3 file"_s;
    }
    void badOptionsGiveOneLineError()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        const CliResult result = runCli(arguments);
        QVERIFY(result.status > 0);
        QVERIFY2(result.err.startsWith(u"mavlor-cli: "_s), qPrintable(result.err));
        QVERIFY2(result.err.contains(message), qPrintable(result.err));
    }
};

QTEST_GUILESS_MAIN(tst_MavlorCliSilence)
#include "tst_mavlorcli_silence.moc"
