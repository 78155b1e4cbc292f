// SPDX-License-Identifier: MIT
//
// Not part of the public API: the private data of protocol classes, for the libraries that
// derive protocols of their own.
#ifndef VEXABSTRACTPROTOCOL_P_H
#define VEXABSTRACTPROTOCOL_P_H

#include "vexabstractpartprotocol.h"
#include "vexglobal.h"

namespace Orrery {

class VEX_PROTOCOL_EXPORT CvexAbstractProtocolPrivate {
public:
    CvexAbstractProtocolPrivate();
    virtual ~CvexAbstractProtocolPrivate();

    CvexAbstractPartProtocol sendHead{1};
    CvexAbstractPartProtocol sendTail{1};
    CvexAbstractPartProtocol receiveHead{1};
    CvexAbstractPartProtocol receiveTail{1};
};

} // namespace Orrery

#endif // VEXABSTRACTPROTOCOL_P_H
