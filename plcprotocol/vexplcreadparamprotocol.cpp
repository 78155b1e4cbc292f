// SPDX-License-Identifier: MIT
#include "vexplcreadparamprotocol.h"

#include "vexplcpackettype.h"
#include "vexplcprotocol_p.h"

namespace Orrery {

namespace {
constexpr int DataIDSize = 4;
} // namespace

CvexPlcReadParamProtocol::CvexPlcReadParamProtocol()
{
    setSendType(PlcPacket::ReadParam.sendCode);
    setReceiveType(PlcPacket::ReadParam.receiveCode);
}

CvexPlcReadParamProtocol::~CvexPlcReadParamProtocol() = default;

int CvexPlcReadParamProtocol::composeProtocol(CvexByteArray& out, const CvexByteArray& in, void*)
{
    return composeRecordRequest(out, in, DataIDSize);
}

int CvexPlcReadParamProtocol::parseProtocol(const CvexByteArray& in)
{
    return parsePayloadReply(in);
}

int CvexPlcReadParamProtocol::writeToDataBase(const CvexByteArray& payload)
{
    const PlcLock guard(d_func()->mutex);
    return PlcRecords::storeValueRecords(payload);
}

} // namespace Orrery
