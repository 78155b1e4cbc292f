// SPDX-License-Identifier: MIT
#ifndef VEXPLCACTUALPROTOCOL_H
#define VEXPLCACTUALPROTOCOL_H

#include "vexglobal.h"
#include "vexplcprotocol.h"

namespace Orrery {

// Actual-value subscription (arg: CvexParseActual*) and replies, stored by data ID. Owned by the
// protocol factory; every compose and parse takes the object's lock, so any thread may call it.
class VEX_PLCCOMMON_EXPORT CvexPlcActualProtocol : public CvexAbstractPlcCommonProtocol {
public:
    CvexPlcActualProtocol();
    ~CvexPlcActualProtocol() override;

    int composeProtocol(CvexByteArray& out, const CvexByteArray& in, void* arg) override;
    int parseProtocol(const CvexByteArray& in) override;
    int writeToDataBase(const CvexByteArray& payload) override;
};

} // namespace Orrery

#endif // VEXPLCACTUALPROTOCOL_H
