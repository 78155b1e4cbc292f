// SPDX-License-Identifier: MIT
#include "plcpeer.h"

#include "plcbytes.h"
#include "plcpeer_p.h"

#include <stdexcept>

namespace vexsim {

namespace {

constexpr size_t kMaxDatagram = 65536;

sockaddr_in makeAddress(const std::string& ip, uint16_t port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    if (inet_pton(AF_INET, ip.c_str(), &address.sin_addr) != 1)
        throw std::runtime_error("PlcPeer: not an IPv4 address: " + ip);
    return address;
}

// A bound socket, or kNoSocket with the reason in `error`.
vextool::Socket openBound(const sockaddr_in& address, std::string* error)
{
    vextool::startSockets();
    const vextool::Socket fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (fd != vextool::kNoSocket &&
        ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
        vextool::ignorePortUnreachable(fd);
        return fd;
    }
    *error = vextool::socketErrorText();
    vextool::closeSocket(fd);
    return vextool::kNoSocket;
}

sockaddr_in boundAddress(vextool::Socket fd)
{
    sockaddr_in bound{};
    socklen_t length = sizeof bound;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &length);
    return bound;
}

UdpEndpoint toEndpoint(const sockaddr_in& address)
{
    return {ntohl(address.sin_addr.s_addr), ntohs(address.sin_port)};
}

} // namespace

uint16_t Datagram::type() const
{
    uint16_t value = 0xFFFF;
    readU16(bytes, 4, value);
    return value;
}

uint16_t Datagram::number() const
{
    uint16_t value = 0;
    readU16(bytes, 6, value);
    return value;
}

void PlcPeerPrivate::bindSocket(const std::string& ip, uint16_t port)
{
    const sockaddr_in address = makeAddress(ip, port);
    std::string error;
    socketFd = openBound(address, &error);
    if (socketFd == vextool::kNoSocket)
        throw std::runtime_error("PlcPeer: cannot bind " + ip + ":" + std::to_string(port) + ": " +
                                 error);
    bound = toEndpoint(boundAddress(socketFd));
    wakeSocket = openBound(makeAddress("127.0.0.1", 0), &error);
    if (wakeSocket == vextool::kNoSocket) {
        closeAll();
        throw std::runtime_error("PlcPeer: wake-up socket: " + error);
    }
    wakeAddress = boundAddress(wakeSocket);
}

void PlcPeerPrivate::closeAll()
{
    for (vextool::Socket* fd : {&socketFd, &wakeSocket}) {
        vextool::closeSocket(*fd);
        *fd = vextool::kNoSocket;
    }
}

void PlcPeerPrivate::receiveLoop()
{
    for (;;) {
        pollfd fds[2] = {{socketFd, POLLIN, 0}, {wakeSocket, POLLIN, 0}};
        const int ready = vextool::pollSockets(fds, 2, -1);
        if (ready < 0 && vextool::interrupted())
            continue;
        if (ready < 0 || fds[1].revents != 0)
            return;
        if (fds[0].revents != 0)
            receiveOne();
    }
}

void PlcPeerPrivate::receiveOne()
{
    std::string buffer(kMaxDatagram, '\0');
    sockaddr_in sender{};
    socklen_t senderLength = sizeof sender;
    const auto size =
        ::recvfrom(socketFd, &buffer[0], static_cast<int>(buffer.size()), vextool::kDontWait,
                   reinterpret_cast<sockaddr*>(&sender), &senderLength);
    if (size < 0)
        return;
    buffer.resize(static_cast<size_t>(size));
    Datagram datagram{std::move(buffer), std::chrono::steady_clock::now(), toEndpoint(sender)};
    {
        std::lock_guard<std::mutex> lock(mutex);
        log.push_back(datagram);
        if (!hostFixed) {
            hostAddress = sender;
            hostKnown = true;
        }
    }
    arrived.notify_all();
    std::lock_guard<std::mutex> handlerLock(handlerMutex);
    if (handler) {
        // A copy, so that the handler may replace itself while it runs.
        const auto current = handler;
        current(datagram);
    }
}

PlcPeer::PlcPeer(const std::string& ip, uint16_t port) : _d(std::make_unique<PlcPeerPrivate>())
{
    PlcPeerPrivate* d = d_func();
    d->bindSocket(ip, port);
    d->thread = std::thread([d] { d->receiveLoop(); });
}

PlcPeer::~PlcPeer()
{
    PlcPeerPrivate* d = d_func();
    const char stop = 1;
    ::sendto(d->wakeSocket, &stop, 1, 0, reinterpret_cast<const sockaddr*>(&d->wakeAddress),
             sizeof d->wakeAddress);
    if (d->thread.joinable())
        d->thread.join();
    d->closeAll();
}

uint16_t PlcPeer::port() const
{
    return d_func()->bound.port;
}

UdpEndpoint PlcPeer::endpoint() const
{
    return d_func()->bound;
}

UdpEndpoint PlcPeer::hostEndpoint() const
{
    const PlcPeerPrivate* d = d_func();
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->hostKnown ? toEndpoint(d->hostAddress) : UdpEndpoint{};
}

void PlcPeer::setHostEndpoint(const std::string& ip, uint16_t port)
{
    PlcPeerPrivate* d = d_func();
    const sockaddr_in address = makeAddress(ip, port);
    std::lock_guard<std::mutex> lock(d->mutex);
    d->hostAddress = address;
    d->hostKnown = true;
    d->hostFixed = true;
}

void PlcPeer::setDefaultHostEndpoint(const std::string& ip, uint16_t port)
{
    PlcPeerPrivate* d = d_func();
    const sockaddr_in address = makeAddress(ip, port);
    std::lock_guard<std::mutex> lock(d->mutex);
    if (d->hostKnown)
        return;
    d->hostAddress = address;
    d->hostKnown = true;
}

bool PlcPeer::send(const std::string& bytes)
{
    PlcPeerPrivate* d = d_func();
    sockaddr_in target{};
    {
        std::lock_guard<std::mutex> lock(d->mutex);
        if (!d->hostKnown)
            return false;
        target = d->hostAddress;
    }
    const auto sent = ::sendto(d->socketFd, bytes.data(), static_cast<int>(bytes.size()), 0,
                               reinterpret_cast<const sockaddr*>(&target), sizeof target);
    return sent >= 0 && static_cast<size_t>(sent) == bytes.size();
}

std::vector<Datagram> PlcPeer::received() const
{
    const PlcPeerPrivate* d = d_func();
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->log;
}

std::vector<Datagram> PlcPeer::received(uint16_t type) const
{
    const PlcPeerPrivate* d = d_func();
    std::lock_guard<std::mutex> lock(d->mutex);
    std::vector<Datagram> matching;
    for (const Datagram& datagram : d->log) {
        if (datagram.type() == type)
            matching.push_back(datagram);
    }
    return matching;
}

size_t PlcPeer::count(uint16_t type) const
{
    const PlcPeerPrivate* d = d_func();
    std::lock_guard<std::mutex> lock(d->mutex);
    size_t n = 0;
    for (const Datagram& datagram : d->log)
        n += datagram.type() == type ? 1 : 0;
    return n;
}

bool PlcPeer::waitForCount(uint16_t type, size_t n, std::chrono::milliseconds timeout) const
{
    return waitFor(
        [type, n](const std::vector<Datagram>& log) {
            size_t seen = 0;
            for (const Datagram& datagram : log)
                seen += datagram.type() == type ? 1 : 0;
            return seen >= n;
        },
        timeout);
}

bool PlcPeer::waitFor(const std::function<bool(const std::vector<Datagram>&)>& condition,
                      std::chrono::milliseconds timeout) const
{
    const PlcPeerPrivate* d = d_func();
    std::unique_lock<std::mutex> lock(d->mutex);
    return d->arrived.wait_for(lock, timeout, [&] { return condition(d->log); });
}

void PlcPeer::clearReceived()
{
    PlcPeerPrivate* d = d_func();
    std::lock_guard<std::mutex> lock(d->mutex);
    d->log.clear();
}

void PlcPeer::setHandler(std::function<void(const Datagram&)> handler)
{
    PlcPeerPrivate* d = d_func();
    if (std::this_thread::get_id() == d->thread.get_id()) {
        // Inside the handler: the receive thread already holds handlerMutex.
        d->handler = std::move(handler);
        return;
    }
    std::lock_guard<std::mutex> lock(d->handlerMutex);
    d->handler = std::move(handler);
}

} // namespace vexsim
