// SPDX-License-Identifier: MIT
#ifndef VEXPLCACTIONPROTOCOL_H
#define VEXPLCACTIONPROTOCOL_H

#include "vexglobal.h"
#include "vexplcprotocol.h"

#include <cstdint>
#include <vector>

namespace Orrery {

// Action codes to the PLC and the reported state of each action. Owned by the protocol factory;
// every compose and parse takes the object's lock, so any thread may call it.
class VEX_PLCCOMMON_EXPORT CvexPlcActionProtocol : public CvexAbstractPlcCommonProtocol {
public:
    CvexPlcActionProtocol();
    ~CvexPlcActionProtocol() override;

    int composeProtocol(CvexByteArray& out, const CvexByteArray& in, void* arg) override;
    int parseProtocol(const CvexByteArray& in) override;
    // The state of each action a reply reports, in the order the actions were sent; empty for a
    // refused reply.
    std::vector<std::uint32_t> replyStates(const CvexByteArray& in);
};

} // namespace Orrery

#endif // VEXPLCACTIONPROTOCOL_H
