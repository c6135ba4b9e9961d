#include "freedb/cd.h"

namespace Freedb {

void registerMetaTypes()
{
    qRegisterMetaType<CD>("Freedb::CD");
    qRegisterMetaType<CDContainer>("Freedb::CDContainer");
}

} // namespace Freedb
