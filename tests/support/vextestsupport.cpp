// SPDX-License-Identifier: MIT
#include "vextestsupport.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <unistd.h>

namespace vextest {

namespace {

std::string makeScratchPath(const std::string& suffix)
{
    const char* dir = std::getenv("TMPDIR");
    std::string pattern = std::string(dir && *dir ? dir : "/tmp") + "/vexplc-test-XXXXXX" + suffix;
    const int fd = mkstemps(pattern.data(), static_cast<int>(suffix.size()));
    if (fd < 0)
        throw std::runtime_error("cannot create a scratch file in " + pattern);
    close(fd);
    return pattern;
}

} // namespace

StdoutCapture::StdoutCapture() : _path(makeScratchPath(".out"))
{
    std::cout.flush();
    std::fflush(stdout);
    _savedFd = dup(STDOUT_FILENO);
    std::FILE* file = std::fopen(_path.c_str(), "w");
    if (!file || _savedFd < 0)
        throw std::runtime_error("cannot capture standard output");
    dup2(fileno(file), STDOUT_FILENO);
    std::fclose(file);
}

StdoutCapture::~StdoutCapture()
{
    std::cout.flush();
    std::fflush(stdout);
    dup2(_savedFd, STDOUT_FILENO);
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
    return content.str();
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
