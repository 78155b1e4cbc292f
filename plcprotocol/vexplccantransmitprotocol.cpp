// SPDX-License-Identifier: MIT
#include "vexplccantransmitprotocol.h"

namespace Orrery {

CvexPlcCANTransmitProtocol::CvexPlcCANTransmitProtocol(int variant)
{
    setSendType(variant == 0 ? 15 : 16);
    setReceiveType(variant == 0 ? 1015 : 1016);
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
