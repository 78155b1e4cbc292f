// SPDX-License-Identifier: MIT
// The host end of a test link: a bare UDP socket on an ephemeral loopback port.
#ifndef HOSTSOCKET_H
#define HOSTSOCKET_H

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <string>

namespace hostpackets {

class HostSocket {
public:
    HostSocket()
    {
        _fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in address = loopback(0);
        ::bind(_fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        socklen_t length = sizeof address;
        ::getsockname(_fd, reinterpret_cast<sockaddr*>(&address), &length);
        _port = ntohs(address.sin_port);
        timeval timeout{5, 0};
        ::setsockopt(_fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    }
    ~HostSocket() { ::close(_fd); }
    HostSocket(const HostSocket&) = delete;
    HostSocket& operator=(const HostSocket&) = delete;

    uint16_t port() const { return _port; }
    void sendTo(uint16_t port, const std::string& bytes)
    {
        sockaddr_in address = loopback(port);
        ::sendto(_fd, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&address),
                 sizeof address);
    }
    // Blocks up to five seconds; empty on timeout.
    std::string receive()
    {
        std::string buffer(2048, '\0');
        const ssize_t size = ::recv(_fd, &buffer[0], buffer.size(), 0);
        buffer.resize(size > 0 ? static_cast<size_t>(size) : 0);
        return buffer;
    }

private:
    static sockaddr_in loopback(uint16_t port)
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return address;
    }
    int _fd = -1;
    uint16_t _port = 0;
};

} // namespace hostpackets

#endif // HOSTSOCKET_H
