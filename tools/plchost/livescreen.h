// SPDX-License-Identifier: MIT
// The live terminal screen of `plchost run`: redrawn in place a few times per second with ANSI
// sequences from a monitor view. Writes to the file descriptor it is given (the terminal) and,
// while it shows, reads keys one by one from the keyboard's, whose echo and line editing it
// turns off until finish(). Use from one thread.
#ifndef PLCHOST_LIVESCREEN_H
#define PLCHOST_LIVESCREEN_H

#include "hostmonitor.h"

#ifndef _WIN32
#include <termios.h>
#endif

#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace plchost {

struct ScreenFrame {
    const MonitorView* view = nullptr;
    const HostPlan* plan = nullptr;
    double duration = 0; // 0: until Ctrl-C
    std::vector<std::string> events;
    std::vector<std::string> libraryLines;
    std::string prompt; // the last row when not empty
    int rows = 40;
    int columns = 100;
};

class LiveScreen {
public:
    // `keyFd` < 0: no keys are read.
    explicit LiveScreen(int fd, int keyFd = -1);
    ~LiveScreen();
    LiveScreen(const LiveScreen&) = delete;
    LiveScreen& operator=(const LiveScreen&) = delete;

    void draw(const MonitorView& view, const HostPlan& plan, double duration,
              const std::vector<std::string>& events, const std::vector<std::string>& libraryLines,
              const std::string& prompt);
    // The keys pressed since the last call; empty before the first frame.
    std::string keys();
    // Leaves the last frame on the terminal and gives the cursor and the keyboard back.
    void finish();

    // The lines of one frame, without escape sequences; at most frame.rows of them.
    static std::vector<std::string> render(const ScreenFrame& frame);

private:
    void write(const std::string& text);
    void terminalSize(int* rows, int* columns) const;

    void takeKeyboard();
    void restoreKeyboard();

    int _fd;
    int _keyFd;
    bool _started = false;
#ifdef _WIN32
    using KeyboardSettings = unsigned long; // the console's input mode
#else
    using KeyboardSettings = termios;
#endif
    std::optional<KeyboardSettings> _keyboard; // its settings before the screen took it
};

} // namespace plchost

#endif // PLCHOST_LIVESCREEN_H
