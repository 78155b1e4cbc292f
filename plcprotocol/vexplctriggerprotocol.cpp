// SPDX-License-Identifier: MIT
#include "vexplctriggerprotocol.h"

#include "vexdiagnostic.h"
#include "vexparseplccommon.h"
#include "vexplcbytes_p.h"
#include "vexplcpackettype.h"
#include "vexplcprotocol_p.h"

#include <array>
#include <vector>

namespace Orrery {

namespace {
constexpr int SettingsSize = 8;   // group ID, out time, delay time, send count
constexpr int IDListHeadSize = 4; // data ID flag and data ID count
constexpr int ReplyMinimumSize = 16;
constexpr int FailedEntrySize = 6; // data ID and error code
constexpr int FailedEntriesOffset = 14;

constexpr std::uint16_t MemoryOverflow = 0xFFFF;
constexpr std::uint16_t ConfigureError = 0xFFDF;
constexpr std::uint16_t DataRequestError = 0xFFDE;

const char* statusText(std::uint16_t status)
{
    switch (status) {
    case MemoryOverflow:
        return " plc trigger memory overflow";
    case ConfigureError:
        return " plc trigger configure error";
    case DataRequestError:
        return " plc trigger data request error";
    default:
        return nullptr;
    }
}

std::uint16_t low16(unsigned long long value)
{
    return static_cast<std::uint16_t>(value & 0xFFFFu);
}
} // namespace

CvexPlcTriggerProtocol::CvexPlcTriggerProtocol()
{
    setSendType(PlcPacket::Trigger.sendCode);
    setReceiveType(PlcPacket::Trigger.receiveCode);
}

CvexPlcTriggerProtocol::~CvexPlcTriggerProtocol() = default;

long long CvexPlcTriggerProtocol::triggerFeatureSize(const CvexParseTriggerFeature& feature)
{
    long long size = 2;
    for (const CvexParseTriggerParamSet& set : feature.triggerParams()) {
        size += 2;
        for (const CvexParseTriggerCondition& condition : set.conditions())
            size += 4 + 4LL * static_cast<long long>(condition.params().array().size());
    }
    return size;
}

long long CvexPlcTriggerProtocol::definitionSize(const CvexParseTrigger& trigger)
{
    return SettingsSize + triggerFeatureSize(trigger.startTrigger()) +
           triggerFeatureSize(trigger.sendTrigger()) + triggerFeatureSize(trigger.stopTrigger()) +
           IDListHeadSize + 4LL * static_cast<long long>(trigger.dataIDSet().array().size());
}

int CvexPlcTriggerProtocol::composeTriggerFeature(void* buffer, CvexParseTriggerFeature* feature,
                                                  int capacity)
{
    if (buffer == nullptr || feature == nullptr)
        return 0;
    const long long size = triggerFeatureSize(*feature);
    if (size > capacity)
        return 0;
    auto* at = static_cast<unsigned char*>(buffer);
    const std::vector<CvexParseTriggerParamSet> sets = feature->triggerParams();
    PlcBytes::storeU16(at, low16(sets.size()));
    at += 2;
    for (const CvexParseTriggerParamSet& set : sets) {
        const std::vector<CvexParseTriggerCondition> conditions = set.conditions();
        PlcBytes::storeU16(at, low16(conditions.size()));
        at += 2;
        for (const CvexParseTriggerCondition& condition : conditions) {
            const std::vector<int> params = condition.params().array();
            PlcBytes::storeU16(at, low16(condition.type()));
            PlcBytes::storeU16(at + 2, low16(params.size()));
            at += 4;
            for (int word : params) {
                PlcBytes::storeU32(at, static_cast<std::uint32_t>(word));
                at += 4;
            }
        }
    }
    return static_cast<int>(size);
}

int CvexPlcTriggerProtocol::composeProtocol(CvexByteArray& out, const CvexByteArray&, void* arg)
{
    CvexAbstractPlcProtocolPrivate* d = d_func();
    const PlcLock guard(d->mutex);
    const auto* trigger = static_cast<const CvexParseTrigger*>(arg);
    if (trigger == nullptr || !trigger->isValid())
        return 0;
    std::array<CvexParseTriggerFeature, 3> features = {
        trigger->startTrigger(), trigger->sendTrigger(), trigger->stopTrigger()};
    const std::vector<unsigned int> ids = trigger->dataIDSet().array();

    // Sized before anything is written, so that an oversized definition touches nothing.
    const long long size = definitionSize(*trigger);
    if (size > PayloadAreaSize) {
        CvexDiagnostic()
            << "CvexPlcTriggerProtocol::composeProtocol: trigger definition too large (" << size
            << " bytes)";
        return 0;
    }

    d->stampPacketNumber();
    std::array<unsigned char, PayloadAreaSize> area{};
    PlcBytes::storeU16(&area[0], low16(trigger->groupID()));
    PlcBytes::storeU16(&area[2], low16(trigger->outTime()));
    PlcBytes::storeU16(&area[4], low16(trigger->delayTime()));
    PlcBytes::storeU16(&area[6], low16(trigger->sendCount()));
    int pos = SettingsSize;
    for (CvexParseTriggerFeature& feature : features)
        pos += composeTriggerFeature(&area[pos], &feature, PayloadAreaSize - pos);
    PlcBytes::storeU16(&area[pos], low16(trigger->dataIDFlag()));
    PlcBytes::storeU16(&area[pos + 2], low16(ids.size()));
    pos += IDListHeadSize;
    for (unsigned int id : ids) {
        PlcBytes::storeU32(&area[pos], id);
        pos += 4;
    }
    return d->finishPacket(out, CvexByteArray(reinterpret_cast<const char*>(area.data()), pos));
}

int CvexPlcTriggerProtocol::parseProtocol(const CvexByteArray& in)
{
    const PlcLock guard(d_func()->mutex);
    if (!CvexAbstractPlcProtocolPrivate::hasReplyMark(in, ReplyMinimumSize))
        return -1;
    const std::uint16_t groupID = PlcBytes::getU16(in, 8);
    if (const char* text = statusText(PlcBytes::getU16(in, 10)))
        CvexDiagnostic() << "groupID: " << groupID << text;

    const int entries = PlcBytes::wholeRecords(FailedEntriesOffset, in.size(), FailedEntrySize,
                                               PlcBytes::getU16(in, 12));
    for (int i = 0; i < entries; ++i) {
        const int entry = FailedEntriesOffset + i * FailedEntrySize;
        CvexDiagnostic() << "Failed ID: " << std::hex << PlcBytes::getU32(in, entry) << std::dec
                         << " Error Code: " << PlcBytes::getU16(in, entry + 4);
    }
    return groupID;
}

} // namespace Orrery
