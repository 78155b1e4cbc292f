// SPDX-License-Identifier: MIT
#ifndef VEXPLCLINESTATUSPROTOCOL_H
#define VEXPLCLINESTATUSPROTOCOL_H

#include "vexglobal.h"
#include "vexplcprotocol.h"

namespace Orrery {

// Line status poll (arg: CvexParseLineStatus*) and the PLC's status code. Owned by the protocol
// factory; every compose and parse takes the object's lock, so any thread may call it.
class VEX_PLCCOMMON_EXPORT CvexPlcLineStatusProtocol : public CvexAbstractPlcCommonProtocol {
public:
    CvexPlcLineStatusProtocol();
    ~CvexPlcLineStatusProtocol() override;

    int composeProtocol(CvexByteArray& out, const CvexByteArray& in, void* arg) override;
    int parseProtocol(const CvexByteArray& in) override;
};

} // namespace Orrery

#endif // VEXPLCLINESTATUSPROTOCOL_H
