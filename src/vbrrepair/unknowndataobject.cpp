#include "vbrrepair/unknowndataobject.h"

UnknownDataObject::UnknownDataObject(std::uint64_t filePosition, std::uint64_t size)
    : Mp3Object(filePosition)
    , m_size(size)
{
}

Mp3ObjectType UnknownDataObject::type() const
{
    return Mp3ObjectType::UnknownDataObject;
}

std::uint64_t UnknownDataObject::size() const
{
    return m_size;
}
