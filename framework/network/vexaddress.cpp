// SPDX-License-Identifier: MIT
#include "vexaddress.h"

#ifdef _WIN32
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#endif

namespace Orrery {

CvexAddress::CvexAddress(const std::string& dotted)
{
    in_addr parsed{};
    if (inet_pton(AF_INET, dotted.c_str(), &parsed) == 1) {
        _ip4 = ntohl(parsed.s_addr);
        _null = false;
    }
}

CvexAddress::CvexAddress(unsigned int ip4) : _ip4(ip4), _null(false) {}

std::string CvexAddress::toString() const
{
    if (_null)
        return std::string();
    in_addr address{};
    address.s_addr = htonl(_ip4);
    char text[INET_ADDRSTRLEN] = {};
    return inet_ntop(AF_INET, &address, text, sizeof(text)) ? std::string(text) : std::string();
}

} // namespace Orrery
