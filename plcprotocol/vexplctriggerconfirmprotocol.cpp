// SPDX-License-Identifier: MIT
#include "vexplctriggerconfirmprotocol.h"

#include "vexcontroldatafactory.h"
#include "vexdbstoragefactory.h"
#include "vexdiagnostic.h"
#include "vexplcbytes_p.h"
#include "vexplcpackettype.h"
#include "vexplcprotocol_p.h"

#include <algorithm>
#include <vector>

namespace Orrery {

namespace {
constexpr int ReplyMinimumSize = 16;
constexpr int GroupOffset = 8;
constexpr int CurveStateOffset = 10;
constexpr int ItemCountOffset = 14;
constexpr int ItemsOffset = 16;
constexpr int DataItemSize = 8;
constexpr int SampleSize = 4;
constexpr int SamplesPerRecord = 4;

constexpr int FirstCurveGroup = 100;
constexpr int MonitoringGroup = 2;
constexpr unsigned int CurveClosedState = 3;
constexpr int MonitoringControlType = 1;
constexpr int CurveControlType = 2;

// Decodes a data item's value by the storage's own value type numbering ("ValueT").
CvexVariant decodeByValueType(unsigned int valueType, const unsigned char* value)
{
    switch (valueType) {
    case 1:
    case 5:
        return CvexVariant(static_cast<int>(static_cast<std::int8_t>(value[0])));
    case 2:
    case 6:
        return CvexVariant(static_cast<int>(static_cast<std::int16_t>(PlcBytes::loadU16(value))));
    case 3:
    case 7:
    case 14:
        return CvexVariant(static_cast<int>(static_cast<std::int32_t>(PlcBytes::loadU32(value))));
    case 4:
    case 13:
        return CvexVariant(static_cast<unsigned int>(PlcBytes::loadU32(value)));
    case 8:
    case 9:
        return CvexVariant(static_cast<double>(PlcBytes::loadFloat(value)));
    default:
        return CvexVariant();
    }
}
} // namespace

CvexPlcTriggerConfirmProtocol::CvexPlcTriggerConfirmProtocol()
{
    setSendType(PlcPacket::TriggerConfirm.sendCode);
    setReceiveType(PlcPacket::TriggerConfirm.receiveCode);
}

CvexPlcTriggerConfirmProtocol::~CvexPlcTriggerConfirmProtocol() = default;

int CvexPlcTriggerConfirmProtocol::composeProtocol(CvexByteArray& out, const CvexByteArray& in,
                                                   void*)
{
    CvexAbstractPlcProtocolPrivate* d = d_func();
    const PlcLock guard(d->mutex);
    if (in.isEmpty())
        return 0;
    bool ok = false;
    const unsigned int group = in.toUInt(&ok, 10);
    if (!ok) {
        CvexDiagnostic() << "CvexPlcTriggerConfirmProtocol::composeProtocol: Group ID Illegal";
        return 0;
    }
    d->stampPacketNumber();
    CvexByteArray payload;
    PlcBytes::putU16(payload, static_cast<std::uint16_t>(group & 0xFFFFu));
    return d->finishPacket(out, payload);
}

int CvexPlcTriggerConfirmProtocol::parseProtocol(const CvexByteArray& in)
{
    const PlcLock guard(d_func()->mutex);
    if (!CvexAbstractPlcProtocolPrivate::hasReplyMark(in, ReplyMinimumSize))
        return -1;
    const int group = PlcBytes::getU16(in, GroupOffset);
    const int claimed = PlcBytes::getU16(in, ItemCountOffset);

    if (group >= FirstCurveGroup) {
        if (claimed == 0)
            return group;
        const int count = PlcBytes::wholeRecords(ItemsOffset, in.size(), SampleSize, claimed);
        const int records = curveRecords(in);
        std::vector<unsigned char> samples(static_cast<std::size_t>(records) * SamplesPerRecord *
                                           SampleSize);
        const std::size_t inside =
            std::min(samples.size(), static_cast<std::size_t>(in.size() - ItemsOffset));
        std::copy_n(PlcBytes::bytesOf(in, ItemsOffset), inside, samples.begin());
        setCurveData(static_cast<unsigned int>(group - FirstCurveGroup), samples.data(), count,
                     PlcBytes::getU16(in, CurveStateOffset));
        return group;
    }

    const int items = PlcBytes::wholeRecords(ItemsOffset, in.size(), DataItemSize, claimed);
    writeToDataBase(in.mid(ItemsOffset, items * DataItemSize));
    if (group == MonitoringGroup) {
        if (CvexAbstractControlData* monitoring =
                CvexControlDataFactory::instance()->get(MonitoringControlType))
            monitoring->addMoniLog();
    }
    return group;
}

int CvexPlcTriggerConfirmProtocol::writeToDataBase(const CvexByteArray& items)
{
    const PlcLock guard(d_func()->mutex);
    const int count = items.size() / DataItemSize;
    for (int i = 0; i < count; ++i) {
        const unsigned char* item = PlcBytes::bytesOf(items, i * DataItemSize);
        const std::uint32_t id = PlcBytes::loadU32(item);
        CvexAbstractDataStorage* storage = CvexDBStorageFactory::instance()->get(2);
        if (storage == nullptr)
            continue;
        const CvexVariant valueType = storage->itemProperty(id, "ValueT", 0);
        if (valueType.isNull())
            continue;
        const CvexVariant value = decodeByValueType(valueType.toUInt(), item + 4);
        if (!value.isNull())
            storage->setValue(id, value, 1);
    }
    return 0;
}

void CvexPlcTriggerConfirmProtocol::setCurveData(unsigned int curve, const void* samples, int count,
                                                 unsigned int state)
{
    if (count <= 0 || samples == nullptr)
        return;
    const auto* sample = static_cast<const unsigned char*>(samples);
    const int records = (count + SamplesPerRecord - 1) / SamplesPerRecord;
    for (int r = 0; r < records; ++r) {
        tagCurveData record{};
        for (int k = 0; k < SamplesPerRecord; ++k)
            record.samples[k] =
                PlcBytes::loadFloat(sample + (r * SamplesPerRecord + k) * SampleSize);
        if (CvexAbstractControlData* curves =
                CvexControlDataFactory::instance()->get(CurveControlType))
            curves->addCurveLog(curve, record);
    }
    if (state != CurveClosedState)
        return;
    if (CvexAbstractControlData* curves = CvexControlDataFactory::instance()->get(CurveControlType))
        curves->saveCurveLog(curve);
}

int CvexPlcTriggerConfirmProtocol::curveOf(const CvexByteArray& in)
{
    if (!CvexAbstractPlcProtocolPrivate::hasReplyMark(in, ReplyMinimumSize))
        return -1;
    const int group = PlcBytes::getU16(in, GroupOffset);
    return group >= FirstCurveGroup ? group - FirstCurveGroup : -1;
}

int CvexPlcTriggerConfirmProtocol::curveRecords(const CvexByteArray& in)
{
    if (curveOf(in) < 0)
        return 0;
    const int count = PlcBytes::wholeRecords(ItemsOffset, in.size(), SampleSize,
                                             PlcBytes::getU16(in, ItemCountOffset));
    // The last group of four may reach past the datagram; its missing samples stay zero.
    return (count + SamplesPerRecord - 1) / SamplesPerRecord;
}

bool CvexPlcTriggerConfirmProtocol::closesCurve(const CvexByteArray& in)
{
    // A reply without samples adds nothing and closes nothing.
    return curveRecords(in) > 0 && PlcBytes::getU16(in, CurveStateOffset) == CurveClosedState;
}

// Temperature PID tuning travels by other means; the operation is kept for hosts that call it.
void CvexPlcTriggerConfirmProtocol::setTemperPID() {}

} // namespace Orrery
