// SPDX-License-Identifier: MIT
#ifndef VEXPLCTRIGGERCONFIRMPROTOCOL_H
#define VEXPLCTRIGGERCONFIRMPROTOCOL_H

#include "vexglobal.h"
#include "vexplcprotocol.h"

namespace Orrery {

// Triggered data of the PLC (data groups stored by data ID, curves logged) and the host's
// confirmation (in: the group as decimal text). Owned by the protocol factory;
// every compose and parse takes the object's lock, so any thread may call it.
class VEX_PLCCOMMON_EXPORT CvexPlcTriggerConfirmProtocol : public CvexAbstractPlcTriggerProtocol {
public:
    CvexPlcTriggerConfirmProtocol();
    ~CvexPlcTriggerConfirmProtocol() override;

    int composeProtocol(CvexByteArray& out, const CvexByteArray& in, void* arg) override;
    int parseProtocol(const CvexByteArray& in) override;
    int writeToDataBase(const CvexByteArray& payload) override;

    // Adds the samples (`count` floats, read in whole groups of four) to the curve log of
    // `curve` and closes the curve when `state` is 3. Uses no data of the object.
    void setCurveData(unsigned int curve, const void* samples, int count, unsigned int state);
    void setTemperPID();

    // For observers of the received data, without parsing it: the curve a reply carries (-1 for
    // a data group or a reply without the start mark), the records it adds to that curve, and
    // whether it closes the curve.
    static int curveOf(const CvexByteArray& in);
    static int curveRecords(const CvexByteArray& in);
    static bool closesCurve(const CvexByteArray& in);
};

} // namespace Orrery

#endif // VEXPLCTRIGGERCONFIRMPROTOCOL_H
