// SPDX-License-Identifier: MIT
#ifndef VEXPLCACTIONPROTOCOL_H
#define VEXPLCACTIONPROTOCOL_H

#include "vexglobal.h"
#include "vexplcprotocol.h"

namespace Orrery {

// Action codes to the PLC and the reported state of each action. Owned by the protocol factory;
// every compose and parse takes the object's lock, so any thread may call it.
class VEX_PLCCOMMON_EXPORT CvexPlcActionProtocol : public CvexAbstractPlcCommonProtocol {
public:
    CvexPlcActionProtocol();
    ~CvexPlcActionProtocol() override;

    int composeProtocol(CvexByteArray& out, const CvexByteArray& in, void* arg) override;
    int parseProtocol(const CvexByteArray& in) override;
};

} // namespace Orrery

#endif // VEXPLCACTIONPROTOCOL_H
