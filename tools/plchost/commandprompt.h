// SPDX-License-Identifier: MIT
// The one-line command prompt of the live screen: a key opens it, the keys typed after it build
// the line, Enter hands the line over and Escape drops it. Knows keys only; the screen reads the
// terminal and ConsoleCommands carries the line out. A plain value object; use from one thread.
#ifndef PLCHOST_COMMANDPROMPT_H
#define PLCHOST_COMMANDPROMPT_H

#include <optional>
#include <string>

namespace plchost {

class CommandPrompt {
public:
    static constexpr char kOpenKey = ':';

    // Takes one key; returns the typed line when the key was Enter.
    std::optional<std::string> feed(char key);
    bool isOpen() const { return _open; }
    // The prompt's row on the screen: the line being typed, or how to open it.
    std::string row() const;

private:
    bool _open = false;
    std::string _line;
};

} // namespace plchost

#endif // PLCHOST_COMMANDPROMPT_H
