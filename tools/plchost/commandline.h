// SPDX-License-Identifier: MIT
// The command line of plchost: one subcommand, its file arguments and options. Parsing throws
// UsageError with a message that names the offending word. Pure; callable from any thread.
#ifndef PLCHOST_COMMANDLINE_H
#define PLCHOST_COMMANDLINE_H

#include <stdexcept>
#include <string>
#include <vector>

namespace plchost {

class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct Options {
    std::string command; // check, run, upload, download, action, help or version
    std::string helpFor; // help: the command asked about; empty for all
    std::string commonFile;
    std::string itemsFile;
    std::string outputFolder = "plchost-out";
    double duration = 0; // run: 0 runs until Ctrl-C
    double timeout = 3;  // one-shot commands: how long to wait for the PLC's answer
    bool plain = false;
    bool verbose = false; // run: library lines on the screen too
    bool json = false;    // run: JSON objects, one a line, instead of plain lines
    std::string ids;      // run: "ID|NAME,..." the values shown and written; empty for all
    std::vector<std::string> arguments; // IDs, names, NAME=VALUE pairs or action codes
};

class CommandLine {
public:
    CommandLine() = delete;

    static Options parse(const std::vector<std::string>& words);
    // The usage of `command`, or of every command when it is empty.
    static std::string usage(const std::string& command = std::string());

    // A positive number of seconds, or a UsageError naming the option.
    static double seconds(const std::string& option, const std::string& text);
};

} // namespace plchost

#endif // PLCHOST_COMMANDLINE_H
