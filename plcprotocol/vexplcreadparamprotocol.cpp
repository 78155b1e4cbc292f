// SPDX-License-Identifier: MIT
#include "vexplcreadparamprotocol.h"

#include "vexplcprotocol_p.h"

namespace Orrery {

CvexPlcReadParamProtocol::CvexPlcReadParamProtocol()
{
    setSendType(2);
    setReceiveType(1002);
}

CvexPlcReadParamProtocol::~CvexPlcReadParamProtocol() = default;

int CvexPlcReadParamProtocol::composeProtocol(CvexByteArray& out, const CvexByteArray& in, void*)
{
    CvexAbstractPlcCommonProtocolPrivate* d = d_func();
    const PlcLock guard(d->mutex);
    if (in.isEmpty())
        return -1;
    const int count = in.size() / 4;
    d->stampPacketNumber();
    d->writeField16(d->sendHead, d->countPos, static_cast<std::uint16_t>(count));
    return d->finishPacket(out, in.left(count * 4));
}

int CvexPlcReadParamProtocol::parseProtocol(const CvexByteArray& in)
{
    CvexAbstractPlcCommonProtocolPrivate* d = d_func();
    const PlcLock guard(d->mutex);
    CvexByteArray payload;
    if (!d->takeReplyPayload(in, payload))
        return -1;
    return writeToDataBase(payload);
}

int CvexPlcReadParamProtocol::writeToDataBase(const CvexByteArray& payload)
{
    const PlcLock guard(d_func()->mutex);
    return PlcRecords::storeValueRecords(payload);
}

} // namespace Orrery
