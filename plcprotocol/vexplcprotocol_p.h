// SPDX-License-Identifier: MIT
//
// Not part of the public API: the private data of the PLC protocol families and the steps that
// every concrete protocol shares.
#ifndef VEXPLCPROTOCOL_P_H
#define VEXPLCPROTOCOL_P_H

#include "vexabstractprotocol_p.h"
#include "vexbytearray.h"
#include "vexvariant.h"

#include <atomic>
#include <cstdint>
#include <mutex>

namespace Orrery {

using PlcLock = std::lock_guard<std::recursive_mutex>;

class CvexAbstractPlcProtocolPrivate : public CvexAbstractProtocolPrivate {
public:
    static constexpr std::uint16_t SendMark = 0x8899;
    static constexpr std::uint16_t TailMark = 0x6688;
    static constexpr std::uint16_t ReplyMark = 0x5588;

    int markPos = 0;
    int tailMarkPos = 0;
    int lengthPos = 2;
    int typePos = 4;
    int numberPos = 6;
    std::uint16_t sendType = 0;
    std::uint16_t receiveType = 0;
    static std::atomic<std::uint16_t> packNumber;

    // Held by every compose and parse. Recursive because a parse stores its payload through the
    // virtual writeToDataBase, which takes it again.
    mutable std::recursive_mutex mutex;

    // Sizes both parts of one direction and writes their marks.
    void setupParts(CvexAbstractPartProtocol& head, CvexAbstractPartProtocol& tail, int headSize);
    void writeField16(CvexAbstractPartProtocol& part, int pos, std::uint16_t value);
    // Takes the next packet number and writes it into the send head.
    std::uint16_t stampPacketNumber();
    // Writes the length and joins send head, payload and send tail into `out`; returns its size.
    int finishPacket(CvexByteArray& out, const CvexByteArray& payload);
    int minimumReplySize() const;
    // The reply is long enough for `size` bytes and begins with the PLC's start mark.
    static bool hasReplyMark(const CvexByteArray& in, int size);
};

class CvexAbstractPlcCommonProtocolPrivate : public CvexAbstractPlcProtocolPrivate {
public:
    int argumentPos = 8;
    int versionPos = 8;
    int countPos = 10;

    // Copies the reply's head into the receive head and cuts out the payload that its length
    // field announces. False for a reply too short, or whose length field is below head plus tail
    // or beyond the datagram.
    bool takeReplyPayload(const CvexByteArray& in, CvexByteArray& payload);
    // How many records of `recordSize` bytes, of those the reply's item count claims, lie whole
    // between head and tail; -1 for a reply shorter than head plus tail.
    int replyRecordCount(const CvexByteArray& in, int recordSize) const;
};

// Value records (u32 ID, u8 type code, u8 state, 4 value bytes) of actual and parameter replies.
namespace PlcRecords {
constexpr int RecordSize = 10;
constexpr std::uint8_t ValidState = 1;

// The value field decoded by the PLC's data type code; null for codes 0 and above 9.
CvexVariant decodeValue(std::uint8_t typeCode, const unsigned char* value);
// Stores every valid record into the data storage; the count of valid records, -1 for an empty
// payload.
int storeValueRecords(const CvexByteArray& payload);
// The count of valid records, -1 for an empty payload; stores nothing.
int countValidRecords(const CvexByteArray& payload);
} // namespace PlcRecords

} // namespace Orrery

#endif // VEXPLCPROTOCOL_P_H
