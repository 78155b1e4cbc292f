// SPDX-License-Identifier: MIT
#include "plcreply.h"

#include "plcbytes.h"

#include <cstring>

namespace vexsim {

uint32_t floatBits(float value)
{
    static_assert(sizeof(float) == sizeof(uint32_t), "IEEE-754 single precision expected");
    uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

float floatFromBits(uint32_t bits)
{
    float value = 0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

namespace reply {

namespace {

constexpr uint16_t kLineStatusReply = 1007;
constexpr uint16_t kMoldSetStatusReply = 1008;
constexpr uint16_t kMoldSetReply = 1009;
constexpr uint16_t kActualReply = 1001;
constexpr uint16_t kReadParamReply = 1002;
constexpr uint16_t kWriteParamReply = 1003;
constexpr uint16_t kAlarmPacket = 1004;
constexpr uint16_t kActionReply = 1006;
constexpr uint16_t kTriggerReply = 1017;
constexpr uint16_t kTriggeredData = 1018;

std::string recordPayload(const std::vector<Record>& records)
{
    std::string payload;
    payload.reserve(records.size() * 10);
    for (const Record& record : records) {
        appendU32(payload, record.id);
        payload.push_back(static_cast<char>(record.type));
        payload.push_back(static_cast<char>(record.state));
        appendU32(payload, record.raw);
    }
    return payload;
}

std::string recordReply(uint16_t type, const std::vector<Record>& records, uint16_t number)
{
    return common(type, number, 0, static_cast<uint16_t>(records.size()), recordPayload(records));
}

// Word at 10 is the curve state, word at 12 is reserved, word at 14 counts the items.
std::string triggeredHead(uint16_t group, uint16_t state, size_t count)
{
    std::string payload;
    appendU16(payload, group);
    appendU16(payload, state);
    appendU16(payload, 0);
    appendU16(payload, static_cast<uint16_t>(count));
    return payload;
}

} // namespace

std::string common(uint16_t type, uint16_t number, uint16_t argument, uint16_t count,
                   const std::string& payload, uint16_t mark)
{
    std::string out;
    out.reserve(kCommonHeadSize + payload.size() + kTailSize);
    appendU16(out, mark);
    appendU16(out, static_cast<uint16_t>(kCommonHeadSize + payload.size() + kTailSize));
    appendU16(out, type);
    appendU16(out, number);
    appendU16(out, argument);
    appendU16(out, count);
    out += payload;
    appendU16(out, kTailMark);
    return out;
}

std::string triggerFamily(uint16_t type, uint16_t number, const std::string& payload, uint16_t mark)
{
    std::string out;
    out.reserve(kTriggerHeadSize + payload.size() + kTailSize);
    appendU16(out, mark);
    appendU16(out, static_cast<uint16_t>(kTriggerHeadSize + payload.size() + kTailSize));
    appendU16(out, type);
    appendU16(out, number);
    out += payload;
    appendU16(out, kTailMark);
    return out;
}

std::string lineStatus(int32_t status, uint16_t number)
{
    std::string payload;
    appendU32(payload, static_cast<uint32_t>(status));
    appendU16(payload, 0);
    return common(kLineStatusReply, number, 0, 1, payload);
}

std::string moldSetAck(uint16_t accepted, uint16_t number)
{
    return common(kMoldSetReply, number, 0, accepted, std::string());
}

std::string moldSetStatus(int32_t held, uint16_t number)
{
    std::string payload;
    appendU32(payload, static_cast<uint32_t>(held));
    return common(kMoldSetStatusReply, number, 0, 1, payload);
}

std::string actualValues(const std::vector<Record>& records, uint16_t number)
{
    return recordReply(kActualReply, records, number);
}

std::string readParam(const std::vector<Record>& records, uint16_t number)
{
    return recordReply(kReadParamReply, records, number);
}

std::string writeParam(const std::vector<Record>& records, uint16_t number)
{
    return recordReply(kWriteParamReply, records, number);
}

std::string action(const std::vector<uint32_t>& states, uint16_t number)
{
    std::string payload;
    for (uint32_t state : states)
        appendU32(payload, state);
    return common(kActionReply, number, 0, static_cast<uint16_t>(states.size()), payload);
}

std::string alarm(const std::vector<Alarm>& alarms, uint16_t number)
{
    std::string payload;
    for (const Alarm& entry : alarms) {
        payload.push_back(static_cast<char>(entry.alarmByte));
        payload.push_back('\0');
        appendU32(payload, entry.number);
    }
    return common(kAlarmPacket, number, 0, static_cast<uint16_t>(alarms.size()), payload);
}

std::string triggerAck(uint16_t group, uint16_t status, const std::vector<Failed>& failed,
                       uint16_t number)
{
    std::string payload;
    appendU16(payload, group);
    appendU16(payload, status);
    appendU16(payload, static_cast<uint16_t>(failed.size()));
    for (const Failed& entry : failed) {
        appendU32(payload, entry.dataID);
        appendU16(payload, entry.errorCode);
    }
    return triggerFamily(kTriggerReply, number, payload);
}

std::string triggeredData(uint16_t group, const std::vector<std::pair<uint32_t, uint32_t>>& items,
                          uint16_t number)
{
    std::string payload = triggeredHead(group, 0, items.size());
    for (const auto& item : items) {
        appendU32(payload, item.first);
        appendU32(payload, item.second);
    }
    return triggerFamily(kTriggeredData, number, payload);
}

std::string curve(uint16_t group, uint16_t state, const std::vector<float>& samples,
                  uint16_t number)
{
    std::string payload = triggeredHead(group, state, samples.size());
    for (float sample : samples)
        appendU32(payload, floatBits(sample));
    return triggerFamily(kTriggeredData, number, payload);
}

} // namespace reply
} // namespace vexsim
