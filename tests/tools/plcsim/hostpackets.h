// SPDX-License-Identifier: MIT
// Requests as the host sends them, built byte by byte for driving the simulator in tests.
#ifndef HOSTPACKETS_H
#define HOSTPACKETS_H

#include "plcbytes.h"
#include "plcreply.h"

#include <string>
#include <vector>

namespace hostpackets {

using vexsim::appendU16;
using vexsim::appendU32;
using vexsim::reply::kRequestMark;

inline std::string common(uint16_t type, uint16_t argument, uint16_t count,
                          const std::string& payload, uint16_t number = 0)
{
    return vexsim::reply::common(type, number, argument, count, payload, kRequestMark);
}

inline std::string lineStatus(uint16_t version, uint32_t cycle, uint16_t number = 0)
{
    std::string payload;
    appendU32(payload, cycle);
    appendU16(payload, 0);
    return common(7, version, 1, payload, number);
}

inline std::string idList(uint16_t type, const std::vector<uint32_t>& ids, uint16_t argument = 0)
{
    std::string payload;
    for (uint32_t id : ids)
        appendU32(payload, id);
    return common(type, argument, static_cast<uint16_t>(ids.size()), payload);
}

inline std::string records(uint16_t type, const std::vector<vexsim::Record>& list)
{
    std::string payload;
    for (const vexsim::Record& record : list) {
        appendU32(payload, record.id);
        payload.push_back(static_cast<char>(record.type));
        payload.push_back(static_cast<char>(record.state));
        appendU32(payload, record.raw);
    }
    return common(type, 0, static_cast<uint16_t>(list.size()), payload);
}

// A pack of `count` valid float records for the IDs from `first` on.
inline std::string moldPack(uint32_t first, uint32_t count)
{
    std::vector<vexsim::Record> list;
    for (uint32_t i = 0; i < count; ++i)
        list.push_back({first + i, 8, 1, vexsim::floatBits(2.5f)});
    return records(9, list);
}

inline std::string moldSetStatus(int32_t count)
{
    std::string payload;
    appendU32(payload, static_cast<uint32_t>(count));
    return common(8, 0, 1, payload);
}

// A definition with three empty features unless `startFeature` gives the first one.
inline std::string trigger(uint16_t group, const std::vector<uint32_t>& ids,
                           const std::string& startFeature = std::string(2, '\0'))
{
    std::string payload;
    for (uint16_t field : {group, uint16_t(1000), uint16_t(0), uint16_t(1)})
        appendU16(payload, field);
    payload += startFeature;
    payload += std::string(4, '\0'); // empty send and stop features
    appendU16(payload, 1);
    appendU16(payload, static_cast<uint16_t>(ids.size()));
    for (uint32_t id : ids)
        appendU32(payload, id);
    return vexsim::reply::triggerFamily(17, 0, payload, kRequestMark);
}

inline std::string confirmation(uint16_t group)
{
    std::string payload;
    appendU16(payload, group);
    return vexsim::reply::triggerFamily(2018, 0, payload, kRequestMark);
}

inline std::string alarmAnswer(uint8_t alarmByte, uint32_t number)
{
    std::string payload;
    payload.push_back(static_cast<char>(alarmByte));
    payload.push_back('\0');
    appendU32(payload, number);
    return common(2004, 0, 1, payload);
}

} // namespace hostpackets

#endif // HOSTPACKETS_H
