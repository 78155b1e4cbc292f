// SPDX-License-Identifier: MIT
//
// Not part of the public API: little-endian fields of PLC packets. Every multi-byte field is read
// and written here, byte by byte, so that no code casts a pointer into a packet.
#ifndef VEXPLCBYTES_P_H
#define VEXPLCBYTES_P_H

#include "vexbytearray.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace Orrery {
namespace PlcBytes {

inline void storeU16(unsigned char* at, std::uint16_t value)
{
    at[0] = static_cast<unsigned char>(value & 0xFFu);
    at[1] = static_cast<unsigned char>(value >> 8);
}

inline void storeU32(unsigned char* at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<unsigned char>((value >> (8 * i)) & 0xFFu);
}

inline std::uint16_t loadU16(const unsigned char* at)
{
    return static_cast<std::uint16_t>(at[0] | (at[1] << 8));
}

inline std::uint32_t loadU32(const unsigned char* at)
{
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | at[i];
    return value;
}

inline float loadFloat(const unsigned char* at)
{
    const std::uint32_t bits = loadU32(at);
    float value = 0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

inline std::uint32_t floatBits(float value)
{
    std::uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

inline void putU16(CvexByteArray& out, std::uint16_t value)
{
    unsigned char bytes[2];
    storeU16(bytes, value);
    out.append(reinterpret_cast<const char*>(bytes), 2);
}

inline void putU32(CvexByteArray& out, std::uint32_t value)
{
    unsigned char bytes[4];
    storeU32(bytes, value);
    out.append(reinterpret_cast<const char*>(bytes), 4);
}

inline CvexByteArray u32List(const std::vector<std::uint32_t>& values)
{
    CvexByteArray out;
    for (const std::uint32_t value : values)
        putU32(out, value);
    return out;
}

// True when `width` bytes from `pos` lie inside `in`.
inline bool holds(const CvexByteArray& in, int pos, int width)
{
    return pos >= 0 && width >= 0 && pos <= in.size() - width;
}

inline const unsigned char* bytesOf(const CvexByteArray& in, int pos)
{
    return reinterpret_cast<const unsigned char*>(in.constData()) + pos;
}

// Field readers for received datagrams; a field outside the datagram reads as 0, but parsers
// check the size first, so that never stands for a value.
inline std::uint8_t getU8(const CvexByteArray& in, int pos)
{
    return holds(in, pos, 1) ? *bytesOf(in, pos) : 0;
}

inline std::uint16_t getU16(const CvexByteArray& in, int pos)
{
    return holds(in, pos, 2) ? loadU16(bytesOf(in, pos)) : 0;
}

inline std::uint32_t getU32(const CvexByteArray& in, int pos)
{
    return holds(in, pos, 4) ? loadU32(bytesOf(in, pos)) : 0;
}

// Whole records of `recordSize` bytes from `first` up to `end`, at most `claimed`.
inline int wholeRecords(int first, int end, int recordSize, long long claimed)
{
    if (end <= first)
        return 0;
    const long long fit = (end - first) / recordSize;
    return static_cast<int>(claimed < fit ? claimed : fit);
}

} // namespace PlcBytes
} // namespace Orrery

#endif // VEXPLCBYTES_P_H
