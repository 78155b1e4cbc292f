// SPDX-License-Identifier: MIT
// Standard input and output of the tools without blocking, on Linux and on Windows.
#ifndef TOOLCONSOLE_H
#define TOOLCONSOLE_H

#ifdef _WIN32
#include <conio.h>
#include <io.h>
#include <windows.h>
#else
#include <poll.h>
#include <unistd.h>
#endif

#include <string>

namespace vextool {

// What waits on `fd` now, without blocking; `ended` turns true at the end of the input.
inline std::string pendingInput(int fd, bool* ended)
{
    char buffer[4096];
#ifdef _WIN32
    const HANDLE handle = reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
    DWORD available = 0;
    if (!::PeekNamedPipe(handle, nullptr, 0, nullptr, &available, nullptr)) {
        if (::GetFileType(handle) != FILE_TYPE_CHAR) {
            *ended = true; // a closed pipe or a file: nothing more will come
            return {};
        }
        std::string keys;
        while (::_kbhit())
            keys += static_cast<char>(::_getch());
        return keys;
    }
    if (available == 0)
        return {};
    const int n = ::_read(fd, buffer, available < sizeof buffer ? available : sizeof buffer);
#else
    pollfd input{fd, POLLIN, 0};
    if (::poll(&input, 1, 0) <= 0)
        return {};
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
#endif
    if (n <= 0) {
        *ended = true;
        return {};
    }
    return std::string(buffer, static_cast<size_t>(n));
}

// A pipe whose reader has gone shows as an error on the writing end before anything is written.
inline bool outputGone(int fd)
{
#ifdef _WIN32
    (void)fd;
    return false; // Windows reports it only as a failed write
#else
    pollfd out{fd, POLLOUT, 0};
    return ::poll(&out, 1, 0) > 0 && (out.revents & (POLLERR | POLLHUP)) != 0;
#endif
}

} // namespace vextool

#endif // TOOLCONSOLE_H
