// SPDX-License-Identifier: MIT
#include "vexplcprotocolfactory.h"

#include <mutex>

namespace Orrery {

namespace {
constexpr std::size_t objectCount()
{
    std::size_t count = 0;
    for (std::size_t row = 0; row < PlcPacket::TypeCount; ++row)
        if (PlcPacket::firstSharing(row) == row)
            ++count;
    return count;
}
} // namespace

class CvexPlcProtocolFactoryPrivate {
public:
    // Guards the creation of a slot's object, so that two threads asking for a new type at once
    // get the same object.
    std::mutex mutex;
    std::array<std::unique_ptr<CvexAbstractProtocol>, objectCount()> slots;
};

CvexPlcProtocolFactory::CvexPlcProtocolFactory() : d_ptr(new CvexPlcProtocolFactoryPrivate) {}

CvexPlcProtocolFactory::~CvexPlcProtocolFactory() = default;

CvexAbstractProtocol* CvexPlcProtocolFactory::protocol(int code)
{
    const CvexPlcPacketType* type = CvexPlcPacketType::find(code);
    if (!type)
        return nullptr;
    const auto row = static_cast<std::size_t>(type - std::begin(PlcPacket::Types));
    const std::lock_guard<std::mutex> guard(d_ptr->mutex);
    std::unique_ptr<CvexAbstractProtocol>& entry =
        d_ptr->slots[static_cast<std::size_t>(PlcPacket::slotOf(row))];
    if (!entry)
        entry = type->create();
    return entry.get();
}

} // namespace Orrery
