// SPDX-License-Identifier: MIT
// Private data of PlcPeer; not part of the peer's interface.
#ifndef PLCPEER_P_H
#define PLCPEER_P_H

#include "plcpeer.h"
#include "toolsocket.h"

#include <condition_variable>
#include <mutex>
#include <thread>

namespace vexsim {

class PlcPeerPrivate {
public:
    PlcPeerPrivate() = default;
    PlcPeerPrivate(const PlcPeerPrivate&) = delete;
    PlcPeerPrivate& operator=(const PlcPeerPrivate&) = delete;

    void bindSocket(const std::string& ip, uint16_t port);
    void receiveLoop();
    void receiveOne();
    void closeAll();

    vextool::Socket socketFd = vextool::kNoSocket;
    // The destructor sends a datagram to this socket to end poll() at once.
    vextool::Socket wakeSocket = vextool::kNoSocket;
    sockaddr_in wakeAddress{};
    UdpEndpoint bound;
    std::thread thread;

    mutable std::mutex mutex; // guards everything below
    mutable std::condition_variable arrived;
    std::vector<Datagram> log;
    sockaddr_in hostAddress{};
    bool hostKnown = false;
    bool hostFixed = false;

    // Held while the handler runs, so that replacing it waits for a running call to end.
    std::mutex handlerMutex;
    std::function<void(const Datagram&)> handler;
};

} // namespace vexsim

#endif // PLCPEER_P_H
