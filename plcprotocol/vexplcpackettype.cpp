// SPDX-License-Identifier: MIT
#include "vexplcpackettype.h"

#include "vexplcbytes_p.h"

namespace Orrery {

namespace {
constexpr int TypePos = 4;
} // namespace

int CvexPlcPacketType::peekType(const CvexByteArray& datagram)
{
    if (!PlcBytes::holds(datagram, TypePos, 2))
        return PlcPacket::NoType;
    return PlcBytes::getU16(datagram, TypePos);
}

} // namespace Orrery
