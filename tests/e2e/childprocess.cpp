// SPDX-License-Identifier: MIT
#include "childprocess.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
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

namespace {

std::string scratchRoot()
{
    const char* dir = std::getenv("TMPDIR");
    return dir && *dir ? dir : "/tmp";
}

[[noreturn]] void execChild(const std::vector<std::string>& argv, const std::string& outPath,
                            const std::string& errPath, const std::string& workingDirectory)
{
    setpgid(0, 0);
    const int devNull = open("/dev/null", O_RDONLY);
    const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (devNull < 0 || out < 0 || err < 0)
        _exit(126);
    dup2(devNull, STDIN_FILENO);
    dup2(out, STDOUT_FILENO);
    dup2(err, STDERR_FILENO);
    if (!workingDirectory.empty() && chdir(workingDirectory.c_str()) != 0)
        _exit(126);
    std::vector<char*> args;
    for (const std::string& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
}

// Waits for the child until the deadline; true when it has exited (status in *status).
bool waitWithDeadline(pid_t pid, std::chrono::steady_clock::time_point deadline, int* status)
{
    for (;;) {
        const pid_t done = waitpid(pid, status, WNOHANG);
        if (done == pid)
            return true;
        if (done < 0 || std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

} // namespace

BackgroundProcess::BackgroundProcess(const std::vector<std::string>& argv,
                                     const std::string& workingDirectory)
{
    std::string pattern = scratchRoot() + "/vexplc-child-XXXXXX";
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("cannot create a scratch folder in " + scratchRoot());
    _folder = pattern;
    const pid_t pid = fork();
    if (pid < 0)
        throw std::runtime_error("fork failed");
    if (pid == 0)
        execChild(argv, _folder + "/out", _folder + "/err", workingDirectory);
    setpgid(pid, pid);
    _pid = pid;
}

BackgroundProcess::~BackgroundProcess()
{
    stop();
    std::error_code ignored;
    std::filesystem::remove_all(_folder, ignored);
}

bool BackgroundProcess::waitForExit(std::chrono::milliseconds timeout)
{
    if (!_exited)
        _exited = waitWithDeadline(_pid, std::chrono::steady_clock::now() + timeout, &_status);
    return _exited;
}

std::string BackgroundProcess::out() const
{
    return readFile(_folder + "/out");
}

std::string BackgroundProcess::err() const
{
    return readFile(_folder + "/err");
}

ProcessResult BackgroundProcess::stop()
{
    if (!_exited) {
        _timedOut = true;
        kill(-_pid, SIGTERM);
        if (!waitForExit(std::chrono::seconds(5))) {
            kill(-_pid, SIGKILL);
            waitpid(_pid, &_status, 0);
            _exited = true;
        }
    }
    ProcessResult result;
    result.timedOut = _timedOut;
    result.exitCode = WIFEXITED(_status) ? WEXITSTATUS(_status) : -1;
    result.out = out();
    result.err = err();
    return result;
}

ProcessResult runProcess(const std::vector<std::string>& argv, std::chrono::milliseconds timeout,
                         const std::string& workingDirectory)
{
    BackgroundProcess child(argv, workingDirectory);
    child.waitForExit(timeout);
    return child.stop();
}

std::vector<unsigned int> freeUdpPorts(size_t count)
{
    std::vector<int> sockets;
    std::vector<unsigned int> ports;
    for (size_t i = 0; i < count; ++i) {
        const int fd = socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            throw std::runtime_error("cannot find a free UDP port");
        sockets.push_back(fd);
        ports.push_back(ntohs(address.sin_port));
    }
    for (const int fd : sockets)
        close(fd);
    return ports;
}

TempFolder::TempFolder()
{
    std::string pattern = scratchRoot() + "/vexplc-test-XXXXXX";
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("cannot create a scratch folder in " + scratchRoot());
    _path = pattern;
}

TempFolder::~TempFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all(_path, ignored);
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
