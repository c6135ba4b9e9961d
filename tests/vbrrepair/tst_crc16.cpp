#include "vbrrepair/crc16.h"

#include <QRandomGenerator>
#include <QTest>

#include "referencecrc.h"

// Catalogued check values over the ASCII bytes "123456789" (CRC RevEng catalogue):
// CRC-16/CMS (0x8005, MSB first, init 0xFFFF) = 0xAEE7, CRC-16/ARC = 0xBB3D.
class tst_Crc16 : public QObject
{
    Q_OBJECT

private slots:
    void checkValuesMatchCatalogueInOneOrTwoPieces_data()
    {
        QTest::addColumn<bool>("lame");
        QTest::addColumn<int>("expected");
        QTest::newRow("frame CRC (ISO 11172-3)") << false << 0xAEE7;
        QTest::newRow("LAME CRC (CRC-16/ARC)") << true << 0xBB3D;
    }
    void checkValuesMatchCatalogueInOneOrTwoPieces()
    {
        QFETCH(bool, lame);
        QFETCH(int, expected);
        const QByteArray text("123456789");
        const auto *data = reinterpret_cast<const unsigned char *>(text.constData());
        QCOMPARE(int(lame ? Crc16::lame(data, 9) : Crc16::frame(data, 9)), expected);
        const auto run = [&](const unsigned char *d, std::size_t n, std::uint16_t crc) {
            return lame ? Crc16::lame(d, n, crc) : Crc16::frame(d, n, crc);
        };
        const std::uint16_t start = lame ? 0 : 0xFFFF;
        QCOMPARE(int(run(data + 4, 5, run(data, 4, start))), expected);
        QCOMPARE(int(run(data, 0, start)), int(start));
    }

    // The LAME CRC takes eight bytes at a time, and a long run in four joined parts; every
    // length and starting CRC must agree with the bit-by-bit definition, tail bytes included.
    void lameCrcMatchesBitwiseDefinitionForEveryLength()
    {
        QRandomGenerator random(1152);
        for (int length : {0,  1,  7,   8,   9,   15,   16,   17,   63,   64,    65,
                           79, 80, 127, 128, 129, 1000, 4095, 4096, 4099, 65543, 1048591}) {
            QByteArray bytes(length, Qt::Uninitialized);
            for (char &c : bytes)
                c = char(random.bounded(256));
            const auto *data = reinterpret_cast<const unsigned char *>(bytes.constData());
            QCOMPARE(int(Crc16::lame(data, std::size_t(length))), int(ReferenceCrc::arc(bytes)));
            const int half = length / 2;
            const std::uint16_t first = Crc16::lame(data, std::size_t(half));
            QCOMPARE(int(Crc16::lame(data + half, std::size_t(length - half), first)),
                     int(ReferenceCrc::arc(bytes)));
        }
    }
};

QTEST_APPLESS_MAIN(tst_Crc16)
#include "tst_crc16.moc"
