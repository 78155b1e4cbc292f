// SPDX-License-Identifier: MIT
#include "livescreen.h"

#include "datatypes.h"

#include <sys/ioctl.h>
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

std::string moldSetLine(const MonitorView& view, const HostPlan& plan)
{
    std::string line = "Mold set: block 1, " + std::to_string(plan.moldBlockIDs.size()) +
                       " IDs in " + std::to_string((plan.moldBlockIDs.size() + 49) / 50) +
                       " packs: ";
    if (view.lineStatus == 1 || view.lineStatus == 2)
        return line + "downloading since " + fixed(view.now - view.moldRequestedAt, " s");
    if (view.lineStatus == 3 && view.moldConfirmedAt >= 0)
        return line + "confirmed " + fixed(view.now - view.moldConfirmedAt, " s ago");
    return line + "waiting for the PLC to ask for it";
}

void valueTable(const MonitorView& view, std::vector<std::string>& lines, size_t room)
{
    lines.push_back("Actual values (" + std::to_string(view.actuals.size()) + " IDs, " +
                    std::to_string(view.valueChanges) + " changes)");
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

void groupLines(const MonitorView& view, std::vector<std::string>& lines)
{
    lines.push_back("Triggered data (stored and confirmed)");
    if (view.groups.empty())
        lines.push_back("  no data groups configured");
    for (const GroupState& state : view.groups) {
        std::string line = "  group " + std::to_string(state.group.groupID) + ": " +
                           std::to_string(state.packets) + " seen";
        if (state.lastAt >= 0)
            line += ", last " + fixed(view.now - state.lastAt, " s ago");
        line += " |";
        for (const ValueRow& row : state.rows)
            line += " " + row.name + "=" + DataTypes::format(row.value);
        lines.push_back(line);
    }
}

void alarmLines(const MonitorView& view, std::vector<std::string>& lines)
{
    lines.push_back("Alarms (" + std::to_string(view.alarms.size()) + " logged and answered)");
    const size_t first = view.alarms.size() > 3 ? view.alarms.size() - 3 : 0;
    for (size_t i = first; i < view.alarms.size(); ++i) {
        lines.push_back("  " + fixed(view.alarms[i].at, " s") + "  alarm " +
                        std::to_string(view.alarms[i].number) + ", alarm byte " +
                        std::to_string(view.alarms[i].alarmByte));
    }
}

void curveLines(const MonitorView& view, std::vector<std::string>& lines)
{
    lines.push_back("Curves (" + std::to_string(view.curves.size()) + " saved, " +
                    std::to_string(view.filesWritten) + " files written)");
    const size_t first = view.curves.size() > 2 ? view.curves.size() - 2 : 0;
    for (size_t i = first; i < view.curves.size(); ++i) {
        const SavedCurve& curve = view.curves[i];
        lines.push_back("  curve " + std::to_string(curve.curve) + " #" +
                        std::to_string(curve.ordinal) + ": " + std::to_string(curve.records) +
                        " records -> " + curve.files.svgPath);
    }
}

} // namespace

LiveScreen::LiveScreen(int fd) : _fd(fd) {}

LiveScreen::~LiveScreen()
{
    finish();
}

std::vector<std::string> LiveScreen::render(const ScreenFrame& frame)
{
    const MonitorView& view = *frame.view;
    const HostPlan& plan = *frame.plan;
    std::vector<std::string> lines;
    lines.push_back("plchost  " + plan.sourceIP + ":" + std::to_string(plan.sourcePort) +
                    " <-> PLC " + plan.hostIP + ":" + std::to_string(plan.hostPort) + "   " +
                    fixed(view.now, " s") +
                    (frame.duration > 0 ? " of " + fixed(frame.duration, " s") : std::string()) +
                    "   (Ctrl-C stops)");
    lines.push_back("Link: state " + std::to_string(view.lineStatus) + " = " +
                    HostMonitor::linkMeaning(view.lineStatus) +
                    (view.onlineAt >= 0 ? "   (first online after " + fixed(view.onlineAt, " s)")
                                        : std::string()));
    lines.push_back(moldSetLine(view, plan));
    std::vector<std::string> tail;
    groupLines(view, tail);
    alarmLines(view, tail);
    curveLines(view, tail);
    tail.push_back("Events (latest)");
    for (const std::string& line : frame.events)
        tail.push_back("  " + line);
    tail.push_back("Library lines (latest)");
    for (const std::string& line : frame.libraryLines)
        tail.push_back("  " + line);
    const int fixedRows = static_cast<int>(lines.size() + tail.size()) + 2;
    const size_t room = static_cast<size_t>(std::max(3, frame.rows - fixedRows));
    valueTable(view, lines, room);
    lines.insert(lines.end(), tail.begin(), tail.end());
    const size_t columns = static_cast<size_t>(std::max(20, frame.columns));
    for (std::string& line : lines) {
        if (line.size() > columns)
            line.resize(columns);
    }
    if (lines.size() > static_cast<size_t>(std::max(1, frame.rows)))
        lines.resize(static_cast<size_t>(std::max(1, frame.rows)));
    return lines;
}

void LiveScreen::draw(const MonitorView& view, const HostPlan& plan, double duration,
                      const std::vector<std::string>& events,
                      const std::vector<std::string>& libraryLines)
{
    ScreenFrame frame;
    frame.view = &view;
    frame.plan = &plan;
    frame.duration = duration;
    frame.events = events;
    frame.libraryLines = libraryLines;
    terminalSize(&frame.rows, &frame.columns);
    std::string text = _started ? "\x1b[H" : "\x1b[?25l\x1b[H\x1b[2J";
    _started = true;
    for (const std::string& line : render(frame))
        text += line + "\x1b[K\n";
    text += "\x1b[J";
    write(text);
}

void LiveScreen::finish()
{
    if (_started)
        write("\x1b[?25h");
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
    winsize size{};
    if (ioctl(_fd, TIOCGWINSZ, &size) == 0 && size.ws_row > 0 && size.ws_col > 0) {
        *rows = size.ws_row - 1;
        *columns = size.ws_col;
    }
}

} // namespace plchost
