// SPDX-License-Identifier: MIT
#include "libraryoutput.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>

namespace plchost {

LibraryOutput::~LibraryOutput()
{
    restore();
}

bool LibraryOutput::divert(const std::string& path, std::string* error)
{
    std::cout.flush();
    std::fflush(stdout);
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND, 0644);
    if (fd < 0) {
        *error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    _savedFd = dup(STDOUT_FILENO);
    if (_savedFd < 0 || dup2(fd, STDOUT_FILENO) < 0) {
        *error = std::string("cannot redirect standard output: ") + std::strerror(errno);
        close(fd);
        return false;
    }
    close(fd);
    _path = path;
    _offset = 0;
    _partial.clear();
    return true;
}

std::vector<std::string> LibraryOutput::newLines()
{
    std::vector<std::string> lines;
    if (_path.empty())
        return lines;
    std::cout.flush();
    std::ifstream in(_path, std::ios::binary);
    in.seekg(_offset);
    std::string chunk((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    _offset += static_cast<long long>(chunk.size());
    _partial += chunk;
    size_t start = 0;
    for (size_t end = _partial.find('\n'); end != std::string::npos;
         end = _partial.find('\n', start)) {
        lines.push_back(_partial.substr(start, end - start));
        start = end + 1;
    }
    _partial.erase(0, start);
    return lines;
}

void LibraryOutput::restore()
{
    if (_savedFd < 0)
        return;
    std::cout.flush();
    std::fflush(stdout);
    dup2(_savedFd, STDOUT_FILENO);
    close(_savedFd);
    _savedFd = -1;
}

} // namespace plchost
