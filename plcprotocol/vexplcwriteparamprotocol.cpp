// SPDX-License-Identifier: MIT
#include "vexplcwriteparamprotocol.h"

#include "vexplcprotocol_p.h"

namespace Orrery {

CvexPlcWriteParamProtocol::CvexPlcWriteParamProtocol()
{
    setSendType(3);
    setReceiveType(1003);
}

CvexPlcWriteParamProtocol::~CvexPlcWriteParamProtocol() = default;

int CvexPlcWriteParamProtocol::composeProtocol(CvexByteArray& out, const CvexByteArray& in, void*)
{
    CvexAbstractPlcCommonProtocolPrivate* d = d_func();
    const PlcLock guard(d->mutex);
    if (in.isEmpty())
        return -1;
    const int count = in.size() / PlcRecords::RecordSize;
    d->stampPacketNumber();
    d->writeField16(d->sendHead, d->countPos, static_cast<std::uint16_t>(count));
    return d->finishPacket(out, in.left(count * PlcRecords::RecordSize));
}

int CvexPlcWriteParamProtocol::parseProtocol(const CvexByteArray& in)
{
    CvexAbstractPlcCommonProtocolPrivate* d = d_func();
    const PlcLock guard(d->mutex);
    CvexByteArray payload;
    if (!d->takeReplyPayload(in, payload))
        return -1;
    return writeToDataBase(payload);
}

// The PLC echoes the records it was sent; only their states say how many it accepted.
int CvexPlcWriteParamProtocol::writeToDataBase(const CvexByteArray& payload)
{
    const PlcLock guard(d_func()->mutex);
    return PlcRecords::countValidRecords(payload);
}

} // namespace Orrery
