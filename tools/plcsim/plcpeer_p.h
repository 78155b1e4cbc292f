// SPDX-License-Identifier: MIT
// Private data of PlcPeer; not part of the peer's interface.
#ifndef PLCPEER_P_H
#define PLCPEER_P_H

#include "plcpeer.h"

#include <netinet/in.h>

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

    int socketFd = -1;
    int wakeRead = -1; // the destructor writes to wakeWrite to end poll() at once
    int wakeWrite = -1;
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
