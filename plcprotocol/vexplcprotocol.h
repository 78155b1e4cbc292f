// SPDX-License-Identifier: MIT
#ifndef VEXPLCPROTOCOL_H
#define VEXPLCPROTOCOL_H

#include "vexabstractprotocol.h"
#include "vexglobal.h"

namespace Orrery {

class CvexAbstractProtocolPrivate;
class CvexAbstractPlcProtocolPrivate;
class CvexAbstractPlcCommonProtocolPrivate;

// Root of every PLC packet protocol. Owns its private data (head and tail parts, header positions,
// type codes and the lock that serialises its composes and parses) through the framework base.
// The packet number counter is one for the whole process and may be used from any thread; one
// protocol object may be shared by threads because every compose and parse takes its lock.
class VEX_PLCCOMMON_EXPORT CvexAbstractPlcProtocol : public CvexAbstractProtocol {
public:
    CvexAbstractPlcProtocol();
    // Installs a larger private object of a derived family.
    explicit CvexAbstractPlcProtocol(CvexAbstractProtocolPrivate* d);
    ~CvexAbstractPlcProtocol() override;

    virtual void initSend();
    virtual void initReceive();

    // Stores the code and writes it into the send (receive) head at the type position.
    void setSendType(int type);
    void setReceiveType(int type);
    unsigned short sendType() const;
    unsigned short receiveType() const;

    // Atomic operations on the process-wide packet number; each returns the value before.
    static unsigned short packNumberFetchAndAdd();
    static unsigned short packNumberFetchAndSub();
    static unsigned short packNumberReset();

    CvexAbstractPlcProtocolPrivate* d_func();
    const CvexAbstractPlcProtocolPrivate* d_func() const;
};

// The request/reply family: 12-byte head (mark, length, type, number, argument, count) and a
// 2-byte tail. Ownership and threads as for CvexAbstractPlcProtocol.
class VEX_PLCCOMMON_EXPORT CvexAbstractPlcCommonProtocol : public CvexAbstractPlcProtocol {
public:
    CvexAbstractPlcCommonProtocol();
    ~CvexAbstractPlcCommonProtocol() override;

    void initSend() override;
    void initReceive() override;

    CvexAbstractPlcCommonProtocolPrivate* d_func();
    const CvexAbstractPlcCommonProtocolPrivate* d_func() const;

protected:
    // A request whose payload is the whole records of `in`, `recordSize` bytes each, and whose
    // item count says how many; returns its size, or -1 without taking a packet number for an
    // empty `in`.
    int composeRecordRequest(CvexByteArray& out, const CvexByteArray& in, int recordSize);
    // A reply whose length field announces a payload, handed to writeToDataBase; -1 for a reply
    // too short or whose length field does not fit the datagram.
    int parsePayloadReply(const CvexByteArray& in);
};

// The trigger family: 8-byte head (mark, length, type, number) and a 2-byte tail. Ownership and
// threads as for CvexAbstractPlcProtocol.
class VEX_PLCCOMMON_EXPORT CvexAbstractPlcTriggerProtocol : public CvexAbstractPlcProtocol {
public:
    CvexAbstractPlcTriggerProtocol();
    ~CvexAbstractPlcTriggerProtocol() override;

    void initSend() override;
    void initReceive() override;
};

} // namespace Orrery

#endif // VEXPLCPROTOCOL_H
