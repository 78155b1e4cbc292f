// SPDX-License-Identifier: MIT
#include "commandprompt.h"

#include <utility>

namespace plchost {

namespace {

constexpr char kEscape = '\x1b';
constexpr char kBackspace = '\x7f';
constexpr char kCtrlH = '\b';
// Long enough for any one-shot command; a stuck key cannot grow the line without end.
constexpr size_t kMaxLine = 200;

bool isPrintable(char key)
{
    return static_cast<unsigned char>(key) >= 0x20 && key != kBackspace;
}

} // namespace

std::optional<std::string> CommandPrompt::feed(char key)
{
    if (!_open) {
        _open = key == kOpenKey;
        return std::nullopt;
    }
    if (key == '\r' || key == '\n') {
        _open = false;
        return std::exchange(_line, std::string());
    }
    if (key == kEscape) {
        _open = false;
        _line.clear();
    } else if (key == kBackspace || key == kCtrlH) {
        if (!_line.empty())
            _line.pop_back();
    } else if (isPrintable(key) && _line.size() < kMaxLine) {
        _line += key;
    }
    return std::nullopt;
}

std::string CommandPrompt::row() const
{
    if (_open)
        return "command> " + _line + "_   (Enter sends, Esc cancels)";
    return std::string("Press ") + kOpenKey +
           " for a command: upload ID|NAME, download ID|NAME=VALUE, action CODE";
}

} // namespace plchost
