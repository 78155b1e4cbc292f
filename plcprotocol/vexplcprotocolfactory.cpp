// SPDX-License-Identifier: MIT
#include "vexplcprotocolfactory.h"

#include "vexplcactionprotocol.h"
#include "vexplcactualprotocol.h"
#include "vexplcalarmprotocol.h"
#include "vexplccantransmitprotocol.h"
#include "vexplccurveprotocol.h"
#include "vexplclinestatusprotocol.h"
#include "vexplcmoldsetprotocol.h"
#include "vexplcmoldsetstatusprotocol.h"
#include "vexplcreadparamprotocol.h"
#include "vexplctriggerconfirmprotocol.h"
#include "vexplctriggerprotocol.h"
#include "vexplcwriteparamprotocol.h"

#include <mutex>
#include <vector>

namespace Orrery {

namespace {
constexpr int SlotCount = 64;
constexpr int LastUsedSlot = 11;

std::unique_ptr<CvexAbstractProtocol> createForSlot(int slot)
{
    switch (slot) {
    case 0:
        return std::make_unique<CvexPlcActualProtocol>();
    case 1:
        return std::make_unique<CvexPlcReadParamProtocol>();
    case 2:
        return std::make_unique<CvexPlcWriteParamProtocol>();
    case 3:
        return std::make_unique<CvexPlcAlarmProtocol>();
    case 4:
        return std::make_unique<CvexPlcCurveProtocol>();
    case 5:
        return std::make_unique<CvexPlcActionProtocol>();
    case 6:
        return std::make_unique<CvexPlcLineStatusProtocol>();
    case 7:
        return std::make_unique<CvexPlcMoldSetStatusProtocol>();
    case 8:
        return std::make_unique<CvexPlcMoldSetProtocol>();
    case 9:
        return std::make_unique<CvexPlcTriggerProtocol>();
    case 10:
        return std::make_unique<CvexPlcTriggerConfirmProtocol>();
    case 11:
        return std::make_unique<CvexPlcCANTransmitProtocol>(0);
    default:
        return nullptr;
    }
}

int slotOf(int code)
{
    for (const auto& pair : CvexPlcProtocolFactory::PLCPROTOCOLTYPE)
        if (pair[0] == code)
            return pair[1];
    return -1;
}
} // namespace

class CvexPlcProtocolFactoryPrivate {
public:
    // Guards the creation of a slot's object, so that two threads asking for a new type at once
    // get the same object.
    std::mutex mutex;
    std::vector<std::unique_ptr<CvexAbstractProtocol>> slots =
        std::vector<std::unique_ptr<CvexAbstractProtocol>>(SlotCount);
};

CvexPlcProtocolFactory::CvexPlcProtocolFactory() : d_ptr(new CvexPlcProtocolFactoryPrivate) {}

CvexPlcProtocolFactory::~CvexPlcProtocolFactory() = default;

CvexAbstractProtocol* CvexPlcProtocolFactory::protocol(int code)
{
    const int slot = slotOf(code);
    if (slot < 0 || slot > LastUsedSlot)
        return nullptr;
    const std::lock_guard<std::mutex> guard(d_ptr->mutex);
    std::unique_ptr<CvexAbstractProtocol>& entry = d_ptr->slots[static_cast<std::size_t>(slot)];
    if (!entry)
        entry = createForSlot(slot);
    return entry.get();
}

} // namespace Orrery
