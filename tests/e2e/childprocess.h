// SPDX-License-Identifier: MIT
// Runs a program as a child process for the tool and end-to-end tests: its standard output and
// error are collected in files, and the wait has a deadline. The child leads a process group of
// its own, so that on a timeout everything it started is stopped with it, and nothing else.
#ifndef CHILDPROCESS_H
#define CHILDPROCESS_H

#include <chrono>
#include <string>
#include <vector>

namespace vextest {

struct ProcessResult {
    int exitCode = -1; // -1 when it did not exit normally
    bool timedOut = false;
    std::string out;
    std::string err;
};

// A child started now and stopped (SIGTERM to its process group, SIGKILL after a grace period)
// at the latest when the object goes.
class BackgroundProcess {
public:
    explicit BackgroundProcess(const std::vector<std::string>& argv,
                               const std::string& workingDirectory = std::string());
    ~BackgroundProcess();
    BackgroundProcess(const BackgroundProcess&) = delete;
    BackgroundProcess& operator=(const BackgroundProcess&) = delete;

    // Waits for the child to exit by itself until `timeout`; false when it is still running.
    bool waitForExit(std::chrono::milliseconds timeout);
    // What the child wrote so far.
    std::string out() const;
    std::string err() const;
    // Ends the child if it still runs and returns everything about it.
    ProcessResult stop();

private:
    std::string _folder;
    int _pid = -1;
    int _status = 0;
    bool _exited = false;
    bool _timedOut = false;
};

// Runs argv[0] with the arguments, in `workingDirectory` when it is not empty.
ProcessResult runProcess(const std::vector<std::string>& argv, std::chrono::milliseconds timeout,
                         const std::string& workingDirectory = std::string());

// `count` different UDP ports on 127.0.0.1 that were free a moment ago (the system's picks for
// port 0, all held until the last is chosen).
std::vector<unsigned int> freeUdpPorts(size_t count);

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

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& content);

} // namespace vextest

#endif // CHILDPROCESS_H
