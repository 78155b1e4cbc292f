// SPDX-License-Identifier: MIT
#include "vexplcprotocol.h"

#include "vexdbstoragefactory.h"
#include "vexplcbytes_p.h"
#include "vexplcprotocol_p.h"

namespace Orrery {

using namespace PlcBytes;

std::atomic<std::uint16_t> CvexAbstractPlcProtocolPrivate::packNumber{0};

void CvexAbstractPlcProtocolPrivate::setupParts(CvexAbstractPartProtocol& head,
                                                CvexAbstractPartProtocol& tail, int headSize)
{
    head.setFixedSize(headSize);
    tail.setFixedSize(2);
    writeField16(head, markPos, SendMark);
    writeField16(tail, tailMarkPos, TailMark);
}

void CvexAbstractPlcProtocolPrivate::writeField16(CvexAbstractPartProtocol& part, int pos,
                                                  std::uint16_t value)
{
    unsigned char bytes[2];
    storeU16(bytes, value);
    part.setPartValue(pos, bytes, 2);
}

std::uint16_t CvexAbstractPlcProtocolPrivate::stampPacketNumber()
{
    const std::uint16_t number = CvexAbstractPlcProtocol::packNumberFetchAndAdd();
    writeField16(sendHead, numberPos, number);
    return number;
}

int CvexAbstractPlcProtocolPrivate::finishPacket(CvexByteArray& out, const CvexByteArray& payload)
{
    const long long length =
        static_cast<long long>(sendHead.fixedSize()) + payload.size() + sendTail.fixedSize();
    writeField16(sendHead, lengthPos, static_cast<std::uint16_t>(length & 0xFFFF));
    CvexByteArray packet = sendHead.buffer();
    packet.append(payload);
    packet.append(sendTail.buffer());
    out = packet;
    return out.size();
}

int CvexAbstractPlcProtocolPrivate::minimumReplySize() const
{
    return receiveHead.fixedSize() + receiveTail.fixedSize();
}

bool CvexAbstractPlcProtocolPrivate::hasReplyMark(const CvexByteArray& in, int size)
{
    return in.size() >= size && getU16(in, 0) == ReplyMark;
}

bool CvexAbstractPlcCommonProtocolPrivate::takeReplyPayload(const CvexByteArray& in,
                                                            CvexByteArray& payload)
{
    const int headSize = receiveHead.fixedSize();
    const int minimum = minimumReplySize();
    if (in.size() < minimum)
        return false;
    receiveHead.setPartValue(markPos, in.constData(), headSize);
    const int length = getU16(receiveHead.buffer(), lengthPos);
    if (length < minimum || length > in.size())
        return false;
    payload = in.mid(headSize, length - minimum);
    return true;
}

int CvexAbstractPlcCommonProtocolPrivate::replyRecordCount(const CvexByteArray& in,
                                                           int recordSize) const
{
    if (in.size() < minimumReplySize())
        return -1;
    return wholeRecords(receiveHead.fixedSize(), in.size() - receiveTail.fixedSize(), recordSize,
                        getU16(in, countPos));
}

namespace PlcRecords {

CvexVariant decodeValue(std::uint8_t typeCode, const unsigned char* value)
{
    switch (typeCode) {
    case 1:
    case 9:
        return CvexVariant(static_cast<int>(static_cast<std::int8_t>(value[0])));
    case 2:
    case 3:
        return CvexVariant(static_cast<int>(static_cast<std::int16_t>(loadU16(value))));
    case 4:
    case 5:
        return CvexVariant(static_cast<int>(static_cast<std::int32_t>(loadU32(value))));
    case 6:
        return CvexVariant(static_cast<unsigned int>(loadU32(value)));
    case 7:
    case 8:
        return CvexVariant(static_cast<double>(loadFloat(value)));
    default:
        return CvexVariant();
    }
}

namespace {

// Calls `visit(id, typeCode, value)` for every whole record whose state is valid; returns how
// many there were.
template <typename Visit> int forEachValidRecord(const CvexByteArray& payload, Visit visit)
{
    if (payload.isEmpty())
        return -1;
    int valid = 0;
    const int records = payload.size() / RecordSize;
    for (int i = 0; i < records; ++i) {
        const unsigned char* record = bytesOf(payload, i * RecordSize);
        if (record[5] != ValidState)
            continue;
        ++valid;
        visit(loadU32(record), record[4], record + 6);
    }
    return valid;
}

} // namespace

int storeValueRecords(const CvexByteArray& payload)
{
    // Looked up once per reply: the factory takes a lock of its own on every call.
    CvexAbstractDataStorage* storage = CvexDBStorageFactory::instance()->get(2);
    return forEachValidRecord(
        payload, [storage](std::uint32_t id, std::uint8_t typeCode, const unsigned char* value) {
            const CvexVariant decoded = decodeValue(typeCode, value);
            if (!decoded.isNull() && storage)
                storage->setValue(id, decoded, 1);
        });
}

int countValidRecords(const CvexByteArray& payload)
{
    return forEachValidRecord(payload, [](std::uint32_t, std::uint8_t, const unsigned char*) {});
}

} // namespace PlcRecords

CvexAbstractPlcProtocol::CvexAbstractPlcProtocol()
    : CvexAbstractProtocol(new CvexAbstractPlcProtocolPrivate)
{
}

CvexAbstractPlcProtocol::CvexAbstractPlcProtocol(CvexAbstractProtocolPrivate* d)
    : CvexAbstractProtocol(d)
{
}

CvexAbstractPlcProtocol::~CvexAbstractPlcProtocol() = default;

void CvexAbstractPlcProtocol::initSend() {}

void CvexAbstractPlcProtocol::initReceive() {}

void CvexAbstractPlcProtocol::setSendType(int type)
{
    CvexAbstractPlcProtocolPrivate* d = d_func();
    const std::lock_guard<std::recursive_mutex> guard(d->mutex);
    d->sendType = static_cast<std::uint16_t>(type);
    d->writeField16(d->sendHead, d->typePos, d->sendType);
}

void CvexAbstractPlcProtocol::setReceiveType(int type)
{
    CvexAbstractPlcProtocolPrivate* d = d_func();
    const std::lock_guard<std::recursive_mutex> guard(d->mutex);
    d->receiveType = static_cast<std::uint16_t>(type);
    d->writeField16(d->receiveHead, d->typePos, d->receiveType);
}

unsigned short CvexAbstractPlcProtocol::sendType() const
{
    const std::lock_guard<std::recursive_mutex> guard(d_func()->mutex);
    return d_func()->sendType;
}

unsigned short CvexAbstractPlcProtocol::receiveType() const
{
    const std::lock_guard<std::recursive_mutex> guard(d_func()->mutex);
    return d_func()->receiveType;
}

unsigned short CvexAbstractPlcProtocol::packNumberFetchAndAdd()
{
    return CvexAbstractPlcProtocolPrivate::packNumber.fetch_add(1);
}

unsigned short CvexAbstractPlcProtocol::packNumberFetchAndSub()
{
    return CvexAbstractPlcProtocolPrivate::packNumber.fetch_sub(1);
}

unsigned short CvexAbstractPlcProtocol::packNumberReset()
{
    return CvexAbstractPlcProtocolPrivate::packNumber.exchange(0);
}

CvexAbstractPlcProtocolPrivate* CvexAbstractPlcProtocol::d_func()
{
    return static_cast<CvexAbstractPlcProtocolPrivate*>(d_ptr.get());
}

const CvexAbstractPlcProtocolPrivate* CvexAbstractPlcProtocol::d_func() const
{
    return static_cast<const CvexAbstractPlcProtocolPrivate*>(d_ptr.get());
}

CvexAbstractPlcCommonProtocol::CvexAbstractPlcCommonProtocol()
    : CvexAbstractPlcProtocol(new CvexAbstractPlcCommonProtocolPrivate)
{
    CvexAbstractPlcCommonProtocol::initSend();
    CvexAbstractPlcCommonProtocol::initReceive();
}

CvexAbstractPlcCommonProtocol::~CvexAbstractPlcCommonProtocol() = default;

void CvexAbstractPlcCommonProtocol::initSend()
{
    CvexAbstractPlcProtocolPrivate* d = d_func();
    const std::lock_guard<std::recursive_mutex> guard(d->mutex);
    d->setupParts(d->sendHead, d->sendTail, 12);
}

void CvexAbstractPlcCommonProtocol::initReceive()
{
    CvexAbstractPlcProtocolPrivate* d = d_func();
    const std::lock_guard<std::recursive_mutex> guard(d->mutex);
    d->setupParts(d->receiveHead, d->receiveTail, 12);
}

CvexAbstractPlcCommonProtocolPrivate* CvexAbstractPlcCommonProtocol::d_func()
{
    return static_cast<CvexAbstractPlcCommonProtocolPrivate*>(d_ptr.get());
}

const CvexAbstractPlcCommonProtocolPrivate* CvexAbstractPlcCommonProtocol::d_func() const
{
    return static_cast<const CvexAbstractPlcCommonProtocolPrivate*>(d_ptr.get());
}

int CvexAbstractPlcCommonProtocol::composeRecordRequest(CvexByteArray& out, const CvexByteArray& in,
                                                        int recordSize)
{
    CvexAbstractPlcCommonProtocolPrivate* d = d_func();
    const PlcLock guard(d->mutex);
    if (in.isEmpty())
        return -1;
    const int count = in.size() / recordSize;
    d->stampPacketNumber();
    d->writeField16(d->sendHead, d->countPos, static_cast<std::uint16_t>(count));
    return d->finishPacket(out, in.left(count * recordSize));
}

int CvexAbstractPlcCommonProtocol::parsePayloadReply(const CvexByteArray& in)
{
    CvexAbstractPlcCommonProtocolPrivate* d = d_func();
    const PlcLock guard(d->mutex);
    CvexByteArray payload;
    if (!d->takeReplyPayload(in, payload))
        return -1;
    return writeToDataBase(payload);
}

CvexAbstractPlcTriggerProtocol::CvexAbstractPlcTriggerProtocol()
{
    CvexAbstractPlcTriggerProtocol::initSend();
    CvexAbstractPlcTriggerProtocol::initReceive();
}

CvexAbstractPlcTriggerProtocol::~CvexAbstractPlcTriggerProtocol() = default;

void CvexAbstractPlcTriggerProtocol::initSend()
{
    CvexAbstractPlcProtocolPrivate* d = d_func();
    const std::lock_guard<std::recursive_mutex> guard(d->mutex);
    d->setupParts(d->sendHead, d->sendTail, 8);
}

void CvexAbstractPlcTriggerProtocol::initReceive()
{
    CvexAbstractPlcProtocolPrivate* d = d_func();
    const std::lock_guard<std::recursive_mutex> guard(d->mutex);
    d->setupParts(d->receiveHead, d->receiveTail, 8);
}

} // namespace Orrery
