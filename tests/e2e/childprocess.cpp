// SPDX-License-Identifier: MIT
#include "childprocess.h"

#include "toolsocket.h"

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace vextest {

TempFolder::TempFolder()
{
    std::mt19937_64 random{std::random_device{}()};
    const std::filesystem::path root = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100 && _path.empty(); ++attempt) {
        const std::filesystem::path candidate =
            root / ("vexplc-test-" + std::to_string(random() % 1000000000));
        if (std::filesystem::create_directory(candidate))
            _path = candidate.string();
    }
    if (_path.empty())
        throw std::runtime_error("cannot create a scratch folder in " + root.string());
}

TempFolder::~TempFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all(_path, ignored);
}

bool BackgroundProcess::waitForOutput(const std::string& text, std::chrono::milliseconds timeout,
                                      size_t times) const
{
    auto count = [&] {
        const std::string out = readFile(_folder.path() + "/out");
        size_t found = 0;
        for (size_t at = out.find(text); at != std::string::npos; at = out.find(text, at + 1))
            ++found;
        return found;
    };
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (count() < times) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

namespace {

sockaddr_in loopback(unsigned int port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

} // namespace

UdpSocket::UdpSocket()
{
    vextool::startSockets();
    const vextool::Socket fd = socket(AF_INET, SOCK_DGRAM, 0);
    _fd = static_cast<std::uintptr_t>(fd);
    sockaddr_in address = loopback(0);
    socklen_t length = sizeof address;
    if (fd == vextool::kNoSocket ||
        bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        !setReceiveTimeout(std::chrono::seconds(5)))
        throw std::runtime_error("cannot bind a UDP socket on 127.0.0.1");
    vextool::ignorePortUnreachable(fd);
    _port = ntohs(address.sin_port);
}

bool UdpSocket::setReceiveTimeout(std::chrono::milliseconds timeout)
{
#ifdef _WIN32
    const auto value = static_cast<DWORD>(timeout.count());
#else
    const timeval value{static_cast<time_t>(timeout.count() / 1000),
                        static_cast<suseconds_t>(timeout.count() % 1000 * 1000)};
#endif
    return setsockopt(static_cast<vextool::Socket>(_fd), SOL_SOCKET, SO_RCVTIMEO,
                      reinterpret_cast<const char*>(&value), sizeof value) == 0;
}

UdpSocket::~UdpSocket()
{
    vextool::closeSocket(static_cast<vextool::Socket>(_fd));
}

void UdpSocket::sendTo(unsigned int port, const std::string& bytes)
{
    const sockaddr_in address = loopback(port);
    sendto(static_cast<vextool::Socket>(_fd), bytes.data(), static_cast<int>(bytes.size()), 0,
           reinterpret_cast<const sockaddr*>(&address), sizeof address);
}

std::string UdpSocket::receive()
{
    std::string buffer(2048, '\0');
    const auto size =
        recv(static_cast<vextool::Socket>(_fd), &buffer[0], static_cast<int>(buffer.size()), 0);
    buffer.resize(size > 0 ? static_cast<size_t>(size) : 0);
    return buffer;
}

std::vector<unsigned int> freeUdpPorts(size_t count)
{
    // All are held until the last is picked, so that the system picks different ones.
    const std::vector<UdpSocket> held(count);
    std::vector<unsigned int> ports;
    for (const UdpSocket& socket : held)
        ports.push_back(socket.port());
    return ports;
}

std::string exampleCommon(unsigned int hostPort, unsigned int plcPort)
{
    std::string text = readFile(VEXPLC_SOURCE_DIR "/examples/common.json");
    for (const auto& [from, to] : {std::pair<std::string, unsigned int>{"30001", hostPort},
                                   std::pair<std::string, unsigned int>{"30002", plcPort}}) {
        const size_t at = text.find("\"Port\": " + from);
        if (at == std::string::npos)
            throw std::runtime_error("examples/common.json has no port " + from);
        text.replace(at + 8, from.size(), std::to_string(to));
    }
    return text;
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void writeFile(const std::string& path, const std::string& content)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

} // namespace vextest
