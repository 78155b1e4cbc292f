// SPDX-License-Identifier: MIT
#include "vexplcwriteparamprotocol.h"

#include "vexplcpackettype.h"
#include "vexplcprotocol_p.h"

namespace Orrery {

CvexPlcWriteParamProtocol::CvexPlcWriteParamProtocol()
{
    setSendType(PlcPacket::WriteParam.sendCode);
    setReceiveType(PlcPacket::WriteParam.receiveCode);
}

CvexPlcWriteParamProtocol::~CvexPlcWriteParamProtocol() = default;

int CvexPlcWriteParamProtocol::composeProtocol(CvexByteArray& out, const CvexByteArray& in, void*)
{
    return composeRecordRequest(out, in, PlcRecords::RecordSize);
}

int CvexPlcWriteParamProtocol::parseProtocol(const CvexByteArray& in)
{
    return parsePayloadReply(in);
}

// The PLC echoes the records it was sent; only their states say how many it accepted.
int CvexPlcWriteParamProtocol::writeToDataBase(const CvexByteArray& payload)
{
    const PlcLock guard(d_func()->mutex);
    return PlcRecords::countValidRecords(payload);
}

} // namespace Orrery
