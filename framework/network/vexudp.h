// SPDX-License-Identifier: MIT
#ifndef VEXUDP_H
#define VEXUDP_H

#include "vexaddress.h"
#include "vexbytearray.h"
#include "vexglobal.h"
#include "vexobject.h"

#include <memory>
#include <string>

namespace Orrery {

class CvexUdpPrivate;

// A UDP socket on IPv4.
//
// While datagrams wait, "readyRead" is emitted in the socket's thread (the thread it was moved
// to, whose event loop must run); it comes again after the handlers returned as long as datagrams
// are still waiting. A datagram that the handlers read before the loop saw it arrive may bring one
// more "readyRead" whose first read returns -1. One readDatagram takes exactly one datagram; a
// datagram of zero bytes is a pending datagram of size 0. writeDatagram may be called from any
// thread; reading belongs to one thread at a time.
class VEX_NETWORK_EXPORT CvexUdp : public CvexObject {
public:
    explicit CvexUdp(CvexObject* parent = nullptr);
    ~CvexUdp() override;

    // Binds to a local address (port 0 picks a free port). With `exclusive` the bind fails when
    // another socket holds the port. False for a null address (the socket is left as it was), an
    // address that is not local or a port in use. Binding a bound socket closes it first, so it
    // then listens on the new endpoint only.
    bool bind(const CvexAddress& address, unsigned short port, bool exclusive = true);
    void close();
    bool isBound() const;
    // The system's reason for the last failed bind or send: its error number (0 while nothing
    // failed) and its text ("Address already in use").
    int error() const;
    std::string errorString() const;
    CvexAddress localAddress() const;
    unsigned short localPort() const;

    bool hasPendingDatagrams() const;
    // Exact size of the next datagram, -1 when none waits.
    long long pendingDatagramSize() const;
    // Takes one datagram; copies at most `maxSize` bytes of it and drops the rest. Returns the
    // bytes copied, or -1 when no datagram could be read.
    long long readDatagram(char* data, long long maxSize, CvexAddress* address = nullptr,
                           unsigned short* port = nullptr);
    // Sends one datagram; returns the bytes sent or -1.
    long long writeDatagram(const char* data, long long size, const CvexAddress& address,
                            unsigned short port);
    long long writeDatagram(const CvexByteArray& datagram, const CvexAddress& address,
                            unsigned short port);

protected:
    void threadChangeEvent(CvexThread* thread) override;
    void connectNotify(const std::string& signal) override;

private:
    std::shared_ptr<CvexUdpPrivate> d_ptr;
};

} // namespace Orrery

#endif // VEXUDP_H
