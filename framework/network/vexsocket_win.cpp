// SPDX-License-Identifier: MIT
#include "vexsocket_p.h"

#include <mswsock.h>
#include <ws2tcpip.h>

#include <mutex>
#include <string>
#include <vector>

namespace Orrery {
namespace vexsocket {

namespace {

// The largest datagram; a peek must see all of it to learn its size.
constexpr int kMaxDatagram = 65536;

void startWinsock()
{
    static std::once_flag started;
    std::call_once(started, [] {
        WSADATA data{};
        ::WSAStartup(MAKEWORD(2, 2), &data);
    });
}

// Windows reports an ICMP "port unreachable" for an earlier datagram as a failure of the next
// receive; a PLC that is switched off would stop reception for good.
void ignorePortUnreachable(Native socket)
{
    BOOL report = FALSE;
    DWORD returned = 0;
    ::WSAIoctl(socket, SIO_UDP_CONNRESET, &report, sizeof(report), nullptr, 0, &returned, nullptr,
               nullptr);
}

} // namespace

int lastError()
{
    return ::WSAGetLastError();
}

std::string errorText(int code)
{
    switch (code) {
    case WSAEADDRINUSE:
        return "Address already in use";
    case WSAEADDRNOTAVAIL:
        return "Cannot assign requested address";
    case WSAEACCES:
        return "Permission denied";
    case WSAEHOSTUNREACH:
        return "No route to host";
    case WSAENETUNREACH:
        return "Network is unreachable";
    default:
        return "Winsock error " + std::to_string(code);
    }
}

Native openUdp()
{
    startWinsock();
    const Native socket =
        ::WSASocketW(AF_INET, SOCK_DGRAM, IPPROTO_UDP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
    if (socket == kInvalid)
        return kInvalid;
    u_long nonBlocking = 1;
    ::ioctlsocket(socket, FIONBIO, &nonBlocking);
    ignorePortUnreachable(socket);
    return socket;
}

// Without SO_EXCLUSIVEADDRUSE Windows lets a second program bind a port that is in use, or take
// it over with SO_REUSEADDR; that must fail as it does on Linux. Sharing within the process is not
// offered on Windows, so both kinds of bind are exclusive.
bool bind(Native socket, const sockaddr_in& local, bool /*exclusive*/, sockaddr_in* bound)
{
    const BOOL one = TRUE;
    ::setsockopt(socket, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&one),
                 sizeof(one));
    int length = sizeof(*bound);
    return ::bind(socket, reinterpret_cast<const sockaddr*>(&local), sizeof(local)) == 0 &&
           ::getsockname(socket, reinterpret_cast<sockaddr*>(bound), &length) == 0;
}

void close(Native socket)
{
    if (socket != kInvalid)
        ::closesocket(socket);
}

Native duplicate(Native socket)
{
    WSAPROTOCOL_INFOW info{};
    if (::WSADuplicateSocketW(socket, ::GetCurrentProcessId(), &info) != 0)
        return kInvalid;
    return ::WSASocketW(FROM_PROTOCOL_INFO, FROM_PROTOCOL_INFO, FROM_PROTOCOL_INFO, &info, 0,
                        WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
}

// Windows has no MSG_TRUNC: the size is learnt by peeking the whole datagram. A pending
// "connection reset" is still cleared by a few rounds, should the system report one anyway.
long long peekSize(Native socket)
{
    thread_local std::vector<char> buffer(kMaxDatagram);
    for (int attempt = 0; attempt < 4; ++attempt) {
        const int size = ::recv(socket, buffer.data(), kMaxDatagram, MSG_PEEK);
        if (size >= 0)
            return size;
        if (::WSAGetLastError() == WSAEWOULDBLOCK)
            return -1;
    }
    return -1;
}

long long receiveFrom(Native socket, char* data, std::size_t capacity, sockaddr_in* sender)
{
    int length = sizeof(*sender);
    const int size = ::recvfrom(socket, data, static_cast<int>(capacity), 0,
                                reinterpret_cast<sockaddr*>(sender), &length);
    // A datagram larger than the buffer arrives cut, as on Linux.
    if (size < 0 && ::WSAGetLastError() == WSAEMSGSIZE)
        return static_cast<long long>(capacity);
    return size;
}

long long sendTo(Native socket, const char* data, std::size_t size, const sockaddr_in& peer)
{
    return ::sendto(socket, data, static_cast<int>(size), 0,
                    reinterpret_cast<const sockaddr*>(&peer), sizeof(peer));
}

} // namespace vexsocket
} // namespace Orrery
