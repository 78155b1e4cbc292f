// SPDX-License-Identifier: MIT
#include "runcommand.h"

#include "commonfilecheck.h"
#include "hostmonitor.h"
#include "hostsession.h"
#include "itemdictionary.h"
#include "libraryoutput.h"
#include "livescreen.h"

#include <unistd.h>

#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <iostream>
#include <thread>

namespace plchost {

namespace {

volatile std::sig_atomic_t g_stopRequested = 0;

void requestStop(int)
{
    g_stopRequested = 1;
}

#ifdef _WIN32
// Windows knows only the plain signal() for Ctrl-C and termination.
class StopSignals {
public:
    StopSignals()
    {
        g_stopRequested = 0;
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
class StopSignals {
public:
    StopSignals()
    {
        g_stopRequested = 0;
        struct sigaction action {};
        action.sa_handler = requestStop;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &_previousInt);
        sigaction(SIGTERM, &action, &_previousTerm);
    }
    ~StopSignals()
    {
        sigaction(SIGINT, &_previousInt, nullptr);
        sigaction(SIGTERM, &_previousTerm, nullptr);
    }
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

private:
    struct sigaction _previousInt {};
    struct sigaction _previousTerm {};
};
#endif

void writeAll(int fd, const std::string& text)
{
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n <= 0)
            return;
        done += static_cast<size_t>(n);
    }
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
    std::snprintf(text, sizeof text, "%g s", seconds);
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
    return prepareFolder(_options.outputFolder);
}

int RunCommand::execute()
{
    if (!prepare())
        return 2;
    _plain = _options.plain || !isatty(STDOUT_FILENO);
    // The library's lines go to a file in both modes: the screen shows the latest, plain mode
    // passes them on, and both read what they tell about trigger acknowledgements.
    LibraryOutput libraryOutput;
    const std::string logPath = _options.outputFolder + "/library.log";
    std::string error;
    if (!libraryOutput.divert(logPath, &error)) {
        std::cerr << "plchost: " << error << "\n";
        return 2;
    }
    _outFd = libraryOutput.terminalFd();
    StopSignals signals;
    HostSession session;
    if (!session.start(_options.commonFile, _plan, &_items)) {
        libraryOutput.restore();
        std::cerr << "plchost: " << session.error() << "\n";
        return 2;
    }
    HostMonitor monitor(_plan, _items, _options.outputFolder);
    const bool screen = !_plain;
    watch(session, monitor, libraryOutput);
    for (const std::string& line : monitor.summary())
        say(line);
    if (screen)
        say("library lines: " + logPath);
    const MonitorView& view = monitor.view();
    if (view.onlineAt < 0) {
        std::cerr << "plchost: the link never came up in "
                  << secondsText(std::round(view.now * 10) / 10) << " (state " << view.lineStatus
                  << ": " << HostMonitor::linkMeaning(view.lineStatus)
                  << "): " << HostMonitor::whyOffline(view.lineStatus, _plan, _options.commonFile)
                  << "\n";
        return 1;
    }
    return 0;
}

void RunCommand::watch(HostSession& session, HostMonitor& monitor, LibraryOutput& libraryOutput)
{
    if (_plain)
        say("running " + _options.commonFile + " with " + _options.itemsFile + " " +
            (_options.duration > 0 ? "for " + secondsText(_options.duration) : "until Ctrl-C"));
    LiveScreen screen(libraryOutput.terminalFd());
    const auto started = std::chrono::steady_clock::now();
    auto elapsed = [&] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    };
    for (int tick = 0;; ++tick) {
        const double now = elapsed();
        const bool last = g_stopRequested || (_options.duration > 0 && now >= _options.duration);
        passLibraryLines(monitor, libraryOutput, now);
        show(monitor.poll(session.lineStatus(), now), now);
        if (!_plain && (last || tick % kPollsPerFrame == 0))
            drawScreen(monitor, screen);
        if (last)
            break;
        std::this_thread::sleep_until(started + kPollPeriod * (tick + 1));
    }
    // What the source stored after the last poll (up to its stop) still belongs in the summary.
    session.stop();
    const bool plain = _plain;
    _plain = true; // from here on every line goes out as it comes
    screen.finish();
    if (plain)
        passLibraryLines(monitor, libraryOutput, elapsed());
    else
        libraryOutput.newLines(); // already in the log; the screen is gone
    const auto lastEvents = monitor.poll(monitor.view().lineStatus, elapsed());
    libraryOutput.restore();
    _outFd = STDOUT_FILENO;
    show(lastEvents, elapsed());
    if (g_stopRequested)
        say("stopped by signal");
}

void RunCommand::passLibraryLines(HostMonitor& monitor, LibraryOutput& libraryOutput, double now)
{
    const std::vector<std::string> lines = libraryOutput.newLines();
    for (const std::string& line : lines) {
        if (_plain) {
            writeAll(_outFd, line + "\n");
            continue;
        }
        _libraryLines.push_back(line);
        if (_libraryLines.size() > kRecentLinesShown)
            _libraryLines.pop_front();
    }
    show(monitor.noteLibraryLines(lines), now);
}

void RunCommand::say(const std::string& line) const
{
    writeAll(_outFd, "plchost: " + line + "\n");
}

void RunCommand::show(const std::vector<std::string>& events, double now)
{
    for (const std::string& event : events) {
        if (_plain) {
            say(event);
            continue;
        }
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
                {_libraryLines.begin(), _libraryLines.end()});
}

} // namespace plchost
