// SPDX-License-Identifier: MIT
// Keeps the library's diagnostic lines (written to file descriptor 1) apart from plchost's own
// output: fd 1 is pointed at a file while the terminal stays reachable through a saved
// descriptor, and the lines that arrive in the file can be read back as they come.
// Use from one thread; the library's threads may write to fd 1 meanwhile.
#ifndef PLCHOST_LIBRARYOUTPUT_H
#define PLCHOST_LIBRARYOUTPUT_H

#include <string>
#include <vector>

namespace plchost {

class LibraryOutput {
public:
    LibraryOutput() = default;
    ~LibraryOutput();
    LibraryOutput(const LibraryOutput&) = delete;
    LibraryOutput& operator=(const LibraryOutput&) = delete;

    // Points fd 1 at `path` (created or truncated). False with `error` set on failure.
    bool divert(const std::string& path, std::string* error);
    bool diverted() const { return _savedFd >= 0; }
    // The original standard output; 1 when nothing is diverted.
    int terminalFd() const { return _savedFd >= 0 ? _savedFd : 1; }
    // Complete lines written since the last call.
    std::vector<std::string> newLines();
    // Points fd 1 back at the original standard output.
    void restore();

private:
    int _savedFd = -1;
    std::string _path;
    long long _offset = 0;
    std::string _partial;
};

} // namespace plchost

#endif // PLCHOST_LIBRARYOUTPUT_H
