// SPDX-License-Identifier: MIT
#include "vexplcprotocolfactory.h"

#include <algorithm>
#include <mutex>

namespace Orrery {

namespace {
constexpr auto Slots = [] {
    std::array<std::size_t, PlcPacket::TypeCount> slots{};
    for (std::size_t row = 0; row < PlcPacket::TypeCount; ++row)
        slots[row] = static_cast<std::size_t>(PlcPacket::slotOf(row));
    return slots;
}();
constexpr std::size_t ObjectCount = [] {
    std::size_t count = 0;
    for (const std::size_t slot : Slots)
        count = std::max(count, slot + 1);
    return count;
}();
} // namespace

class CvexPlcProtocolFactoryPrivate {
public:
    // Guards the creation of a slot's object, so that two threads asking for a new type at once
    // get the same object.
    std::mutex mutex;
    std::array<std::unique_ptr<CvexAbstractProtocol>, ObjectCount> slots;
};

CvexPlcProtocolFactory::CvexPlcProtocolFactory() : d_ptr(new CvexPlcProtocolFactoryPrivate) {}

CvexPlcProtocolFactory::~CvexPlcProtocolFactory() = default;

CvexAbstractProtocol* CvexPlcProtocolFactory::protocol(int code)
{
    const CvexPlcPacketType* type = PlcPacket::find(code);
    if (!type)
        return nullptr;
    const auto row = static_cast<std::size_t>(type - std::begin(PlcPacket::Types));
    const std::lock_guard<std::mutex> guard(d_ptr->mutex);
    std::unique_ptr<CvexAbstractProtocol>& entry = d_ptr->slots[Slots[row]];
    if (!entry)
        entry = type->create();
    return entry.get();
}

} // namespace Orrery
