// SPDX-License-Identifier: MIT
// Byte-exact replies of the PLC. Pure functions, callable from any thread.
//
// Common family: 12-byte head [mark u16][length u16][type u16][number u16][arg u16][count u16],
// payload, 2-byte tail 0x6688. Trigger family: 8-byte head [mark][length][type][number]. Every
// reply of the PLC starts with the mark 0x5588; all fields are little-endian.
#ifndef PLCREPLY_H
#define PLCREPLY_H

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace vexsim {

// One 10-byte value record as carried by actual values, mold set packs and parameters.
struct Record {
    uint32_t id;
    uint8_t type;
    uint8_t state;
    uint32_t raw;
};

namespace reply {

constexpr uint16_t kReplyMark = 0x5588;
constexpr uint16_t kRequestMark = 0x8899;
constexpr uint16_t kTailMark = 0x6688;
constexpr size_t kCommonHeadSize = 12;
constexpr size_t kTriggerHeadSize = 8;
constexpr size_t kTailSize = 2;

std::string lineStatus(int32_t status, uint16_t number = 0);
std::string moldSetAck(uint16_t accepted, uint16_t number = 0);
std::string moldSetStatus(int32_t held, uint16_t number = 0);
std::string actualValues(const std::vector<Record>& records, uint16_t number = 0);
std::string readParam(const std::vector<Record>& records, uint16_t number = 0);
std::string writeParam(const std::vector<Record>& records, uint16_t number = 0);
std::string action(const std::vector<uint32_t>& states, uint16_t number = 0);

struct Alarm {
    uint8_t alarmByte;
    uint32_t number;
};
std::string alarm(const std::vector<Alarm>& alarms, uint16_t number = 0);

struct Failed {
    uint32_t dataID;
    uint16_t errorCode;
};
std::string triggerAck(uint16_t group, uint16_t status = 0, const std::vector<Failed>& failed = {},
                       uint16_t number = 0);
// Data group (group < 100): each item is a data ID and the raw 4 bytes of its value.
std::string triggeredData(uint16_t group, const std::vector<std::pair<uint32_t, uint32_t>>& items,
                          uint16_t number = 0);
// Curve group (group >= 100); state 3 marks the last packet of a curve.
std::string curve(uint16_t group, uint16_t state, const std::vector<float>& samples,
                  uint16_t number = 0);

// A common-family packet with any type, argument, count and payload; the builders above and the
// simulator's fault tests use it for replies that need no dedicated builder.
std::string common(uint16_t type, uint16_t number, uint16_t argument, uint16_t count,
                   const std::string& payload, uint16_t mark = kReplyMark);
// A trigger-family packet: 8-byte head, payload, tail.
std::string triggerFamily(uint16_t type, uint16_t number, const std::string& payload,
                          uint16_t mark = kReplyMark);

} // namespace reply

// IEEE-754 bits of `value`, for Record::raw and triggered items.
uint32_t floatBits(float value);
float floatFromBits(uint32_t bits);

} // namespace vexsim

#endif // PLCREPLY_H
