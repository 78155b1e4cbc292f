// SPDX-License-Identifier: MIT
#include "vexplcprotocolfactory.h"

#include <algorithm>
#include <mutex>

namespace Orrery {

namespace {
constexpr std::size_t ObjectCount = [] {
    int count = 0;
    for (const auto& pair : CvexPlcProtocolFactory::PLCPROTOCOLTYPE)
        count = std::max(count, pair[1] + 1);
    return static_cast<std::size_t>(count);
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
    for (std::size_t pair = 0; pair < PLCPROTOCOLTYPE.size(); ++pair) {
        if (PLCPROTOCOLTYPE[pair][0] != code)
            continue;
        const auto slot = static_cast<std::size_t>(PLCPROTOCOLTYPE[pair][1]);
        const std::lock_guard<std::mutex> guard(d_ptr->mutex);
        std::unique_ptr<CvexAbstractProtocol>& entry = d_ptr->slots[slot];
        // Each row of the table gives two pairs: its send code, then its receive code.
        if (!entry)
            entry = PlcPacket::Types[pair / 2].create();
        return entry.get();
    }
    return nullptr;
}

} // namespace Orrery
