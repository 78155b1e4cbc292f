// SPDX-License-Identifier: MIT
#include "vexplcalarmprotocol.h"

#include "vexcontroldatafactory.h"
#include "vexplcbytes_p.h"
#include "vexplcpackettype.h"
#include "vexplcprotocol_p.h"

namespace Orrery {

namespace {
constexpr int AlarmRecordSize = 6;
constexpr int AlarmControlType = 0;
// The error log's category for alarms reported by the PLC.
constexpr unsigned short PlcAlarmCategory = 1;
} // namespace

CvexPlcAlarmProtocol::CvexPlcAlarmProtocol()
{
    setSendType(PlcPacket::Alarm.sendCode);
    setReceiveType(PlcPacket::Alarm.receiveCode);
}

CvexPlcAlarmProtocol::~CvexPlcAlarmProtocol() = default;

int CvexPlcAlarmProtocol::composeProtocol(CvexByteArray& out, const CvexByteArray& in, void*)
{
    CvexAbstractPlcCommonProtocolPrivate* d = d_func();
    const PlcLock guard(d->mutex);
    if (in.isEmpty())
        return -1;
    // The PLC matches the answer by the number it finds in the argument word.
    const std::uint16_t number = d->stampPacketNumber();
    d->writeField16(d->sendHead, d->argumentPos, number);
    d->writeField16(d->sendHead, d->countPos, 1);
    return d->finishPacket(out, in);
}

int CvexPlcAlarmProtocol::parseProtocol(const CvexByteArray& in)
{
    CvexAbstractPlcCommonProtocolPrivate* d = d_func();
    const PlcLock guard(d->mutex);
    const int records = d->replyRecordCount(in, AlarmRecordSize);
    if (records <= 0)
        return -1;
    const int headSize = d->receiveHead.fixedSize();
    for (int i = 0; i < records; ++i) {
        const int record = headSize + i * AlarmRecordSize;
        if (CvexAbstractControlData* alarms =
                CvexControlDataFactory::instance()->get(AlarmControlType))
            alarms->addErrorLog(PlcBytes::getU32(in, record + 2), PlcAlarmCategory,
                                PlcBytes::getU8(in, record));
    }
    return static_cast<int>(PlcBytes::getU32(in, headSize + 2));
}

int CvexPlcAlarmProtocol::alarmByte(const CvexByteArray& in)
{
    CvexAbstractPlcCommonProtocolPrivate* d = d_func();
    const PlcLock guard(d->mutex);
    const int first = d->receiveHead.fixedSize();
    return PlcBytes::holds(in, first, 1) ? PlcBytes::getU8(in, first) : -1;
}

} // namespace Orrery
