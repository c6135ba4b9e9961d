#include <QTest>

#include "mp3streambuilder.h"
#include "slice/streamtally.h"
#include "vbrrepair/crc16.h"

using Header = Mp3StreamBuilder::Header;
using Sizes = QList<quint64>;

class tst_StreamTally : public QObject
{
    Q_OBJECT

private slots:
    void piecesCountTheFramesOfTheWholeRun_data();
    void piecesCountTheFramesOfTheWholeRun();
};

void tst_StreamTally::piecesCountTheFramesOfTheWholeRun_data()
{
    QTest::addColumn<QByteArray>("run");
    QTest::addColumn<Sizes>("frameSizes");

    Header low;
    low.bitrateIndex = 5; // 64 kbit/s: 208/209 bytes
    Header high;
    high.bitrateIndex = 14; // 320 kbit/s: 1044/1045 bytes
    high.padding = true;
    Header mpeg2;
    mpeg2.version = Mp3StreamBuilder::Mpeg2;
    mpeg2.bitrateIndex = 8; // 64 kbit/s at 22.05 kHz
    mpeg2.sampleRateIndex = 0;
    const QByteArray a = Mp3StreamBuilder::frame(low);
    const QByteArray b = Mp3StreamBuilder::frame(high);
    const QByteArray c = Mp3StreamBuilder::frame(mpeg2);
    const auto size = [](const QByteArray &frame) { return quint64(frame.size()); };

    QTest::newRow("two bitrates") << a + b + b + a << Sizes{size(a), size(b), size(b), size(a)};
    QTest::newRow("MPEG-2 pairs") << c + c + c + c << Sizes{size(c), size(c), size(c), size(c)};
    // A last frame cut short, or a header too short to read: the rest of the run is one frame.
    QTest::newRow("cut last frame") << a + b.left(700) << Sizes{size(a), 700};
    QTest::newRow("three bytes left") << b + a.left(3) << Sizes{size(b), 3};
}

void tst_StreamTally::piecesCountTheFramesOfTheWholeRun()
{
    QFETCH(QByteArray, run);
    QFETCH(Sizes, frameSizes);
    const auto *bytes = reinterpret_cast<const uchar *>(run.constData());
    // Pieces that split headers at every byte, and one piece for the whole run.
    for (const qsizetype piece :
         {qsizetype(1), qsizetype(3), qsizetype(5), qsizetype(1000), run.size()}) {
        StreamTally tally;
        for (qsizetype at = 0; at < run.size(); at += piece)
            tally.addPiece(bytes + at, std::min(piece, run.size() - at), run.size() - at);
        QCOMPARE(Sizes(tally.frameSizes.begin(), tally.frameSizes.end()), frameSizes);
        QCOMPARE(tally.musicCrc, Crc16::lame(bytes, std::size_t(run.size())));
    }
}

QTEST_GUILESS_MAIN(tst_StreamTally)
#include "tst_streamtally.moc"
