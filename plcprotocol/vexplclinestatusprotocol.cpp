// SPDX-License-Identifier: MIT
#include "vexplclinestatusprotocol.h"

#include "vexparseplccommon.h"
#include "vexplcbytes_p.h"
#include "vexplcpackettype.h"
#include "vexplcprotocol_p.h"

namespace Orrery {

namespace {
constexpr int LineStatusReplySize = 20;
constexpr int StatusOffset = 12;
// What a reply that cannot be read reports: the PLC's own code for a version mismatch.
constexpr int UnreadableStatus = 65535;
} // namespace

CvexPlcLineStatusProtocol::CvexPlcLineStatusProtocol()
{
    setSendType(PlcPacket::LineStatus.sendCode);
    setReceiveType(PlcPacket::LineStatus.receiveCode);
}

CvexPlcLineStatusProtocol::~CvexPlcLineStatusProtocol() = default;

int CvexPlcLineStatusProtocol::composeProtocol(CvexByteArray& out, const CvexByteArray&, void* arg)
{
    CvexAbstractPlcCommonProtocolPrivate* d = d_func();
    const PlcLock guard(d->mutex);
    const auto* lineStatus = static_cast<const CvexParseLineStatus*>(arg);
    if (lineStatus == nullptr || !lineStatus->isValid())
        return 0;
    d->stampPacketNumber();
    d->writeField16(d->sendHead, d->versionPos, static_cast<std::uint16_t>(lineStatus->version()));
    d->writeField16(d->sendHead, d->countPos, 1);
    CvexByteArray payload;
    PlcBytes::putU32(payload, lineStatus->cycleTime());
    PlcBytes::putU16(payload, static_cast<std::uint16_t>(lineStatus->priv()));
    return d->finishPacket(out, payload);
}

int CvexPlcLineStatusProtocol::parseProtocol(const CvexByteArray& in)
{
    const PlcLock guard(d_func()->mutex);
    if (!CvexAbstractPlcProtocolPrivate::hasReplyMark(in, LineStatusReplySize))
        return UnreadableStatus;
    return static_cast<int>(PlcBytes::getU32(in, StatusOffset));
}

} // namespace Orrery
