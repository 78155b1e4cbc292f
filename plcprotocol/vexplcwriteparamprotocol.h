// SPDX-License-Identifier: MIT
#ifndef VEXPLCWRITEPARAMPROTOCOL_H
#define VEXPLCWRITEPARAMPROTOCOL_H

#include "vexglobal.h"
#include "vexplcprotocol.h"

namespace Orrery {

// Parameter download: request of value records, reply counting the accepted ones. Owned by the
// protocol factory; every compose and parse takes the object's lock, so any thread may call it.
class VEX_PLCCOMMON_EXPORT CvexPlcWriteParamProtocol : public CvexAbstractPlcCommonProtocol {
public:
    CvexPlcWriteParamProtocol();
    ~CvexPlcWriteParamProtocol() override;

    int composeProtocol(CvexByteArray& out, const CvexByteArray& in, void* arg) override;
    int parseProtocol(const CvexByteArray& in) override;
    int writeToDataBase(const CvexByteArray& payload) override;
};

} // namespace Orrery

#endif // VEXPLCWRITEPARAMPROTOCOL_H
