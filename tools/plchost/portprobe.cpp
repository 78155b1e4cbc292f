// SPDX-License-Identifier: MIT
#include "portprobe.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace plchost {

std::string PortProbe::bindProblem(const std::string& ip, unsigned int port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    if (inet_pton(AF_INET, ip.c_str(), &address.sin_addr) != 1)
        return "\"" + ip + "\" is not an IPv4 address";
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0)
        return std::string("cannot open a UDP socket: ") + std::strerror(errno);
    std::string problem;
    if (bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        problem = std::strerror(errno);
    close(fd);
    return problem;
}

} // namespace plchost
