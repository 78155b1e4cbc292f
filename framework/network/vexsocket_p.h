// SPDX-License-Identifier: MIT
//
// Not part of the public API: the system calls of a UDP socket, one implementation per platform
// (vexsocket_posix.cpp, vexsocket_win.cpp), so that CvexUdp itself is written once.
#ifndef VEXSOCKET_P_H
#define VEXSOCKET_P_H

#ifdef _WIN32
#include <winsock2.h>
#else
#include <cerrno>
#include <netinet/in.h>
#endif

#include <cstddef>
#include <cstdint>
#include <string>

namespace Orrery {
namespace vexsocket {

#ifdef _WIN32
using Native = SOCKET;
constexpr Native kInvalid = INVALID_SOCKET;
constexpr int kAddressNotAvailable = WSAEADDRNOTAVAIL;
#else
using Native = int;
constexpr Native kInvalid = -1;
constexpr int kAddressNotAvailable = EADDRNOTAVAIL;
#endif

// The system's code of the last failed call of this thread, and its text as Linux words it, so
// that a diagnostic line reads the same on both systems.
int lastError();
std::string errorText(int code);

// A non-blocking IPv4 UDP socket that child processes do not inherit. On Windows the ICMP "port
// unreachable" of an earlier datagram is not reported by the next receive: a switched-off peer
// must not break reception.
Native openUdp();
// With `exclusive` no other socket may share the port; without it, on Linux, other sockets that
// also ask for sharing may (Windows binds exclusively always). A port that another program holds
// fails on every platform.
bool bind(Native socket, const sockaddr_in& local, bool exclusive, sockaddr_in* bound);
// Closes an open socket; kInvalid is left alone.
void close(Native socket);
// A second handle of the same socket, closed on its own.
Native duplicate(Native socket);

// Exact size of the next datagram without taking it, -1 when none waits.
long long peekSize(Native socket);
// -1 when nothing waits or on error.
long long receiveFrom(Native socket, char* data, std::size_t capacity, sockaddr_in* sender);
long long sendTo(Native socket, const char* data, std::size_t size, const sockaddr_in& peer);

// Owns one socket and closes it when destroyed, so that no path, a failed bind or a failed
// registration with an event loop included, leaves it open. Move-only; one owner is used by one
// thread at a time.
class Handle {
public:
    Handle() = default;
    explicit Handle(Native socket) : _socket(socket) {}
    ~Handle() { close(_socket); }
    Handle(Handle&& other) noexcept : _socket(other.release()) {}
    Handle& operator=(Handle&& other) noexcept
    {
        reset(other.release());
        return *this;
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    Native get() const { return _socket; }
    bool isValid() const { return _socket != kInvalid; }
    // Gives the socket up without closing it: the caller owns it from now on.
    Native release()
    {
        const Native socket = _socket;
        _socket = kInvalid;
        return socket;
    }
    // Closes the socket held, unless it is `socket` itself, and takes `socket`.
    void reset(Native socket = kInvalid)
    {
        const Native previous = _socket;
        _socket = socket;
        if (previous != socket)
            close(previous);
    }

private:
    Native _socket = kInvalid;
};

} // namespace vexsocket
} // namespace Orrery

#endif // VEXSOCKET_P_H
