// SPDX-License-Identifier: MIT
#ifndef VEXPLCMOLDSETPROTOCOL_H
#define VEXPLCMOLDSETPROTOCOL_H

#include "vexglobal.h"
#include "vexplcprotocol.h"

namespace Orrery {

// One pack of a mold block (arg: CvexParseMoldBlock*, whose pack size the compose sets to the
// number of IDs sent) and the PLC's count of accepted records. Owned by the protocol factory;
// every compose and parse takes the object's lock, so any thread may call it.
class VEX_PLCCOMMON_EXPORT CvexPlcMoldSetProtocol : public CvexAbstractPlcCommonProtocol {
public:
    CvexPlcMoldSetProtocol();
    ~CvexPlcMoldSetProtocol() override;

    int composeProtocol(CvexByteArray& out, const CvexByteArray& in, void* arg) override;
    int parseProtocol(const CvexByteArray& in) override;
};

} // namespace Orrery

#endif // VEXPLCMOLDSETPROTOCOL_H
