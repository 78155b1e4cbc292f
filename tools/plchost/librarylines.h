// SPDX-License-Identifier: MIT
// Catches the library's diagnostic lines through its sink while this object lives, so that they
// reach plchost's log and screen rather than standard output. The library's threads hand lines in;
// the owner takes them out from its own thread. Only one may exist at a time.
#ifndef PLCHOST_LIBRARYLINES_H
#define PLCHOST_LIBRARYLINES_H

#include <mutex>
#include <string>
#include <vector>

namespace plchost {

struct LibraryLine {
    std::string stamp; // wall-clock time of arrival
    std::string text;
};

class LibraryLines {
public:
    LibraryLines();
    // Gives the lines back to standard output.
    ~LibraryLines();
    LibraryLines(const LibraryLines&) = delete;
    LibraryLines& operator=(const LibraryLines&) = delete;

    // The lines that arrived since the last call, oldest first.
    std::vector<LibraryLine> take();

private:
    std::mutex _mutex;
    std::vector<LibraryLine> _pending;
};

// "2026-12-05 23:50:01.123", local time.
std::string wallClockStamp();

} // namespace plchost

#endif // PLCHOST_LIBRARYLINES_H
