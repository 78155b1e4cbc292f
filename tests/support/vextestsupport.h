// SPDX-License-Identifier: MIT
// Helpers shared by the tests: capturing the diagnostic lines, waiting for events with a deadline
// and writing scratch files.
#ifndef VEXTESTSUPPORT_H
#define VEXTESTSUPPORT_H

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace vextest {

// ThreadSanitizer slows every thread several times over; a bound on how long the library may take
// for something is multiplied by this in its builds.
#if defined(__SANITIZE_THREAD__)
constexpr int kTimeScale = 3;
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
constexpr int kTimeScale = 3;
#else
constexpr int kTimeScale = 1;
#endif
#else
constexpr int kTimeScale = 1;
#endif

// Redirects file descriptor 1 (where the library writes its diagnostic lines) into a scratch file
// for the lifetime of the object. Lines written by any thread are captured.
class StdoutCapture {
public:
    StdoutCapture();
    ~StdoutCapture();
    StdoutCapture(const StdoutCapture&) = delete;
    StdoutCapture& operator=(const StdoutCapture&) = delete;

    // Everything written so far.
    std::string text() const;
    std::vector<std::string> lines() const;
    // How many captured lines are exactly `line`.
    int count(const std::string& line) const;
    bool contains(const std::string& line) const { return count(line) > 0; }

private:
    int _savedFd = -1;
    std::string _path;
};

// Polls `condition` every few milliseconds until it holds or `timeout` passes; returns its last
// value. Tests wait for events with this, never with a bare sleep.
bool waitUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds timeout = std::chrono::milliseconds(5000));

// Processor time the whole process has used so far, in seconds.
double processCpuSeconds();

// True when the test runs as a Windows program under wine, whose sockets differ from Windows in
// places (it binds addresses that are not local).
bool runningUnderWine();

// A file that is removed when the object goes out of scope.
class TempFile {
public:
    explicit TempFile(const std::string& content, const std::string& suffix = ".json");
    ~TempFile();
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    const std::string& path() const { return _path; }

private:
    std::string _path;
};

// The bytes of a packet written as hex pairs separated by blanks ("99 88 12 00"), for readable
// failure messages in byte-exact comparisons.
std::string hex(const char* data, int size);
std::string hex(const std::string& bytes);
// The bytes of a hex text such as "99 88 12 00".
std::string bytes(const std::string& hexText);

} // namespace vextest

#endif // VEXTESTSUPPORT_H
