// SPDX-License-Identifier: MIT
#ifndef VEXPLCPACKETTYPE_H
#define VEXPLCPACKETTYPE_H

#include "vexabstractprotocol.h"
#include "vexbytearray.h"
#include "vexglobal.h"
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

#include <memory>

namespace Orrery {

// One packet type of the link: the code the host sends, the code the PLC answers with, the head
// its packets carry and the protocol class that composes and parses them. The rows are constant
// (PlcPacket::Types below); any thread may read them and call peekType().
class VEX_PLCCOMMON_EXPORT CvexPlcPacketType {
public:
    // Common: 12-byte head (mark, length, type, number, argument, count); Trigger: 8-byte head.
    enum class Family { Common, Trigger };
    using Create = std::unique_ptr<CvexAbstractProtocol> (*)();

    const char* name;
    int sendCode;
    int receiveCode;
    Family family;
    // Builds the protocol object that serves the type. Rows with the same function share one
    // object in a factory.
    Create create;

    // The type code at offset 4 of a datagram, or PlcPacket::NoType when it is too short to
    // carry one.
    static int peekType(const CvexByteArray& datagram);
};

namespace PlcPacket {

constexpr int NoType = -1;

template <typename Protocol> std::unique_ptr<CvexAbstractProtocol> create()
{
    return std::make_unique<Protocol>();
}

using Family = CvexPlcPacketType::Family;

// The packet types, one row each. Alarms and trigger confirmations send from the 2000 range;
// codes 4 and 18 are unused.
inline constexpr CvexPlcPacketType Actual{"actual values", 1, 1001, Family::Common,
                                          &create<CvexPlcActualProtocol>};
inline constexpr CvexPlcPacketType ReadParam{"read parameters", 2, 1002, Family::Common,
                                             &create<CvexPlcReadParamProtocol>};
inline constexpr CvexPlcPacketType WriteParam{"write parameters", 3, 1003, Family::Common,
                                              &create<CvexPlcWriteParamProtocol>};
inline constexpr CvexPlcPacketType Alarm{"alarm", 2004, 1004, Family::Common,
                                         &create<CvexPlcAlarmProtocol>};
inline constexpr CvexPlcPacketType Curve{"curve", 5, 1005, Family::Common,
                                         &create<CvexPlcCurveProtocol>};
inline constexpr CvexPlcPacketType Action{"actions", 6, 1006, Family::Common,
                                          &create<CvexPlcActionProtocol>};
inline constexpr CvexPlcPacketType LineStatus{"line status", 7, 1007, Family::Common,
                                              &create<CvexPlcLineStatusProtocol>};
inline constexpr CvexPlcPacketType MoldSetStatus{"mold set status", 8, 1008, Family::Common,
                                                 &create<CvexPlcMoldSetStatusProtocol>};
inline constexpr CvexPlcPacketType MoldSet{"mold set", 9, 1009, Family::Common,
                                           &create<CvexPlcMoldSetProtocol>};
inline constexpr CvexPlcPacketType Trigger{"trigger definition", 17, 1017, Family::Trigger,
                                           &create<CvexPlcTriggerProtocol>};
inline constexpr CvexPlcPacketType TriggerConfirm{"triggered data", 2018, 1018, Family::Trigger,
                                                  &create<CvexPlcTriggerConfirmProtocol>};
// Both CAN transmit variants are served by one object built as variant 0.
inline constexpr CvexPlcPacketType CanTransmit{"CAN transmit", 15, 1015, Family::Common,
                                               &create<CvexPlcCANTransmitProtocol>};
inline constexpr CvexPlcPacketType CanTransmitVariant1{
    "CAN transmit variant 1", 16, 1016, Family::Common, &create<CvexPlcCANTransmitProtocol>};

inline constexpr CvexPlcPacketType Types[] = {
    Actual,         ReadParam,   WriteParam,         Alarm,   Curve,
    Action,         LineStatus,  MoldSetStatus,      MoldSet, Trigger,
    TriggerConfirm, CanTransmit, CanTransmitVariant1};

// The row whose send or receive code is `code`, the first in table order; null for a code no
// type uses. Inline, so that the row is the caller's own copy of the table.
constexpr const CvexPlcPacketType* find(int code)
{
    for (const CvexPlcPacketType& type : Types)
        if (type.sendCode == code || type.receiveCode == code)
            return &type;
    return nullptr;
}

} // namespace PlcPacket

} // namespace Orrery

#endif // VEXPLCPACKETTYPE_H
