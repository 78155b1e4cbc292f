// SPDX-License-Identifier: MIT
#include "librarylines.h"

#include "vexdiagnostic.h"

#include <chrono>
#include <cstdio>
#include <ctime>

namespace plchost {

std::string wallClockStamp()
{
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() %
        1000;
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &seconds);
#else
    localtime_r(&seconds, &local);
#endif
    char text[32];
    const std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    std::snprintf(text + length, sizeof text - length, ".%03d", static_cast<int>(millis));
    return text;
}

LibraryLines::LibraryLines()
{
    Orrery::CvexDiagnostic::setSink([this](const std::string& line) {
        LibraryLine entry{wallClockStamp(), line};
        const std::lock_guard<std::mutex> lock(_mutex);
        _pending.push_back(std::move(entry));
    });
}

LibraryLines::~LibraryLines()
{
    Orrery::CvexDiagnostic::setSink({});
}

std::vector<LibraryLine> LibraryLines::take()
{
    const std::lock_guard<std::mutex> lock(_mutex);
    std::vector<LibraryLine> lines;
    lines.swap(_pending);
    return lines;
}

} // namespace plchost
