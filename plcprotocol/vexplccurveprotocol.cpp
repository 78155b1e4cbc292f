// SPDX-License-Identifier: MIT
#include "vexplccurveprotocol.h"

#include "vexplcbytes_p.h"
#include "vexplcpackettype.h"
#include "vexplcprotocol_p.h"

#include <algorithm>

namespace Orrery {

namespace {
constexpr int MaxCurveItems = 4;
constexpr int CurveItemSize = 4;
} // namespace

CvexPlcCurveProtocol::CvexPlcCurveProtocol()
{
    setSendType(PlcPacket::Curve.sendCode);
    setReceiveType(PlcPacket::Curve.receiveCode);
}

CvexPlcCurveProtocol::~CvexPlcCurveProtocol() = default;

int CvexPlcCurveProtocol::composeProtocol(CvexByteArray& out, const CvexByteArray&, void* arg)
{
    CvexAbstractPlcCommonProtocolPrivate* d = d_func();
    const PlcLock guard(d->mutex);
    if (arg == nullptr)
        return -1;
    const auto* request = static_cast<const unsigned char*>(arg);
    const int count = std::min<int>(PlcBytes::loadU16(request + 2), MaxCurveItems);

    d->stampPacketNumber();
    d->writeField16(d->sendHead, d->argumentPos, PlcBytes::loadU16(request));
    d->writeField16(d->sendHead, d->countPos, static_cast<std::uint16_t>(count));
    const CvexByteArray items(reinterpret_cast<const char*>(request + 4), count * CurveItemSize);
    return d->finishPacket(out, items);
}

// Curve replies are accepted and dropped: nothing in the system consumes them.
int CvexPlcCurveProtocol::parseProtocol(const CvexByteArray&)
{
    return -1;
}

} // namespace Orrery
