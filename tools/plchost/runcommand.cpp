// SPDX-License-Identifier: MIT
#include "runcommand.h"

#include "commonfilecheck.h"
#include "hostmonitor.h"
#include "hostsession.h"
#include "itemdictionary.h"
#include "libraryoutput.h"
#include "livescreen.h"
#include "vexdiagnostic.h"

#include <unistd.h>

#include <chrono>
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

// plchost's own lines share standard output with the library's; one locked write per line
// keeps them whole.
void say(const std::string& line)
{
    Orrery::CvexDiagnostic::write("plchost: " + line);
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
constexpr size_t kLibraryLinesShown = 4;

} // namespace

RunCommand::RunCommand(Options options) : _options(std::move(options)) {}

int RunCommand::execute()
{
    CommonFileCheck check(_options.commonFile);
    ItemDictionary items;
    const bool itemsLoaded = items.load(_options.itemsFile);
    for (const std::string& error : items.errors())
        std::cerr << "plchost: " << error << "\n";
    const bool usable = check.run() && itemsLoaded && check.checkItems(items);
    if (!usable) {
        std::cerr << "plchost: cannot run with " << _options.commonFile << ":\n";
        check.printProblems(std::cerr, true);
        return 2;
    }
    if (!prepareFolder(_options.outputFolder))
        return 2;
    const HostPlan plan = HostPlan::fromConfig(*check.config());
    const bool plain = _options.plain || !isatty(STDOUT_FILENO);

    LibraryOutput libraryOutput;
    const std::string logPath = _options.outputFolder + "/library.log";
    std::string error;
    if (!plain && !libraryOutput.divert(logPath, &error)) {
        std::cerr << "plchost: " << error << "\n";
        return 2;
    }
    StopSignals signals;
    HostSession session;
    if (!session.start(_options.commonFile, plan, &items)) {
        libraryOutput.restore();
        std::cerr << "plchost: " << session.error() << "\n";
        return 2;
    }
    if (plain)
        say("running " + _options.commonFile + " with " + _options.itemsFile + " " +
            (_options.duration > 0 ? "for " + secondsText(_options.duration) : "until Ctrl-C"));
    HostMonitor monitor(plan, items, _options.outputFolder);
    LiveScreen screen(libraryOutput.terminalFd());
    std::deque<std::string> libraryLines;
    const auto started = std::chrono::steady_clock::now();
    auto elapsed = [&] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    };
    for (int tick = 0;; ++tick) {
        const double now = elapsed();
        const bool last = g_stopRequested || (_options.duration > 0 && now >= _options.duration);
        const auto events = monitor.poll(session.lineStatus(), now);
        if (plain) {
            for (const std::string& event : events)
                say(event);
        } else if (last || tick % kPollsPerFrame == 0) {
            for (std::string& line : libraryOutput.newLines()) {
                libraryLines.push_back(std::move(line));
                if (libraryLines.size() > kLibraryLinesShown)
                    libraryLines.pop_front();
            }
            screen.draw(monitor.view(), plan, _options.duration,
                        {libraryLines.begin(), libraryLines.end()});
        }
        if (last)
            break;
        std::this_thread::sleep_until(started + kPollPeriod * (tick + 1));
    }
    session.stop();
    screen.finish();
    libraryOutput.restore();
    if (g_stopRequested)
        say("stopped by signal");
    for (const std::string& line : monitor.summary())
        say(line);
    if (!plain)
        say("library lines: " + logPath);
    return 0;
}

} // namespace plchost
