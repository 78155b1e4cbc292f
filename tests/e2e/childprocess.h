// SPDX-License-Identifier: MIT
// What the tool and end-to-end tests share: child processes with deadlines, UDP sockets on
// loopback ports, scratch folders and files.
#ifndef CHILDPROCESS_H
#define CHILDPROCESS_H

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace vextest {

// A fresh, empty folder under the scratch directory, removed with the object.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& path() const { return _path; }

private:
    std::string _path;
};

struct ProcessResult {
    int exitCode = -1; // -1 when it did not exit normally
    bool timedOut = false;
    std::string out;
    std::string err;
};

// A child that leads a process group of its own, so that stopping it (SIGTERM to the group,
// SIGKILL after a grace period) stops everything it started, and nothing else. Windows has no
// SIGTERM: the child is ended there at once. It is stopped at the latest when the object goes.
class BackgroundProcess {
public:
    explicit BackgroundProcess(const std::vector<std::string>& argv);
    ~BackgroundProcess() { stop(); }
    BackgroundProcess(const BackgroundProcess&) = delete;
    BackgroundProcess& operator=(const BackgroundProcess&) = delete;

    // Waits up to `timeout` for `text` to appear `times` times in the child's standard output.
    bool waitForOutput(const std::string& text, std::chrono::milliseconds timeout,
                       size_t times = 1) const;
#ifndef _WIN32
    // Sends `signal` to the child alone.
    void signal(int signal) const;
#endif
    // Gives the child `timeout` to exit by itself, then ends it; returns everything about it.
    ProcessResult stop(std::chrono::milliseconds timeout = std::chrono::milliseconds(0));

private:
    bool waitFor(std::chrono::milliseconds timeout);
    TempFolder _folder; // standard output and error
#ifdef _WIN32
    void* _process = nullptr;
    unsigned long _exitCode = 0;
#else
    int _pid = -1;
    int _status = 0;
#endif
    bool _stopped = false;
    ProcessResult _result;
};

inline ProcessResult runProcess(const std::vector<std::string>& argv,
                                std::chrono::milliseconds timeout)
{
    return BackgroundProcess(argv).stop(timeout);
}

// A UDP socket on a port of 127.0.0.1 that the system picked, held while the object lives.
class UdpSocket {
public:
    UdpSocket();
    ~UdpSocket();
    UdpSocket(const UdpSocket&) = delete;
    UdpSocket& operator=(const UdpSocket&) = delete;
    unsigned int port() const { return _port; }
    void sendTo(unsigned int port, const std::string& bytes);
    // Waits up to five seconds (or the timeout set last) for a datagram; empty when none comes.
    std::string receive();
    bool setReceiveTimeout(std::chrono::milliseconds timeout);

private:
    std::uintptr_t _fd = 0;
    unsigned int _port = 0;
};

// `count` different UDP ports on 127.0.0.1 that were free a moment ago.
std::vector<unsigned int> freeUdpPorts(size_t count);

// examples/common.json with other ports, so that tests never meet fixed ports.
std::string exampleCommon(unsigned int hostPort, unsigned int plcPort);

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& content);

} // namespace vextest

#endif // CHILDPROCESS_H
