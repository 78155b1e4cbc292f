// SPDX-License-Identifier: MIT
#include "portprobe.h"
#include "toolsocket.h"

namespace plchost {

std::string PortProbe::bindProblem(const std::string& ip, unsigned int port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    if (inet_pton(AF_INET, ip.c_str(), &address.sin_addr) != 1)
        return "\"" + ip + "\" is not an IPv4 address";
    vextool::startSockets();
    const vextool::Socket fd = socket(AF_INET, SOCK_DGRAM, 0);
    if (fd == vextool::kNoSocket)
        return "cannot open a UDP socket: " + vextool::socketErrorText();
    std::string problem;
    if (bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        problem = vextool::socketErrorText();
    vextool::closeSocket(fd);
    return problem;
}

} // namespace plchost
