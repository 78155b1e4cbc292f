// SPDX-License-Identifier: MIT
// The socket calls of the tools, the same on Linux and Windows: Winsock's names and types differ
// from POSIX in a few places only, and those are bridged here.
#ifndef TOOLSOCKET_H
#define TOOLSOCKET_H

#ifdef _WIN32
#include <mswsock.h>
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#endif

#include <string>

namespace vextool {

#ifdef _WIN32
using Socket = SOCKET;
constexpr Socket kNoSocket = INVALID_SOCKET;
// Winsock has no MSG_DONTWAIT; the tools receive only after poll reported a datagram.
constexpr int kDontWait = 0;

// Winsock must be started once per process before its first call.
inline void startSockets()
{
    static const bool started = [] {
        WSADATA data{};
        return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    (void)started;
}

inline void closeSocket(Socket socket)
{
    if (socket != kNoSocket)
        ::closesocket(socket);
}

// Otherwise an ICMP "port unreachable" for an earlier datagram (a host not yet listening) fails
// the next receive on Windows.
inline void ignorePortUnreachable(Socket socket)
{
    BOOL report = FALSE;
    DWORD returned = 0;
    ::WSAIoctl(socket, SIO_UDP_CONNRESET, &report, sizeof(report), nullptr, 0, &returned, nullptr,
               nullptr);
}

inline int pollSockets(pollfd* fds, unsigned long count, int timeoutMs)
{
    return ::WSAPoll(fds, count, timeoutMs);
}

inline bool interrupted()
{
    return false;
}

// The last call failed because the address is not one of this machine's.
inline bool addressNotAvailable()
{
    return ::WSAGetLastError() == WSAEADDRNOTAVAIL;
}

// The texts Linux gives for the errors a user meets, so that messages read the same everywhere.
inline std::string socketErrorText()
{
    const int error = ::WSAGetLastError();
    switch (error) {
    case WSAEADDRINUSE:
        return "Address already in use";
    case WSAEADDRNOTAVAIL:
        return "Cannot assign requested address";
    case WSAEACCES:
        return "Permission denied";
    default:
        return "Winsock error " + std::to_string(error);
    }
}
#else
using Socket = int;
constexpr Socket kNoSocket = -1;
constexpr int kDontWait = MSG_DONTWAIT;

inline void startSockets() {}

inline void closeSocket(Socket socket)
{
    if (socket >= 0)
        ::close(socket);
}

inline void ignorePortUnreachable(Socket) {}

inline int pollSockets(pollfd* fds, unsigned long count, int timeoutMs)
{
    return ::poll(fds, count, timeoutMs);
}

inline bool interrupted()
{
    return errno == EINTR;
}

inline bool addressNotAvailable()
{
    return errno == EADDRNOTAVAIL;
}

inline std::string socketErrorText()
{
    return std::strerror(errno);
}
#endif

} // namespace vextool

#endif // TOOLSOCKET_H
