// SPDX-License-Identifier: MIT
// The PLC end of a link, for tests and for the simulator: one UDP socket bound on construction,
// one receive thread that logs every datagram and hands it to an optional handler.
//
// It uses plain POSIX sockets only, so the bytes it sees are checked independently of the
// library's own transport.
#ifndef PLCPEER_H
#define PLCPEER_H

#include "plcreply.h"
#include "udpendpoint.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vexsim {

struct Datagram {
    std::string bytes;
    std::chrono::steady_clock::time_point at;
    UdpEndpoint from{};      // the sender, for datagrams the peer received
    uint16_t type() const;   // little-endian word at offset 4; 0xFFFF when shorter than 6 bytes
    uint16_t number() const; // little-endian word at offset 6; 0 when shorter than 8 bytes
};

class PlcPeerPrivate;

// Owns its socket and its receive thread; both end with the object. Every member may be called
// from any thread, including from inside the handler (which runs in the receive thread). The
// conditions given to waitFor() run under the peer's lock and must not call back into the peer.
class PlcPeer {
public:
    // Binds ip:port (port 0 picks a free one) and starts the receive thread; throws
    // std::runtime_error when the address is bad or the bind fails.
    explicit PlcPeer(const std::string& ip = "127.0.0.1", uint16_t port = 0);
    ~PlcPeer();
    PlcPeer(const PlcPeer&) = delete;
    PlcPeer& operator=(const PlcPeer&) = delete;

    uint16_t port() const;
    // The bound address and port.
    UdpEndpoint endpoint() const;
    // Where send() goes. Until it is set, send() answers the sender of the last datagram.
    void setHostEndpoint(const std::string& ip, uint16_t port);
    // Where send() goes until the first datagram arrives; unlike setHostEndpoint(), a datagram
    // from anywhere replaces it.
    void setDefaultHostEndpoint(const std::string& ip, uint16_t port);
    // Where send() goes now; address and port 0 while there is no host endpoint yet.
    UdpEndpoint hostEndpoint() const;
    // One datagram to the host endpoint; false when there is none yet or the send failed.
    bool send(const std::string& bytes);

    std::vector<Datagram> received() const;
    std::vector<Datagram> received(uint16_t type) const;
    size_t count(uint16_t type) const;
    bool waitForCount(uint16_t type, size_t n, std::chrono::milliseconds timeout) const;
    bool waitFor(const std::function<bool(const std::vector<Datagram>&)>& condition,
                 std::chrono::milliseconds timeout) const;
    void clearReceived();

    // Called in the receive thread for every datagram after it was logged; may call send().
    // Once setHandler() returns on another thread, the previous handler is no longer running.
    void setHandler(std::function<void(const Datagram&)> handler);

private:
    PlcPeerPrivate* d_func() { return _d.get(); }
    const PlcPeerPrivate* d_func() const { return _d.get(); }
    std::unique_ptr<PlcPeerPrivate> _d;
};

} // namespace vexsim

#endif // PLCPEER_H
