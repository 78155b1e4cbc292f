// SPDX-License-Identifier: MIT
// plcsim: the PLC of a moulding machine, simulated on UDP, for running and testing the host.
#include "simrunner.h"

#ifdef _WIN32
#include <conio.h>
#include <io.h>
#else
#include <poll.h>
#include <termios.h>
#include <unistd.h>
#endif

#include <csignal>
#include <iostream>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace {

volatile std::sig_atomic_t stopRequested = 0;
volatile std::sig_atomic_t alarmRequested = 0;
volatile std::sig_atomic_t moldChangeRequested = 0;

extern "C" void onSignal(int signal)
{
#ifdef _WIN32
    (void)signal;
    stopRequested = 1;
}

// Windows has no SIGUSR1 and SIGUSR2: alarms and mold changes come from the keys there.
void installSignals()
{
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
}

// Single keys without Enter while stdin is a console.
class KeyReader {
public:
    std::optional<char> next(std::chrono::milliseconds timeout)
    {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        do {
            if (_console && _kbhit())
                return static_cast<char>(_getch());
            std::this_thread::sleep_for(std::min(timeout, std::chrono::milliseconds(5)));
        } while (std::chrono::steady_clock::now() < deadline);
        return std::nullopt;
    }

private:
    bool _console = _isatty(_fileno(stdin)) != 0;
};
#else
    if (signal == SIGUSR1)
        alarmRequested = 1;
    else if (signal == SIGUSR2)
        moldChangeRequested = 1;
    else
        stopRequested = signal;
}

void installSignals()
{
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGUSR1, SIGUSR2})
        sigaction(signal, &action, nullptr);
}

// Single keys without Enter while stdin is a terminal; the terminal is restored on exit.
class KeyReader {
public:
    KeyReader()
    {
        if (!isatty(STDIN_FILENO) || tcgetattr(STDIN_FILENO, &_saved) != 0)
            return;
        termios raw = _saved;
        raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
        raw.c_cc[VMIN] = 0;
        raw.c_cc[VTIME] = 0;
        _active = tcsetattr(STDIN_FILENO, TCSANOW, &raw) == 0;
    }
    ~KeyReader()
    {
        if (_active)
            tcsetattr(STDIN_FILENO, TCSANOW, &_saved);
    }
    KeyReader(const KeyReader&) = delete;
    KeyReader& operator=(const KeyReader&) = delete;

    // Waits up to `timeout` for a key; the wait is also the pace of the main loop.
    std::optional<char> next(std::chrono::milliseconds timeout)
    {
        if (!_active) {
            std::this_thread::sleep_for(timeout);
            return std::nullopt;
        }
        pollfd fd{STDIN_FILENO, POLLIN, 0};
        char key = 0;
        if (::poll(&fd, 1, static_cast<int>(timeout.count())) > 0 &&
            ::read(STDIN_FILENO, &key, 1) == 1)
            return key;
        return std::nullopt;
    }

private:
    termios _saved{};
    bool _active = false;
};
#endif

int run(const vexsim::SimOptions& options)
{
    vexsim::ItemTable items;
    try {
        if (!options.itemsPath.empty())
            items = vexsim::ItemTable::load(options.itemsPath);
    } catch (const std::runtime_error& error) {
        std::istringstream lines(error.what());
        for (std::string line; std::getline(lines, line);)
            std::cerr << "plcsim: " << line << "\n";
        return 2;
    }
    vexsim::SimRunner runner(options, items);
    const int triggers = options.simulator.expectedTriggers;
    std::cerr << "plcsim: PLC on " << options.bindIp << ":" << runner.port() << ", host "
              << options.hostIp << ":" << options.hostPort << ", " << items.items().size()
              << " items, protocol version " << options.simulator.version << ", "
              << (triggers > 0 ? "expects " + std::to_string(triggers) + " trigger definitions"
                               : std::string("trigger table complete once definitions stop"))
              << "\n";
    installSignals();
    KeyReader keys;
    using Clock = vexsim::SimRunner::Clock;
    const auto start = Clock::now();
    // Compared in double seconds: a duration as large as 1e10 s overflows the clock's ticks.
    const auto elapsedSeconds = [&start] {
        return std::chrono::duration<double>(Clock::now() - start).count();
    };
    while (!stopRequested &&
           (options.durationSeconds <= 0 || elapsedSeconds() < options.durationSeconds)) {
        runner.step();
        if (alarmRequested) {
            alarmRequested = 0;
            runner.raiseAlarm();
        }
        if (moldChangeRequested) {
            moldChangeRequested = 0;
            runner.changeMold();
        }
        const auto wait =
            std::chrono::duration_cast<std::chrono::milliseconds>(runner.nextStep() - Clock::now());
        const auto key = keys.next(std::max(wait, std::chrono::milliseconds(1)));
        if (key == 'a')
            runner.raiseAlarm();
        else if (key == 'm')
            runner.changeMold();
        else if (key == 'q')
            break;
    }
    std::cout << runner.summary() << std::endl;
    return stopRequested != 0 ? 128 + stopRequested : 0;
}

} // namespace

int main(int argc, char** argv)
{
    vexsim::SimOptions options;
    try {
        options = vexsim::parseOptions(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::invalid_argument& error) {
        std::cerr << "plcsim: " << error.what() << " (see plcsim --help)\n";
        return 2;
    }
    if (options.version) {
        std::cout << "plcsim " << VEXPLC_VERSION << "\n";
        return 0;
    }
    if (options.help) {
        std::cout << vexsim::usage();
        return 0;
    }
    try {
        return run(options);
    } catch (const std::exception& error) {
        std::cerr << "plcsim: " << error.what() << "\n";
        return 1;
    }
}
