// SPDX-License-Identifier: MIT
// What the plcsim tests share: requests built byte by byte as the host sends them, field reads
// with bounds checks, and the message of an expected exception.
#ifndef SIMTEST_H
#define SIMTEST_H

#include "plcbytes.h"
#include "plcreply.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace host {

using vexsim::Record;

inline std::string u16(uint16_t value)
{
    std::string bytes;
    vexsim::appendU16(bytes, value);
    return bytes;
}

inline std::string u16s(std::initializer_list<uint16_t> values)
{
    std::string bytes;
    for (uint16_t value : values)
        bytes += u16(value);
    return bytes;
}

inline std::string u32(uint32_t value)
{
    return u16(static_cast<uint16_t>(value & 0xFFFF)) + u16(static_cast<uint16_t>(value >> 16));
}

inline std::string record(const Record& one)
{
    return u32(one.id) + static_cast<char>(one.type) + static_cast<char>(one.state) + u32(one.raw);
}

inline std::string common(uint16_t type, uint16_t argument, uint16_t count,
                          const std::string& payload, uint16_t number = 0)
{
    return vexsim::reply::common(type, number, argument, count, payload,
                                 vexsim::reply::kRequestMark);
}

inline std::string lineStatus(uint16_t version, uint32_t cycle, uint16_t number = 0)
{
    return common(7, version, 1, u32(cycle) + u16(0), number);
}

inline std::string idList(uint16_t type, const std::vector<uint32_t>& ids, uint16_t argument = 0)
{
    std::string payload;
    for (uint32_t id : ids)
        payload += u32(id);
    return common(type, argument, static_cast<uint16_t>(ids.size()), payload);
}

inline std::string records(uint16_t type, const std::vector<Record>& list)
{
    std::string payload;
    for (const Record& one : list)
        payload += record(one);
    return common(type, 0, static_cast<uint16_t>(list.size()), payload);
}

// A pack of `count` valid records holding the float 2.5, for the IDs from `first` on.
inline std::string moldPack(uint32_t first, uint32_t count)
{
    std::vector<Record> list;
    for (uint32_t id = first; id < first + count; ++id)
        list.push_back({id, 8, 1, vexsim::floatBits(2.5f)});
    return records(9, list);
}

inline std::string moldSetStatus(uint32_t count)
{
    return common(8, 0, 1, u32(count));
}

// A definition with three empty features unless `startFeature` gives the first one.
inline std::string trigger(uint16_t group, const std::vector<uint32_t>& ids,
                           const std::string& startFeature = u16(0))
{
    std::string payload = u16(group) + u16(1000) + u16(0) + u16(1) + startFeature + u16(0) +
                          u16(0) + u16(1) + u16(static_cast<uint16_t>(ids.size()));
    for (uint32_t id : ids)
        payload += u32(id);
    return vexsim::reply::triggerFamily(17, 0, payload, vexsim::reply::kRequestMark);
}

inline std::string confirmation(uint16_t group)
{
    return vexsim::reply::triggerFamily(2018, 0, u16(group), vexsim::reply::kRequestMark);
}

inline std::string alarmAnswer(uint8_t alarmByte, uint32_t number)
{
    return common(2004, 0, 1, std::string{static_cast<char>(alarmByte), '\0'} + u32(number));
}

} // namespace host

namespace simtest {

// The little-endian field at `offset`; a field past the end throws.
template <class Field> Field fieldAt(const std::string& bytes, size_t offset)
{
    Field value = 0;
    for (size_t i = sizeof(Field); i-- > 0;)
        value = static_cast<Field>(value << 8 | static_cast<unsigned char>(bytes.at(offset + i)));
    return value;
}
const auto wordAt = fieldAt<uint16_t>;
const auto dwordAt = fieldAt<uint32_t>;

// What `call` throws as `Error`.
template <class Error, class Call> std::string errorOf(Call call)
{
    try {
        call();
    } catch (const Error& error) {
        return error.what();
    }
    return "no error";
}

} // namespace simtest

#endif // SIMTEST_H
