// SPDX-License-Identifier: MIT
#ifndef VEXPLCCANTRANSMITPROTOCOL_H
#define VEXPLCCANTRANSMITPROTOCOL_H

#include "vexglobal.h"
#include "vexplcprotocol.h"

namespace Orrery {

// CAN transmission: holds its type codes (15/1015 for variant 0, else 16/1016) and composes and
// parses nothing. Owned by the protocol factory; any thread may call it.
class VEX_PLCCOMMON_EXPORT CvexPlcCANTransmitProtocol : public CvexAbstractPlcCommonProtocol {
public:
    explicit CvexPlcCANTransmitProtocol(int variant = 0);
    ~CvexPlcCANTransmitProtocol() override;

    int composeProtocol(CvexByteArray& out, const CvexByteArray& in, void* arg) override;
    int parseProtocol(const CvexByteArray& in) override;
};

} // namespace Orrery

#endif // VEXPLCCANTRANSMITPROTOCOL_H
