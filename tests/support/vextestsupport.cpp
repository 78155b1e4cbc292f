// SPDX-License-Identifier: MIT
#include "vextestsupport.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <thread>
#ifdef _WIN32
#include <windows.h>

#include <io.h>
// The scratch files stay out of child processes on either system.
constexpr int kNotInherited = O_NOINHERIT;
#else
#include <unistd.h>
constexpr int kNotInherited = O_CLOEXEC;
#endif

namespace vextest {

namespace {

constexpr int standardOutput = 1;

// A new file under the system's scratch folder (TMPDIR on Linux, TEMP on Windows).
std::string makeScratchPath(const std::string& suffix)
{
    thread_local std::mt19937_64 random{std::random_device{}()};
    const std::string dir = std::filesystem::temp_directory_path().string();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string path =
            dir + "/vexplc-test-" + std::to_string(random() % 1000000000) + suffix;
        const int fd = open(path.c_str(), O_CREAT | O_EXCL | O_RDWR | kNotInherited, 0600);
        if (fd >= 0) {
            close(fd);
            return path;
        }
    }
    throw std::runtime_error("cannot create a scratch file in " + dir);
}

} // namespace

StdoutCapture::StdoutCapture() : _path(makeScratchPath(".out"))
{
    std::cout.flush();
    std::fflush(stdout);
    _savedFd = dup(standardOutput);
    std::FILE* file = std::fopen(_path.c_str(), "w");
    if (!file || _savedFd < 0)
        throw std::runtime_error("cannot capture standard output");
    dup2(fileno(file), standardOutput);
    std::fclose(file);
}

StdoutCapture::~StdoutCapture()
{
    std::cout.flush();
    std::fflush(stdout);
    dup2(_savedFd, standardOutput);
    close(_savedFd);
    std::remove(_path.c_str());
}

std::string StdoutCapture::text() const
{
    std::cout.flush();
    std::fflush(stdout);
    std::ifstream in(_path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    std::string captured = content.str();
    // Windows writes standard output in text mode, each line end as CR LF.
    for (size_t at = captured.find("\r\n"); at != std::string::npos; at = captured.find("\r\n", at))
        captured.erase(at, 1);
    return captured;
}

std::vector<std::string> StdoutCapture::lines() const
{
    std::vector<std::string> result;
    std::istringstream in(text());
    for (std::string line; std::getline(in, line);)
        result.push_back(line);
    return result;
}

int StdoutCapture::count(const std::string& line) const
{
    const auto captured = lines();
    return static_cast<int>(std::count(captured.begin(), captured.end(), line));
}

bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return condition();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

double processCpuSeconds()
{
#ifdef _WIN32
    // The Windows C runtime's clock() counts wall time, not processor time.
    FILETIME created{}, exited{}, kernel{}, user{};
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    const auto ticks = [](const FILETIME& time) {
        return (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    };
    return static_cast<double>(ticks(kernel) + ticks(user)) / 1e7;
#else
    return static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
#endif
}

bool runningUnderWine()
{
#ifdef _WIN32
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
#else
    return false;
#endif
}

TempFile::TempFile(const std::string& content, const std::string& suffix)
    : _path(makeScratchPath(suffix))
{
    std::ofstream out(_path, std::ios::binary);
    out << content;
}

TempFile::~TempFile()
{
    std::remove(_path.c_str());
}

std::string hex(const char* data, int size)
{
    std::string text;
    char pair[4];
    for (int i = 0; i < size; ++i) {
        std::snprintf(pair, sizeof pair, i > 0 ? " %02X" : "%02X",
                      static_cast<unsigned char>(data[i]));
        text += pair;
    }
    return text;
}

std::string hex(const std::string& bytes)
{
    return hex(bytes.data(), static_cast<int>(bytes.size()));
}

std::string bytes(const std::string& hexText)
{
    std::string result;
    std::istringstream in(hexText);
    for (std::string pair; in >> pair;)
        result += static_cast<char>(std::stoi(pair, nullptr, 16));
    return result;
}

} // namespace vextest
