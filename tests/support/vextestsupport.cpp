// SPDX-License-Identifier: MIT
#include "vextestsupport.h"

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
#include <sys/stat.h>
#else
#include <unistd.h>
#endif

namespace vextest {

namespace {

#ifdef _WIN32
int createNew(const std::string& path)
{
    return _open(path.c_str(), _O_CREAT | _O_EXCL | _O_RDWR, _S_IREAD | _S_IWRITE);
}
int duplicate(int fd)
{
    return _dup(fd);
}
void redirect(int from, int to)
{
    _dup2(from, to);
}
void closeFd(int fd)
{
    _close(fd);
}
#else
int createNew(const std::string& path)
{
    return open(path.c_str(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC, 0600);
}
int duplicate(int fd)
{
    return dup(fd);
}
void redirect(int from, int to)
{
    dup2(from, to);
}
void closeFd(int fd)
{
    close(fd);
}
#endif

constexpr int standardOutput = 1;

// A new file under the system's scratch folder (TMPDIR on Linux, TEMP on Windows).
std::string makeScratchPath(const std::string& suffix)
{
    thread_local std::mt19937_64 random{std::random_device{}()};
    const std::string dir = std::filesystem::temp_directory_path().string();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string path =
            dir + "/vexplc-test-" + std::to_string(random() % 1000000000) + suffix;
        const int fd = createNew(path);
        if (fd >= 0) {
            closeFd(fd);
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
    _savedFd = duplicate(standardOutput);
    std::FILE* file = std::fopen(_path.c_str(), "w");
    if (!file || _savedFd < 0)
        throw std::runtime_error("cannot capture standard output");
    redirect(fileno(file), standardOutput);
    std::fclose(file);
}

StdoutCapture::~StdoutCapture()
{
    std::cout.flush();
    std::fflush(stdout);
    redirect(_savedFd, standardOutput);
    closeFd(_savedFd);
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
    int n = 0;
    for (const auto& captured : lines())
        n += captured == line ? 1 : 0;
    return n;
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
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    for (int i = 0; i < size; ++i) {
        const auto byte = static_cast<unsigned char>(data[i]);
        if (i > 0)
            text += ' ';
        text += digits[byte >> 4];
        text += digits[byte & 0x0F];
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
