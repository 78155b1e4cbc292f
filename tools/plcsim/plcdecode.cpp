// SPDX-License-Identifier: MIT
#include "plcdecode.h"

#include "plcbytes.h"
#include "plcreply.h"

#include <sstream>

namespace vexsim {

namespace {

uint16_t word(const std::string& datagram, size_t offset)
{
    uint16_t value = 0;
    readU16(datagram, offset, value);
    return value;
}

uint32_t dword(const std::string& datagram, size_t offset)
{
    uint32_t value = 0;
    readU32(datagram, offset, value);
    return value;
}

// Items of `size` bytes that really follow a common head, whatever the count claims.
size_t commonItems(const std::string& datagram, size_t size)
{
    if (datagram.size() < reply::kCommonHeadSize + reply::kTailSize)
        return 0;
    const size_t room = (datagram.size() - reply::kCommonHeadSize - reply::kTailSize) / size;
    return std::min<size_t>(room, word(datagram, 10));
}

void describeRecords(std::ostringstream& text, const std::string& datagram, const char* what)
{
    const size_t records = commonItems(datagram, 10);
    text << what << ", " << records << " records";
    if (records > 0) {
        text << " (first ID " << dword(datagram, 12) << " type "
             << static_cast<unsigned>(static_cast<unsigned char>(datagram[16])) << ")";
    }
}

void describeTriggered(std::ostringstream& text, const std::string& datagram)
{
    const uint16_t group = word(datagram, 8);
    if (group >= 100) {
        text << "curve group " << group << " state " << word(datagram, 10) << ", "
             << word(datagram, 14) << " samples";
    } else {
        text << "triggered data group " << group << ", " << word(datagram, 14) << " items";
    }
}

void describeBody(std::ostringstream& text, uint16_t type, const std::string& datagram)
{
    switch (type) {
    case 7:
        text << "line status request v" << word(datagram, 8) << " cycle " << dword(datagram, 12)
             << " ms";
        return;
    case 1007:
        text << "line status " << static_cast<int32_t>(dword(datagram, 12));
        return;
    case 1:
        text << "actual subscription cycle " << word(datagram, 8) << " ms, "
             << commonItems(datagram, 4) << " IDs";
        return;
    case 1001:
        return describeRecords(text, datagram, "actual values");
    case 2:
        text << "read parameters, " << commonItems(datagram, 4) << " IDs";
        return;
    case 1002:
        return describeRecords(text, datagram, "parameter values");
    case 3:
        return describeRecords(text, datagram, "write parameters");
    case 1003:
        return describeRecords(text, datagram, "parameters written");
    case 6:
        text << "actions, " << commonItems(datagram, 4) << " codes";
        return;
    case 1006:
        text << "action states, " << commonItems(datagram, 4);
        return;
    case 8:
        text << "mold set status request, count " << static_cast<int32_t>(dword(datagram, 12));
        return;
    case 1008:
        text << "mold set status, holds " << static_cast<int32_t>(dword(datagram, 12));
        return;
    case 9:
        return describeRecords(text, datagram, "mold set pack");
    case 1009:
        text << "mold set ack " << word(datagram, 10);
        return;
    case 1004:
        text << "alarm " << dword(datagram, 14) << " byte "
             << static_cast<unsigned>(static_cast<unsigned char>(datagram[12])) << ", "
             << commonItems(datagram, 6) << " records";
        return;
    case 2004:
        text << "alarm answer " << dword(datagram, 14);
        return;
    case 17:
        text << "trigger definition group " << word(datagram, 8);
        return;
    case 1017:
        text << "trigger ack group " << word(datagram, 8) << " status 0x" << std::hex
             << word(datagram, 10) << std::dec << " failed " << word(datagram, 12);
        return;
    case 1018:
        return describeTriggered(text, datagram);
    case 2018:
        text << "trigger confirmation group " << word(datagram, 8);
        return;
    default:
        text << "unknown type";
        return;
    }
}

// The bytes a type needs before its description can be read.
size_t minimumSize(uint16_t type)
{
    switch (type) {
    case 7:
    case 1007:
    case 1004:
    case 2004:
        return 18;
    case 8:
    case 1008:
    case 1018:
        return 16;
    case 17:
    case 1017:
    case 2018:
        return 10;
    default:
        return reply::kCommonHeadSize;
    }
}

} // namespace

std::string describeDatagram(const std::string& datagram)
{
    std::ostringstream text;
    if (datagram.size() < 8) {
        text << "? " << datagram.size() << "B too short for a head";
        return text.str();
    }
    const uint16_t type = word(datagram, 4);
    text << type << " #" << word(datagram, 6) << " " << datagram.size() << "B ";
    if (datagram.size() < minimumSize(type)) {
        text << "too short";
        return text.str();
    }
    describeBody(text, type, datagram);
    return text.str();
}

} // namespace vexsim
