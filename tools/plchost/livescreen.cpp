// SPDX-License-Identifier: MIT
#include "livescreen.h"

#include "datatypes.h"

#ifdef _WIN32
#include <conio.h>
#include <windows.h>
#else
#include <poll.h>
#include <sys/ioctl.h>
#endif
#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace plchost {

namespace {

std::string fixed(double value, const char* unit)
{
    char text[48];
    std::snprintf(text, sizeof text, "%.1f%s", value, unit);
    return text;
}

std::string padded(const std::string& text, size_t width)
{
    return text.size() >= width ? text.substr(0, width)
                                : text + std::string(width - text.size(), ' ');
}

std::string countersText(const Orrery::CvexPlcStatistics& counts)
{
    return "datagrams " + std::to_string(counts.datagramsSent) + " out, " +
           std::to_string(counts.datagramsReceived) + " in, " +
           std::to_string(counts.malformedReceived + counts.unknownReceived) + " refused, " +
           std::to_string(counts.retransmissions) + " resent, " +
           std::to_string(counts.duplicatesIgnored) + " repeats";
}

std::string moldSetLine(const MonitorView& view, const HostPlan& plan)
{
    std::string line = "Mold set: block 1, " + std::to_string(plan.moldBlockIDs.size()) +
                       " IDs in " + std::to_string((plan.moldBlockIDs.size() + 49) / 50) +
                       " packs: ";
    if (view.lineStatus == 1 || view.lineStatus == 2)
        return line + "downloading since " + fixed(view.now - view.moldRequestedAt, " s") + ", " +
               std::to_string(view.moldPacksAcknowledged) + " of " +
               std::to_string(view.moldPacksTotal) + " packs acknowledged";
    if (view.lineStatus == 3 && view.moldConfirmedAt >= 0)
        return line + "confirmed " + fixed(view.now - view.moldConfirmedAt, " s ago");
    return line + "waiting for the PLC to ask for it";
}

void valueTable(const MonitorView& view, std::vector<std::string>& lines, size_t room)
{
    lines.push_back("Actual values (" + std::to_string(view.actuals.size()) + " IDs, " +
                    std::to_string(view.valueChanges) + " values stored)");
    lines.push_back("  " + padded("Name", 32) + padded("ID", 8) + padded("Value", 14) + "Age");
    size_t shown = 0;
    for (const ValueRow& row : view.actuals) {
        if (shown + 1 >= room && view.actuals.size() > room) {
            lines.push_back("  ... " + std::to_string(view.actuals.size() - shown) + " more");
            break;
        }
        const std::string age = row.changedAt < 0 ? "-" : fixed(view.now - row.changedAt, " s");
        lines.push_back("  " + padded(row.name, 32) + padded(std::to_string(row.id), 8) +
                        padded(DataTypes::format(row.value), 14) + age);
        ++shown;
    }
}

void triggerLines(const MonitorView& view, std::vector<std::string>& lines)
{
    lines.push_back("Triggers (acknowledgement | data stored and confirmed)");
    if (view.groups.empty())
        lines.push_back("  no trigger groups configured");
    for (const GroupState& state : view.groups) {
        std::string line = "  group " + std::to_string(state.group.groupID);
        if (state.group.isCurve())
            line += " (curve " + std::to_string(state.group.curve()) + ")";
        line += ": " + HostMonitor::answerText(state) + " | " + std::to_string(state.packets) +
                (state.group.isCurve() ? " curves" : " packets");
        if (state.lastAt >= 0)
            line += ", last " + fixed(view.now - state.lastAt, " s ago");
        if (!state.rows.empty())
            line += " |";
        for (const ValueRow& row : state.rows)
            line += " " + row.name + "=" + DataTypes::format(row.value);
        lines.push_back(line);
    }
}

// How much of the lower sections a frame shows; the actual values get the rows that remain.
struct Detail {
    size_t alarms;
    size_t curves;
    size_t events;
    size_t libraryLines;
    bool eventsShown;
    bool libraryShown;
};

constexpr Detail kDetails[] = {{3, 2, 4, 4, true, true},
                               {3, 2, 4, 0, true, false},
                               {2, 1, 2, 0, true, false},
                               {1, 1, 1, 0, true, false},
                               {0, 0, 0, 0, false, false}};

// The values want this many rows before the lower sections give up detail.
constexpr size_t kWantedValueRows = 10;

template <typename T> std::vector<T> latest(const std::vector<T>& all, size_t count)
{
    return {all.end() - static_cast<long>(std::min(count, all.size())), all.end()};
}

std::vector<std::string> lowerSections(const ScreenFrame& frame, const Detail& detail)
{
    const MonitorView& view = *frame.view;
    std::vector<std::string> lines;
    triggerLines(view, lines);
    std::string alarms = "Alarms (" + std::to_string(view.alarms.size()) + " logged and answered";
    if (!view.alarms.empty())
        alarms += "; latest " + std::to_string(view.alarms.back().number) + " at " +
                  fixed(view.alarms.back().at, " s");
    lines.push_back(alarms + ")");
    for (const AlarmEntry& alarm : latest(view.alarms, detail.alarms)) {
        lines.push_back("  " + fixed(alarm.at, " s") + "  alarm " + std::to_string(alarm.number) +
                        ", alarm byte " + std::to_string(alarm.alarmByte));
    }
    std::string curves = "Curves (" + std::to_string(view.curves.size()) + " saved, " +
                         std::to_string(view.filesWritten) + " files written";
    if (!view.curves.empty())
        curves += "; latest " + view.curves.back().files.svgPath;
    lines.push_back(curves + ")");
    for (const SavedCurve& curve : latest(view.curves, detail.curves)) {
        lines.push_back("  curve " + std::to_string(curve.curve) + " #" +
                        std::to_string(curve.ordinal) + ": " + std::to_string(curve.records) +
                        " records -> " + curve.files.svgPath);
    }
    if (detail.eventsShown) {
        lines.push_back("Events (latest)");
        for (const std::string& line : latest(frame.events, detail.events))
            lines.push_back("  " + line);
    }
    if (detail.libraryShown) {
        lines.push_back("Library lines (latest)");
        for (const std::string& line : latest(frame.libraryLines, detail.libraryLines))
            lines.push_back("  " + line);
    }
    return lines;
}

std::string headLine(const ScreenFrame& frame, size_t columns)
{
    const HostPlan& plan = *frame.plan;
    const std::string host = plan.sourceIP + ":" + std::to_string(plan.sourcePort);
    const std::string plc = plan.hostIP + ":" + std::to_string(plan.hostPort);
    const std::string time =
        fixed(frame.view->now, " s") +
        (frame.duration > 0 ? " of " + fixed(frame.duration, " s") : std::string());
    const std::string wide = "plchost  " + host + " <-> PLC " + plc + "   " + time;
    if (wide.size() + 17 <= columns)
        return wide + "   (Ctrl-C stops)";
    // Narrower terminals keep the hint to stop as long as it fits.
    const std::string narrow = "plchost " + host + " <-> PLC " + plc + "  " + time;
    return narrow.size() + 14 <= columns ? narrow + "  Ctrl-C stops" : narrow;
}

} // namespace

LiveScreen::LiveScreen(int fd, int keyFd) : _fd(fd), _keyFd(keyFd) {}

LiveScreen::~LiveScreen()
{
    finish();
}

std::vector<std::string> LiveScreen::render(const ScreenFrame& frame)
{
    const MonitorView& view = *frame.view;
    const HostPlan& plan = *frame.plan;
    const size_t columns = static_cast<size_t>(std::max(20, frame.columns));
    const int promptRows = frame.prompt.empty() ? 0 : 1;
    const size_t rows = static_cast<size_t>(std::max(1, frame.rows - promptRows));
    std::vector<std::string> lines;
    lines.push_back(headLine(frame, columns));
    lines.push_back("Link: state " + std::to_string(view.lineStatus) + " = " +
                    HostMonitor::linkMeaning(view.lineStatus) +
                    (view.onlineAt >= 0 ? "   (first online after " + fixed(view.onlineAt, " s)")
                                        : std::string()) +
                    "   " + countersText(view.statistics));
    lines.push_back(moldSetLine(view, plan));
    // The lower sections give up detail, latest entries first, until the values have room.
    const size_t above = lines.size() + 2; // and the table's own two heading lines
    const size_t wanted = std::min(view.actuals.size(), kWantedValueRows);
    std::vector<std::string> lower;
    for (const Detail& detail : kDetails) {
        lower = lowerSections(frame, detail);
        if (above + lower.size() + wanted <= rows)
            break;
    }
    const size_t used = above + lower.size();
    const size_t room = std::max<size_t>(3, rows > used ? rows - used : 0);
    valueTable(view, lines, room);
    lines.insert(lines.end(), lower.begin(), lower.end());
    for (std::string& line : lines) {
        if (line.size() > columns)
            line.resize(columns);
    }
    if (lines.size() > rows)
        lines.resize(rows);
    if (!frame.prompt.empty())
        lines.push_back(frame.prompt.substr(0, columns));
    return lines;
}

void LiveScreen::draw(const MonitorView& view, const HostPlan& plan, double duration,
                      const std::vector<std::string>& events,
                      const std::vector<std::string>& libraryLines, const std::string& prompt)
{
    ScreenFrame frame;
    frame.view = &view;
    frame.plan = &plan;
    frame.duration = duration;
    frame.events = events;
    frame.libraryLines = libraryLines;
    frame.prompt = prompt;
    terminalSize(&frame.rows, &frame.columns);
    std::string text = _started ? "\x1b[H" : "\x1b[?25l\x1b[H\x1b[2J";
    if (!_started)
        takeKeyboard();
    _started = true;
    for (const std::string& line : render(frame))
        text += line + "\x1b[K\n";
    text += "\x1b[J";
    write(text);
}

#ifdef _WIN32
void LiveScreen::takeKeyboard()
{
    DWORD mode = 0;
    const HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
    if (_keyFd < 0 || !::GetConsoleMode(input, &mode))
        return;
    _keyboard = mode;
    ::SetConsoleMode(input, mode & ~static_cast<DWORD>(ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT));
}

std::string LiveScreen::keys()
{
    std::string pressed;
    while (_keyboard && _kbhit())
        pressed += static_cast<char>(_getch());
    return pressed;
}

void LiveScreen::restoreKeyboard()
{
    ::SetConsoleMode(::GetStdHandle(STD_INPUT_HANDLE), static_cast<DWORD>(*_keyboard));
}
#else
void LiveScreen::takeKeyboard()
{
    termios settings{};
    if (_keyFd < 0 || !isatty(_keyFd) || tcgetattr(_keyFd, &settings) != 0)
        return;
    _keyboard = settings;
    // Each key arrives as it is pressed, unechoed; Ctrl-C still raises SIGINT.
    settings.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
    settings.c_cc[VMIN] = 0;
    settings.c_cc[VTIME] = 0;
    tcsetattr(_keyFd, TCSANOW, &settings);
}

std::string LiveScreen::keys()
{
    std::string pressed;
    while (_keyboard) {
        pollfd input{_keyFd, POLLIN, 0};
        char buffer[64];
        const ssize_t n = ::poll(&input, 1, 0) > 0 ? ::read(_keyFd, buffer, sizeof buffer) : 0;
        if (n <= 0)
            break;
        pressed.append(buffer, static_cast<size_t>(n));
    }
    return pressed;
}

void LiveScreen::restoreKeyboard()
{
    tcsetattr(_keyFd, TCSANOW, &*_keyboard);
}
#endif

void LiveScreen::finish()
{
    if (_started)
        write("\x1b[?25h");
    if (_keyboard)
        restoreKeyboard();
    _keyboard.reset();
    _started = false;
}

void LiveScreen::write(const std::string& text)
{
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(_fd, text.data() + done, text.size() - done);
        if (n <= 0)
            return;
        done += static_cast<size_t>(n);
    }
}

void LiveScreen::terminalSize(int* rows, int* columns) const
{
#ifdef _WIN32
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (::GetConsoleScreenBufferInfo(::GetStdHandle(STD_OUTPUT_HANDLE), &info)) {
        *rows = info.srWindow.Bottom - info.srWindow.Top;
        *columns = info.srWindow.Right - info.srWindow.Left + 1;
    }
#else
    winsize size{};
    if (ioctl(_fd, TIOCGWINSZ, &size) == 0 && size.ws_row > 0 && size.ws_col > 0) {
        *rows = size.ws_row - 1;
        *columns = size.ws_col;
    }
#endif
}

} // namespace plchost
