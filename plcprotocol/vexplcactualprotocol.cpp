// SPDX-License-Identifier: MIT
#include "vexplcactualprotocol.h"

#include "vexparseplccommon.h"
#include "vexplcbytes_p.h"
#include "vexplcpackettype.h"
#include "vexplcprotocol_p.h"

#include <algorithm>
#include <vector>

namespace Orrery {

namespace {
// The PLC reports at most this many values per reply, so no more are ever subscribed.
constexpr std::size_t MaxActualIDs = 50;
} // namespace

CvexPlcActualProtocol::CvexPlcActualProtocol()
{
    setSendType(PlcPacket::Actual.sendCode);
    setReceiveType(PlcPacket::Actual.receiveCode);
}

CvexPlcActualProtocol::~CvexPlcActualProtocol() = default;

int CvexPlcActualProtocol::composeProtocol(CvexByteArray& out, const CvexByteArray&, void* arg)
{
    CvexAbstractPlcCommonProtocolPrivate* d = d_func();
    const PlcLock guard(d->mutex);
    const auto* actual = static_cast<const CvexParseActual*>(arg);
    if (actual == nullptr || !actual->isValid())
        return 0;
    const CvexParseArray idSet = actual->dataIDSet();
    if (!idSet.isValid())
        return 0;
    const std::vector<unsigned int> ids = idSet.array();
    const std::size_t count = std::min(ids.size(), MaxActualIDs);

    d->stampPacketNumber();
    d->writeField16(d->sendHead, d->argumentPos, static_cast<std::uint16_t>(actual->cycleTime()));
    d->writeField16(d->sendHead, d->countPos, static_cast<std::uint16_t>(count));
    CvexByteArray payload;
    for (std::size_t i = 0; i < count; ++i)
        PlcBytes::putU32(payload, ids[i]);
    return d->finishPacket(out, payload);
}

int CvexPlcActualProtocol::parseProtocol(const CvexByteArray& in)
{
    return parsePayloadReply(in);
}

int CvexPlcActualProtocol::writeToDataBase(const CvexByteArray& payload)
{
    const PlcLock guard(d_func()->mutex);
    return PlcRecords::storeValueRecords(payload);
}

} // namespace Orrery
