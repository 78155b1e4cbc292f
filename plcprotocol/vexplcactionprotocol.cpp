// SPDX-License-Identifier: MIT
#include "vexplcactionprotocol.h"

#include "vexdiagnostic.h"
#include "vexplcbytes_p.h"
#include "vexplcpackettype.h"
#include "vexplcprotocol_p.h"

namespace Orrery {

namespace {
constexpr int ActionWordSize = 4;
constexpr std::uint32_t ActionFailedBit = 0x80000000u;
} // namespace

CvexPlcActionProtocol::CvexPlcActionProtocol()
{
    setSendType(PlcPacket::Action.sendCode);
    setReceiveType(PlcPacket::Action.receiveCode);
}

CvexPlcActionProtocol::~CvexPlcActionProtocol() = default;

int CvexPlcActionProtocol::composeProtocol(CvexByteArray& out, const CvexByteArray& in, void*)
{
    // Held across the report as well, so that the lines keep the order of the packets.
    const PlcLock guard(d_func()->mutex);
    const int size = composeRecordRequest(out, in, ActionWordSize);
    if (size >= 0)
        CvexDiagnostic() << "PLC Action: " << size;
    return size;
}

int CvexPlcActionProtocol::parseProtocol(const CvexByteArray& in)
{
    const PlcLock guard(d_func()->mutex);
    if (d_func()->replyRecordCount(in, ActionWordSize) < 0)
        return -1;
    int failed = 0;
    for (const std::uint32_t state : replyStates(in)) {
        CvexDiagnostic() << "state: " << state;
        if (state & ActionFailedBit)
            ++failed;
    }
    return failed;
}

std::vector<std::uint32_t> CvexPlcActionProtocol::replyStates(const CvexByteArray& in)
{
    CvexAbstractPlcCommonProtocolPrivate* d = d_func();
    const PlcLock guard(d->mutex);
    const int count = d->replyRecordCount(in, ActionWordSize);
    const int first = d->receiveHead.fixedSize();
    std::vector<std::uint32_t> states;
    for (int i = 0; i < count; ++i)
        states.push_back(PlcBytes::getU32(in, first + i * ActionWordSize));
    return states;
}

} // namespace Orrery
