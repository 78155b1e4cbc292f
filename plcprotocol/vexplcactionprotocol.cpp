// SPDX-License-Identifier: MIT
#include "vexplcactionprotocol.h"

#include "vexdiagnostic.h"
#include "vexplcbytes_p.h"
#include "vexplcprotocol_p.h"

namespace Orrery {

namespace {
constexpr int ActionWordSize = 4;
constexpr std::uint32_t ActionFailedBit = 0x80000000u;
} // namespace

CvexPlcActionProtocol::CvexPlcActionProtocol()
{
    setSendType(6);
    setReceiveType(1006);
}

CvexPlcActionProtocol::~CvexPlcActionProtocol() = default;

int CvexPlcActionProtocol::composeProtocol(CvexByteArray& out, const CvexByteArray& in, void*)
{
    CvexAbstractPlcCommonProtocolPrivate* d = d_func();
    const PlcLock guard(d->mutex);
    if (in.isEmpty())
        return -1;
    const int count = in.size() / ActionWordSize;
    d->stampPacketNumber();
    d->writeField16(d->sendHead, d->countPos, static_cast<std::uint16_t>(count));
    const int size = d->finishPacket(out, in.left(count * ActionWordSize));
    CvexDiagnostic() << "PLC Action: " << size;
    return size;
}

int CvexPlcActionProtocol::parseProtocol(const CvexByteArray& in)
{
    CvexAbstractPlcCommonProtocolPrivate* d = d_func();
    const PlcLock guard(d->mutex);
    const int headSize = d->receiveHead.fixedSize();
    if (in.size() < d->minimumReplySize())
        return -1;
    const int claimed = PlcBytes::getU16(in, d->countPos);
    const int states = PlcBytes::wholeRecords(headSize, in.size() - d->receiveTail.fixedSize(),
                                              ActionWordSize, claimed);
    int failed = 0;
    for (int i = 0; i < states; ++i) {
        const std::uint32_t state = PlcBytes::getU32(in, headSize + i * ActionWordSize);
        CvexDiagnostic() << "state: " << state;
        if (state & ActionFailedBit)
            ++failed;
    }
    return failed;
}

} // namespace Orrery
