#pragma once

#include <QByteArray>
#include <QList>
#include <QMetaType>

namespace Freedb {

// One disc found by a search, as the server's bytes (ISO-8859-1).
struct CD
{
    QByteArray discId;
    QByteArray genre;
    QByteArray title; // normally "artist / album"

    friend bool operator==(const CD &, const CD &) = default;
};

// Discs in the order of the server's lines; travels by value through queued signals.
using CDContainer = QList<CD>;

// Registers Freedb::CD and Freedb::CDContainer under their own names. Safe to call repeatedly.
void registerMetaTypes();

} // namespace Freedb

Q_DECLARE_METATYPE(Freedb::CD)
Q_DECLARE_METATYPE(Freedb::CDContainer)
