// SPDX-License-Identifier: MIT
#ifndef VEXPLCALARMPROTOCOL_H
#define VEXPLCALARMPROTOCOL_H

#include "vexglobal.h"
#include "vexplcprotocol.h"

namespace Orrery {

// Alarm packets of the PLC (entered in the error log) and the host's alarm answers. Owned by the
// protocol factory; every compose and parse takes the object's lock, so any thread may call it.
class VEX_PLCCOMMON_EXPORT CvexPlcAlarmProtocol : public CvexAbstractPlcCommonProtocol {
public:
    CvexPlcAlarmProtocol();
    ~CvexPlcAlarmProtocol() override;

    int composeProtocol(CvexByteArray& out, const CvexByteArray& in, void* arg) override;
    int parseProtocol(const CvexByteArray& in) override;
    // The alarm byte of the first record of an alarm packet, which the answer returns to the
    // PLC; -1 when the datagram ends before it.
    int alarmByte(const CvexByteArray& in);
};

} // namespace Orrery

#endif // VEXPLCALARMPROTOCOL_H
