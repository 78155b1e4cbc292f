// SPDX-License-Identifier: MIT
// Little-endian field access for the PLC side. Every field of a datagram is read and written
// through these helpers so that no code ever casts a pointer into a packet; readers check the
// bounds against the bytes really held and report a short buffer instead of reading past it.
#ifndef PLCBYTES_H
#define PLCBYTES_H

#include <cstddef>
#include <cstdint>
#include <string>

namespace vexsim {

inline void appendU16(std::string& out, uint16_t value)
{
    out.push_back(static_cast<char>(value & 0xFF));
    out.push_back(static_cast<char>((value >> 8) & 0xFF));
}

inline void appendU32(std::string& out, uint32_t value)
{
    appendU16(out, static_cast<uint16_t>(value & 0xFFFF));
    appendU16(out, static_cast<uint16_t>(value >> 16));
}

inline void putU16(std::string& out, size_t offset, uint16_t value)
{
    if (offset + 2 > out.size())
        return;
    out[offset] = static_cast<char>(value & 0xFF);
    out[offset + 1] = static_cast<char>((value >> 8) & 0xFF);
}

// Reads into `value` and returns true only when the field lies wholly inside `bytes`.
inline bool readU16(const std::string& bytes, size_t offset, uint16_t& value)
{
    if (offset > bytes.size() || bytes.size() - offset < 2)
        return false;
    value = static_cast<uint16_t>(static_cast<unsigned char>(bytes[offset]) |
                                  (static_cast<unsigned char>(bytes[offset + 1]) << 8));
    return true;
}

inline bool readU32(const std::string& bytes, size_t offset, uint32_t& value)
{
    uint16_t low = 0;
    uint16_t high = 0;
    if (!readU16(bytes, offset, low) || !readU16(bytes, offset + 2, high))
        return false;
    value = static_cast<uint32_t>(low) | (static_cast<uint32_t>(high) << 16);
    return true;
}

} // namespace vexsim

#endif // PLCBYTES_H
