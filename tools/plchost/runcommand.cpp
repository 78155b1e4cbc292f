// SPDX-License-Identifier: MIT
#include "runcommand.h"

#include "commonfilecheck.h"
#include "consolecommands.h"
#include "hostmonitor.h"
#include "hostsession.h"
#include "itemdictionary.h"
#include "jsonlines.h"
#include "librarylines.h"
#include "livescreen.h"

#include "toolconsole.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <thread>

namespace plchost {

namespace {

// What a shell reports for a program ended by SIGPIPE, on every system.
constexpr int kClosedOutputExit = 141;

volatile std::sig_atomic_t g_stopSignal = 0;

void requestStop(int signal)
{
    g_stopSignal = signal;
}

#ifdef _WIN32
// Windows knows only the plain signal() for Ctrl-C and termination.
class StopSignals {
public:
    StopSignals()
    {
        g_stopSignal = 0;
        _previousInt = std::signal(SIGINT, requestStop);
        _previousTerm = std::signal(SIGTERM, requestStop);
    }
    ~StopSignals()
    {
        std::signal(SIGINT, _previousInt);
        std::signal(SIGTERM, _previousTerm);
    }
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

private:
    void (*_previousInt)(int) = nullptr;
    void (*_previousTerm)(int) = nullptr;
};
#else
// SIGINT, SIGTERM and SIGHUP end the run with its summary; a closed output (SIGPIPE) is seen as
// a failed write instead, so that the summary still reaches the log.
class StopSignals {
public:
    StopSignals()
    {
        g_stopSignal = 0;
        struct sigaction action {};
        action.sa_handler = requestStop;
        sigemptyset(&action.sa_mask);
        for (std::size_t i = 0; i < kStopSignals.size(); ++i)
            sigaction(kStopSignals[i], &action, &_previous[i]);
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        sigaction(SIGPIPE, &ignore, &_previousPipe);
    }
    ~StopSignals()
    {
        for (std::size_t i = 0; i < kStopSignals.size(); ++i)
            sigaction(kStopSignals[i], &_previous[i], nullptr);
        sigaction(SIGPIPE, &_previousPipe, nullptr);
    }
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

private:
    static constexpr std::array<int, 3> kStopSignals{SIGINT, SIGTERM, SIGHUP};
    std::array<struct sigaction, 3> _previous{};
    struct sigaction _previousPipe {};
};
#endif

// False when the reader has gone away.
bool writeAll(int fd, const std::string& text)
{
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

bool outputGone()
{
    return vextool::outputGone(STDOUT_FILENO);
}

bool prepareFolder(const std::string& folder)
{
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        std::cerr << "plchost: cannot create the output folder " << folder << ": "
                  << error.message() << "\n";
        return false;
    }
    return true;
}

std::string secondsText(double seconds)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g s", std::round(seconds * 10) / 10);
    return text;
}

constexpr auto kPollPeriod = std::chrono::milliseconds(100);
constexpr int kPollsPerFrame = 2;
constexpr size_t kRecentLinesShown = 4;

} // namespace

RunCommand::RunCommand(Options options) : _options(std::move(options)) {}

bool RunCommand::prepare()
{
    if (!_items.load(_options.itemsFile)) {
        for (const std::string& error : _items.errors())
            std::cerr << "plchost: " << error << "\n";
        return false;
    }
    CommonFileCheck check(_options.commonFile);
    if (!check.run() || !check.checkItems(_items)) {
        std::cerr << "plchost: cannot run with " << _options.commonFile << ":\n";
        check.printProblems(std::cerr, true);
        return false;
    }
    _plan = HostPlan::fromConfig(*check.config());
    return resolveIDs() && prepareFolder(_options.outputFolder) && openLog();
}

bool RunCommand::resolveIDs()
{
    std::string rest = _options.ids;
    while (!rest.empty()) {
        const size_t comma = rest.find(',');
        const std::string word = rest.substr(0, comma);
        rest = comma == std::string::npos ? std::string() : rest.substr(comma + 1);
        const Item* item = _items.findByName(word);
        char* end = nullptr;
        const unsigned long id = std::strtoul(word.c_str(), &end, 10);
        if (!item && !word.empty() && *end == '\0')
            item = _items.find(static_cast<unsigned int>(id));
        if (!item) {
            std::cerr << "plchost: --ids: \"" << word << "\" is neither a data ID nor a name in "
                      << _options.itemsFile << "\n";
            return false;
        }
        _shownIDs.insert(item->id);
    }
    return true;
}

bool RunCommand::openLog()
{
    const std::string path = _options.outputFolder + "/plchost.log";
    _log.open(path, std::ios::app);
    if (!_log) {
        std::cerr << "plchost: cannot write the run log " << path << ": " << std::strerror(errno)
                  << "\n";
        return false;
    }
    return true;
}

int RunCommand::execute()
{
    // Caught from the start: the parser speaks while the file is checked.
    LibraryLines libraryLines;
    if (!prepare())
        return 2;
    _plain = _options.plain || _options.json || !isatty(STDOUT_FILENO);
    write(wallClockStamp(), "run of " + _options.commonFile + " with " + _options.itemsFile, false);
    StopSignals signals;
    HostSession session;
    if (!session.start(_options.commonFile, &_items)) {
        std::cerr << "plchost: " << session.error() << "\n";
        return 2;
    }
    HostMonitor monitor(_plan, _items, _options.outputFolder);
    watch(session, monitor, libraryLines);
    for (const std::string& line : monitor.summary())
        say(line);
    if (!_plain)
        say("log: " + _options.outputFolder + "/plchost.log");
    if (monitor.view().onlineAt < 0) {
        const std::string message = closingMessage(monitor);
        write(wallClockStamp(), message, false);
        std::cerr << "plchost: " << message << "\n";
    }
    if (g_stopSignal != 0)
        return 128 + g_stopSignal;
    if (_outputClosed)
        return kClosedOutputExit;
    return monitor.view().onlineAt < 0 ? 1 : 0;
}

std::string RunCommand::closingMessage(const HostMonitor& monitor) const
{
    const MonitorView& view = monitor.view();
    int highest = 0;
    for (const LinkChange& change : view.link)
        highest = std::max(highest, change.state);
    const std::string head = "the link never came up in " + secondsText(view.now) + " (state " +
                             std::to_string(view.lineStatus) + ": " +
                             HostMonitor::linkMeaning(view.lineStatus) + "): ";
    // A PLC that answered at some point is not "silent", whatever the last state says.
    if (highest > 0)
        return head + HostMonitor::whyOffline(highest, _plan, _options.commonFile);
    const std::uint64_t received = view.statistics.datagramsReceived;
    if (received == 0)
        return head + HostMonitor::whyOffline(0, _plan, _options.commonFile);
    return head + std::to_string(received) + " datagram" + (received == 1 ? "" : "s") +
           " came, but no line status answer from the PLC at " + _plan.hostIP + ":" +
           std::to_string(_plan.hostPort) + " (\"Host\" in " + _options.commonFile + ")";
}

void RunCommand::watch(HostSession& session, HostMonitor& monitor, LibraryLines& libraryLines)
{
    if (_plain)
        say("running " + _options.commonFile + " with " + _options.itemsFile + " " +
            (_options.duration > 0 ? "for " + secondsText(_options.duration) : "until Ctrl-C"));
    // One-shot commands come as lines on standard input in plain mode, and through the live
    // screen's prompt otherwise, which then reads the keyboard.
    LiveScreen screen(STDOUT_FILENO, _plain ? -1 : STDIN_FILENO);
    ConsoleCommands commands(_items, _plain ? STDIN_FILENO : -1);
    _commands = &commands;
    const auto started = std::chrono::steady_clock::now();
    auto elapsed = [&] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    };
    for (int tick = 0;; ++tick) {
        const double now = elapsed();
        _outputClosed = _outputClosed || outputGone();
        const bool last = g_stopSignal != 0 || _outputClosed ||
                          (_options.duration > 0 && now >= _options.duration);
        passLibraryLines(libraryLines);
        takeKeys(screen, now);
        takeEvents(session, monitor, now);
        if (!_plain && (last || tick % kPollsPerFrame == 0))
            drawScreen(monitor, screen);
        if (last)
            break;
        std::this_thread::sleep_until(started + kPollPeriod * (tick + 1));
    }
    // What the source stored after the last poll (up to its stop) still belongs in the summary.
    takeEvents(session, monitor, elapsed());
    session.stop();
    _commands = nullptr;
    screen.finish();
    _plain = true; // from here on every line goes out as it comes
    passLibraryLines(libraryLines);
    show(monitor.poll(monitor.view().lineStatus, elapsed()), elapsed());
    if (g_stopSignal != 0)
        say("stopped by signal " + std::to_string(g_stopSignal));
}

void RunCommand::passLibraryLines(LibraryLines& libraryLines)
{
    for (const LibraryLine& line : libraryLines.take()) {
        write(line.stamp, "library: " + line.text, _plain && _options.verbose && !_options.json);
        if (!_plain && _options.verbose) {
            _libraryLines.push_back(line.text);
            if (_libraryLines.size() > kRecentLinesShown)
                _libraryLines.pop_front();
        }
    }
}

void RunCommand::takeEvents(HostSession& session, HostMonitor& monitor, double now)
{
    monitor.noteStatistics(session.statistics());
    const std::vector<Orrery::CvexPlcEvent> events = session.takeEvents();
    const std::string stamp = wallClockStamp();
    if (_options.json) {
        for (const Orrery::CvexPlcEvent& event : events)
            write(stamp, JsonLines::event(stamp, event), true, false);
    }
    show(monitor.noteEvents(events), now);
    show(monitor.poll(session.lineStatus(), now), now);
    if (_commands) {
        show(_commands->read(), now);
        show(_commands->step(session, events, monitor.view().arrivals, session.lineStatus()), now);
    }
    if (!_options.json)
        return;
    for (const ValueRow& row : monitor.view().arrivals) {
        if (_shownIDs.empty() || _shownIDs.count(row.id) != 0)
            write(stamp, JsonLines::value(stamp, row), true, false);
    }
    const std::vector<SavedCurve>& curves = monitor.view().curves;
    for (; _curvesWritten < curves.size(); ++_curvesWritten)
        write(stamp, JsonLines::curve(stamp, curves[_curvesWritten]), true, false);
}

void RunCommand::takeKeys(LiveScreen& screen, double now)
{
    for (const char key : screen.keys()) {
        const std::optional<std::string> line = _prompt.feed(key);
        if (!line || line->find_first_not_of(' ') == std::string::npos)
            continue;
        show({"command: " + *line}, now);
        show(_commands->take(*line), now);
    }
}

void RunCommand::say(const std::string& line)
{
    const std::string stamp = wallClockStamp();
    if (_options.json) {
        write(stamp, "plchost: " + line, false);
        write(stamp, JsonLines::message(stamp, line), true, false);
        return;
    }
    write(stamp, "plchost: " + line, true);
}

void RunCommand::write(const std::string& stamp, const std::string& line, bool toOutput, bool toLog)
{
    if (toLog) {
        _log << stamp << " " << line << "\n";
        _log.flush();
    }
    const std::string out = _options.json ? line + "\n" : stamp + " " + line + "\n";
    if (toOutput && !_outputClosed && !writeAll(STDOUT_FILENO, out))
        _outputClosed = true;
}

void RunCommand::show(const std::vector<std::string>& events, double now)
{
    for (const std::string& event : events) {
        if (_plain) {
            say(event);
            continue;
        }
        write(wallClockStamp(), "plchost: " + event, false);
        char stamp[24];
        std::snprintf(stamp, sizeof stamp, "%6.1f s  ", now);
        _recentEvents.push_back(stamp + event);
        if (_recentEvents.size() > kRecentLinesShown)
            _recentEvents.pop_front();
    }
}

void RunCommand::drawScreen(HostMonitor& monitor, LiveScreen& screen)
{
    screen.draw(monitor.view(), _plan, _options.duration,
                {_recentEvents.begin(), _recentEvents.end()},
                {_libraryLines.begin(), _libraryLines.end()}, _prompt.row());
}

} // namespace plchost
