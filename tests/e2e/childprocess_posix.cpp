// SPDX-License-Identifier: MIT
#include "childprocess.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>
#include <thread>

namespace vextest {

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

} // namespace vextest
