// SPDX-License-Identifier: MIT
// The live terminal screen of `plchost run`: redrawn in place a few times per second with ANSI
// sequences from a monitor view. Writes to the file descriptor it is given (the terminal).
// Use from one thread.
#ifndef PLCHOST_LIVESCREEN_H
#define PLCHOST_LIVESCREEN_H

#include "hostmonitor.h"

#include <deque>
#include <string>
#include <vector>

namespace plchost {

struct ScreenFrame {
    const MonitorView* view = nullptr;
    const HostPlan* plan = nullptr;
    double duration = 0; // 0: until Ctrl-C
    std::vector<std::string> events;
    std::vector<std::string> libraryLines;
    int rows = 40;
    int columns = 100;
};

class LiveScreen {
public:
    explicit LiveScreen(int fd);
    ~LiveScreen();
    LiveScreen(const LiveScreen&) = delete;
    LiveScreen& operator=(const LiveScreen&) = delete;

    void draw(const MonitorView& view, const HostPlan& plan, double duration,
              const std::vector<std::string>& events, const std::vector<std::string>& libraryLines);
    // Leaves the last frame on the terminal and gives the cursor back.
    void finish();

    // The lines of one frame, without escape sequences; at most frame.rows of them.
    static std::vector<std::string> render(const ScreenFrame& frame);

private:
    void write(const std::string& text);
    void terminalSize(int* rows, int* columns) const;

    int _fd;
    bool _started = false;
};

} // namespace plchost

#endif // PLCHOST_LIVESCREEN_H
