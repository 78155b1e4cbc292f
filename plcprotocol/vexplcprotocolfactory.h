// SPDX-License-Identifier: MIT
#ifndef VEXPLCPROTOCOLFACTORY_H
#define VEXPLCPROTOCOLFACTORY_H

#include "vexabstractprotocol.h"
#include "vexglobal.h"
#include "vexnocopyable.h"
#include "vexplcpackettype.h"

#include <array>
#include <cstddef>
#include <iterator>
#include <memory>

namespace Orrery {

class CvexPlcProtocolFactoryPrivate;

namespace PlcPacket {

// The first row served by the same function as row `row`.
constexpr std::size_t firstSharing(std::size_t row)
{
    std::size_t first = 0;
    while (Types[first].create != Types[row].create)
        ++first;
    return first;
}

// The factory slot of row `row`: one slot per protocol object, numbered in table order.
constexpr int slotOf(std::size_t row)
{
    const std::size_t first = firstSharing(row);
    int slot = 0;
    for (std::size_t i = 0; i < first; ++i)
        if (firstSharing(i) == i)
            ++slot;
    return slot;
}

constexpr std::size_t TypeCount = std::size(Types);

// {type code, slot} of every send and receive code, in table order.
constexpr std::array<std::array<int, 2>, 2 * TypeCount> codeSlotPairs()
{
    std::array<std::array<int, 2>, 2 * TypeCount> pairs{};
    for (std::size_t row = 0; row < TypeCount; ++row) {
        pairs[2 * row] = {Types[row].sendCode, slotOf(row)};
        pairs[2 * row + 1] = {Types[row].receiveCode, slotOf(row)};
    }
    return pairs;
}

} // namespace PlcPacket

// One protocol object per packet type, found by its send or receive code and created on first
// demand. The factory owns the objects until it is destroyed; the pointers it hands out stay valid
// that long. protocol() may be called from any thread: a new slot is filled under a lock.
class VEX_PLCCOMMON_EXPORT CvexPlcProtocolFactory : public CvexNoCopyable {
public:
    // {type code, slot} of every code the system sends or receives, in lookup order.
    static constexpr std::array<std::array<int, 2>, 2 * PlcPacket::TypeCount> PLCPROTOCOLTYPE =
        PlcPacket::codeSlotPairs();

    CvexPlcProtocolFactory();
    virtual ~CvexPlcProtocolFactory();

    // The object for `code`, or null for a code outside the table.
    CvexAbstractProtocol* protocol(int code);

private:
    std::unique_ptr<CvexPlcProtocolFactoryPrivate> d_ptr;
};

} // namespace Orrery

#endif // VEXPLCPROTOCOLFACTORY_H
