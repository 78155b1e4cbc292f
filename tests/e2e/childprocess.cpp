// SPDX-License-Identifier: MIT
#include "childprocess.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace vextest {

TempFolder::TempFolder()
{
    const char* root = std::getenv("TMPDIR");
    _path = std::string(root && *root ? root : "/tmp") + "/vexplc-test-XXXXXX";
    if (!mkdtemp(_path.data()))
        throw std::runtime_error("cannot create a scratch folder " + _path);
}

TempFolder::~TempFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all(_path, ignored);
}

BackgroundProcess::BackgroundProcess(const std::vector<std::string>& argv)
{
    // Everything the child needs is made before the fork: only async-signal-safe calls after it.
    std::vector<char*> args;
    for (const std::string& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    const std::string out = _folder.path() + "/out";
    const std::string err = _folder.path() + "/err";
    _pid = fork();
    if (_pid < 0)
        throw std::runtime_error("fork failed");
    if (_pid == 0) {
        setpgid(0, 0);
        const int fds[] = {open("/dev/null", O_RDONLY),
                           open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644),
                           open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644)};
        for (int target = 0; target < 3; ++target) {
            if (fds[target] < 0 || dup2(fds[target], target) < 0)
                _exit(126);
        }
        execvp(args[0], args.data());
        _exit(127);
    }
    setpgid(_pid, _pid);
}

bool BackgroundProcess::waitFor(std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const pid_t done = waitpid(_pid, &_status, WNOHANG);
        if (done == _pid || done < 0)
            return done == _pid;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
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

void BackgroundProcess::signal(int number) const
{
    kill(_pid, number);
}

ProcessResult BackgroundProcess::stop(std::chrono::milliseconds timeout)
{
    if (_stopped)
        return _result;
    _stopped = true;
    if (!waitFor(timeout)) {
        _result.timedOut = true;
        kill(-_pid, SIGTERM);
        if (!waitFor(std::chrono::seconds(5))) {
            kill(-_pid, SIGKILL);
            waitpid(_pid, &_status, 0);
        }
    }
    _result.exitCode = WIFEXITED(_status) ? WEXITSTATUS(_status) : -1;
    _result.out = readFile(_folder.path() + "/out");
    _result.err = readFile(_folder.path() + "/err");
    return _result;
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

UdpSocket::UdpSocket() : _fd(socket(AF_INET, SOCK_DGRAM, 0))
{
    sockaddr_in address = loopback(0);
    socklen_t length = sizeof address;
    const timeval timeout{5, 0};
    if (_fd < 0 || bind(_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        getsockname(_fd, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        setsockopt(_fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout) != 0)
        throw std::runtime_error("cannot bind a UDP socket on 127.0.0.1");
    _port = ntohs(address.sin_port);
}

UdpSocket::~UdpSocket()
{
    close(_fd);
}

void UdpSocket::sendTo(unsigned int port, const std::string& bytes)
{
    const sockaddr_in address = loopback(port);
    sendto(_fd, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&address),
           sizeof address);
}

std::string UdpSocket::receive()
{
    std::string buffer(2048, '\0');
    const ssize_t size = recv(_fd, &buffer[0], buffer.size(), 0);
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
