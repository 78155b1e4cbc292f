// SPDX-License-Identifier: MIT
#ifndef VEXPLCCURVEPROTOCOL_H
#define VEXPLCCURVEPROTOCOL_H

#include "vexglobal.h"
#include "vexplcprotocol.h"

namespace Orrery {

// Curve requests of up to four items (arg: first word, count, items); replies are discarded.
// Owned by the protocol factory; every compose and parse takes the object's lock, so any thread
// may call it.
class VEX_PLCCOMMON_EXPORT CvexPlcCurveProtocol : public CvexAbstractPlcCommonProtocol {
public:
    CvexPlcCurveProtocol();
    ~CvexPlcCurveProtocol() override;

    int composeProtocol(CvexByteArray& out, const CvexByteArray& in, void* arg) override;
    int parseProtocol(const CvexByteArray& in) override;
};

} // namespace Orrery

#endif // VEXPLCCURVEPROTOCOL_H
