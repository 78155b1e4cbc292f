// SPDX-License-Identifier: MIT
#include "vexplcmoldsetstatusprotocol.h"

#include "vexdiagnostic.h"
#include "vexplcbytes_p.h"
#include "vexplcpackettype.h"
#include "vexplcprotocol_p.h"

namespace Orrery {

namespace {
constexpr int StatusReplySize = 18;
constexpr int HeldCountOffset = 12;
} // namespace

CvexPlcMoldSetStatusProtocol::CvexPlcMoldSetStatusProtocol()
{
    setSendType(PlcPacket::MoldSetStatus.sendCode);
    setReceiveType(PlcPacket::MoldSetStatus.receiveCode);
}

CvexPlcMoldSetStatusProtocol::~CvexPlcMoldSetStatusProtocol() = default;

int CvexPlcMoldSetStatusProtocol::composeProtocol(CvexByteArray& out, const CvexByteArray& in,
                                                  void*)
{
    CvexAbstractPlcCommonProtocolPrivate* d = d_func();
    const PlcLock guard(d->mutex);
    if (in.isEmpty())
        return -1;
    bool ok = false;
    const int moldCount = in.toInt(&ok, 10);
    if (!ok) {
        CvexDiagnostic()
            << "CvexPlcMoldSetStatusProtocol::composeProtocol mold count convert error";
        return -1;
    }
    d->stampPacketNumber();
    d->writeField16(d->sendHead, d->countPos, 1);
    CvexByteArray payload;
    PlcBytes::putU32(payload, static_cast<std::uint32_t>(moldCount));
    return d->finishPacket(out, payload);
}

int CvexPlcMoldSetStatusProtocol::parseProtocol(const CvexByteArray& in)
{
    const PlcLock guard(d_func()->mutex);
    if (in.size() != StatusReplySize)
        return -1;
    return static_cast<int>(PlcBytes::getU32(in, HeldCountOffset));
}

} // namespace Orrery
