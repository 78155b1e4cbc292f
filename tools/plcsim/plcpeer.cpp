// SPDX-License-Identifier: MIT
#include "plcpeer.h"

#include "plcbytes.h"
#include "plcpeer_p.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
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

std::string systemError(const std::string& what)
{
    return what + ": " + std::strerror(errno);
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
    socketFd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (socketFd < 0)
        throw std::runtime_error(systemError("PlcPeer: socket"));
    if (::bind(socketFd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        const std::string message =
            systemError("PlcPeer: cannot bind " + ip + ":" + std::to_string(port));
        closeAll();
        throw std::runtime_error(message);
    }
    sockaddr_in boundAddress{};
    socklen_t length = sizeof boundAddress;
    ::getsockname(socketFd, reinterpret_cast<sockaddr*>(&boundAddress), &length);
    bound = toEndpoint(boundAddress);
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0) {
        const std::string message = systemError("PlcPeer: pipe");
        closeAll();
        throw std::runtime_error(message);
    }
    wakeRead = pipeFds[0];
    wakeWrite = pipeFds[1];
}

void PlcPeerPrivate::closeAll()
{
    for (int* fd : {&socketFd, &wakeRead, &wakeWrite}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}

void PlcPeerPrivate::receiveLoop()
{
    for (;;) {
        pollfd fds[2] = {{socketFd, POLLIN, 0}, {wakeRead, POLLIN, 0}};
        const int ready = ::poll(fds, 2, -1);
        if (ready < 0 && errno == EINTR)
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
    const ssize_t size = ::recvfrom(socketFd, &buffer[0], buffer.size(), MSG_DONTWAIT,
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
    while (::write(d->wakeWrite, &stop, 1) < 0 && errno == EINTR) {
    }
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
    const ssize_t sent = ::sendto(d->socketFd, bytes.data(), bytes.size(), 0,
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
