// SPDX-License-Identifier: MIT
#ifndef VEXPLCMOLDSETSTATUSPROTOCOL_H
#define VEXPLCMOLDSETSTATUSPROTOCOL_H

#include "vexglobal.h"
#include "vexplcprotocol.h"

namespace Orrery {

// Mold set status request (in: the expected count as decimal text) and the count the PLC holds.
// Owned by the protocol factory; every compose and parse takes the object's lock, so any thread
// may call it.
class VEX_PLCCOMMON_EXPORT CvexPlcMoldSetStatusProtocol : public CvexAbstractPlcCommonProtocol {
public:
    CvexPlcMoldSetStatusProtocol();
    ~CvexPlcMoldSetStatusProtocol() override;

    int composeProtocol(CvexByteArray& out, const CvexByteArray& in, void* arg) override;
    int parseProtocol(const CvexByteArray& in) override;
};

} // namespace Orrery

#endif // VEXPLCMOLDSETSTATUSPROTOCOL_H
