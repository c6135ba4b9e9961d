#pragma once

#include <QByteArray>

// Bit-by-bit reference CRCs for the tests, written from the catalogue definitions and
// checked against their check values ("123456789") in tst_crc16 style before use.
namespace ReferenceCrc {

// CRC-16/ARC: reflected, polynomial 0x8005 (0xA001 reflected), init 0, no xorout.
inline quint16 arc(const QByteArray &bytes)
{
    quint16 crc = 0;
    for (char c : bytes) {
        crc ^= quint8(c);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? quint16((crc >> 1) ^ 0xA001) : quint16(crc >> 1);
    }
    return crc;
}

// CRC-16/CMS: polynomial 0x8005, MSB first, init 0xFFFF, no xorout.
inline quint16 cms(const QByteArray &bytes)
{
    quint16 crc = 0xFFFF;
    for (char c : bytes) {
        crc ^= quint16(quint8(c) << 8);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x8000) ? quint16((crc << 1) ^ 0x8005) : quint16(crc << 1);
    }
    return crc;
}

} // namespace ReferenceCrc
