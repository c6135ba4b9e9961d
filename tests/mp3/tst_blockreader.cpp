#include "mp3/blockreader.h"

#include <QBuffer>
#include <QRandomGenerator>
#include <QTest>

class tst_BlockReader : public QObject
{
    Q_OBJECT

private slots:
    void viewsMatchDeviceBytes_data();
    void viewsMatchDeviceBytes();
    void randomAccessNeverReturnsStaleBytes();
};

namespace {

QByteArray pattern(int size)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 131 + i / 251) & 0xFF);
    return bytes;
}

} // namespace

void tst_BlockReader::viewsMatchDeviceBytes_data()
{
    QTest::addColumn<int>("blockSize");
    QTest::addColumn<qint64>("offset");
    QTest::addColumn<qint64>("count");

    QTest::newRow("inside first block") << 64 << qint64(3) << qint64(10);
    QTest::newRow("across a block boundary") << 64 << qint64(60) << qint64(10);
    QTest::newRow("count larger than block is capped") << 64 << qint64(5) << qint64(1000);
    QTest::newRow("far jump forward") << 64 << qint64(900) << qint64(40);
    QTest::newRow("last bytes") << 64 << qint64(996) << qint64(4);
    QTest::newRow("read over the end is short") << 64 << qint64(990) << qint64(40);
    QTest::newRow("read at the end is empty") << 64 << qint64(1000) << qint64(4);
    QTest::newRow("read past the end is empty") << 64 << qint64(1050) << qint64(4);
}

void tst_BlockReader::viewsMatchDeviceBytes()
{
    QFETCH(int, blockSize);
    QFETCH(qint64, offset);
    QFETCH(qint64, count);

    QByteArray data = pattern(1000);
    QBuffer device(&data);
    QVERIFY(device.open(QIODevice::ReadOnly));
    BlockReader reader(&device, blockSize);
    // Touch the start first so later views must come from a moved or refilled block.
    QCOMPARE(reader.peek(0, 8).toByteArray(), data.left(8));
    QCOMPARE(reader.peek(offset, count).toByteArray(),
             data.mid(offset, std::min<qint64>(count, blockSize)));
    // A view past the end leaves the reader usable.
    QCOMPARE(reader.peek(95, 2).toByteArray(), data.mid(95, 2));
    QVERIFY(!reader.failed());
}

void tst_BlockReader::randomAccessNeverReturnsStaleBytes()
{
    QByteArray data = pattern(5000);
    QBuffer device(&data);
    QVERIFY(device.open(QIODevice::ReadOnly));
    BlockReader reader(&device, 97);
    QRandomGenerator random(1234);
    for (int i = 0; i < 2000; ++i) {
        const qint64 offset = random.bounded(5100);
        const qint64 count = random.bounded(120);
        const QByteArray expected = data.mid(offset, std::min<qint64>(count, 97));
        QCOMPARE(reader.peek(offset, count).toByteArray(), expected);
    }
}

QTEST_GUILESS_MAIN(tst_BlockReader)
#include "tst_blockreader.moc"
