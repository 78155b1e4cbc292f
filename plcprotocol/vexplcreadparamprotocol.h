// SPDX-License-Identifier: MIT
#ifndef VEXPLCREADPARAMPROTOCOL_H
#define VEXPLCREADPARAMPROTOCOL_H

#include "vexglobal.h"
#include "vexplcprotocol.h"

namespace Orrery {

// Parameter upload: request of data IDs, reply of value records stored by data ID. Owned by the
// protocol factory; every compose and parse takes the object's lock, so any thread may call it.
class VEX_PLCCOMMON_EXPORT CvexPlcReadParamProtocol : public CvexAbstractPlcCommonProtocol {
public:
    CvexPlcReadParamProtocol();
    ~CvexPlcReadParamProtocol() override;

    int composeProtocol(CvexByteArray& out, const CvexByteArray& in, void* arg) override;
    int parseProtocol(const CvexByteArray& in) override;
    int writeToDataBase(const CvexByteArray& payload) override;
};

} // namespace Orrery

#endif // VEXPLCREADPARAMPROTOCOL_H
