// SPDX-License-Identifier: MIT
// Where a datagram came from or went to. A plain value.
#ifndef UDPENDPOINT_H
#define UDPENDPOINT_H

#include <cstdint>

namespace vexsim {

// An IPv4 address and a port, both in host byte order.
struct UdpEndpoint {
    uint32_t address = 0;
    uint16_t port = 0;
};

} // namespace vexsim

#endif // UDPENDPOINT_H
