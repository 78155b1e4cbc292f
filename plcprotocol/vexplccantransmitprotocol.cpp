// SPDX-License-Identifier: MIT
#include "vexplccantransmitprotocol.h"

#include "vexplcpackettype.h"

namespace Orrery {

CvexPlcCANTransmitProtocol::CvexPlcCANTransmitProtocol(int variant)
{
    const CvexPlcPacketType& type =
        variant == 0 ? PlcPacket::CanTransmit : PlcPacket::CanTransmitVariant1;
    setSendType(type.sendCode);
    setReceiveType(type.receiveCode);
}

CvexPlcCANTransmitProtocol::~CvexPlcCANTransmitProtocol() = default;

// CAN frames are not carried by this link yet; the type only keeps its codes reserved.
int CvexPlcCANTransmitProtocol::composeProtocol(CvexByteArray&, const CvexByteArray&, void*)
{
    return -1;
}

int CvexPlcCANTransmitProtocol::parseProtocol(const CvexByteArray&)
{
    return -1;
}

} // namespace Orrery
