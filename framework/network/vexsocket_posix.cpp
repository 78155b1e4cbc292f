// SPDX-License-Identifier: MIT
#include "vexsocket_p.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/socket.h>
#include <system_error>
#include <unistd.h>

namespace Orrery {
namespace vexsocket {

int lastError()
{
    return errno;
}

std::string errorText(int code)
{
    return std::system_category().message(code);
}

Native openUdp()
{
    return ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
}

bool bind(Native socket, const sockaddr_in& local, bool exclusive, sockaddr_in* bound)
{
    const int one = 1;
    if (!exclusive)
        ::setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &one, sizeof(one));
    socklen_t length = sizeof(*bound);
    return ::bind(socket, reinterpret_cast<const sockaddr*>(&local), sizeof(local)) == 0 &&
           ::getsockname(socket, reinterpret_cast<sockaddr*>(bound), &length) == 0;
}

void close(Native socket)
{
    if (socket != kInvalid)
        ::close(socket);
}

Native duplicate(Native socket)
{
    return ::fcntl(socket, F_DUPFD_CLOEXEC, 0);
}

long long peekSize(Native socket)
{
    // A few rounds: a pending network error is reported (and cleared) by one receive call.
    for (int attempt = 0; attempt < 4; ++attempt) {
        char probe = 0;
        const ssize_t size = ::recv(socket, &probe, sizeof(probe), MSG_PEEK | MSG_TRUNC);
        if (size >= 0)
            return size;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return -1;
    }
    return -1;
}

long long receiveFrom(Native socket, char* data, std::size_t capacity, sockaddr_in* sender)
{
    socklen_t length = sizeof(*sender);
    ssize_t size = -1;
    do {
        size = ::recvfrom(socket, data, capacity, 0, reinterpret_cast<sockaddr*>(sender), &length);
    } while (size < 0 && errno == EINTR);
    return size;
}

long long sendTo(Native socket, const char* data, std::size_t size, const sockaddr_in& peer)
{
    ssize_t sent = -1;
    do {
        sent = ::sendto(socket, data, size, MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&peer),
                        sizeof(peer));
    } while (sent < 0 && errno == EINTR);
    return sent;
}

} // namespace vexsocket
} // namespace Orrery
