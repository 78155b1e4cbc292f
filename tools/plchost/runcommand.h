// SPDX-License-Identifier: MIT
// `plchost run`: starts a source with the item dictionary in the storage, watches it until the
// duration ends, a signal or a closed output, shows a live screen (or plain event lines with a
// wall-clock time stamp) and ends with a summary. Everything also goes to the run log, which each
// run appends to. Use from the main thread; it handles SIGINT, SIGTERM and SIGHUP while it runs.
#ifndef PLCHOST_RUNCOMMAND_H
#define PLCHOST_RUNCOMMAND_H

#include "commandline.h"
#include "commandprompt.h"
#include "hostplan.h"
#include "itemdictionary.h"

#include <deque>
#include <fstream>
#include <set>
#include <string>

namespace plchost {

class ConsoleCommands;
class HostMonitor;
class HostSession;
class LibraryLines;
class LiveScreen;

class RunCommand {
public:
    explicit RunCommand(Options options);
    // The process exit code: 0 after a run in which the link came up, 1 when it never did (the
    // reason goes to standard error), 2 when the inputs are unusable, 128 + the signal number
    // when a signal or a closed output ended the run.
    int execute();

private:
    // Loads and judges the common file and the items; false (reported) when unusable.
    bool prepare();
    bool openLog();
    void watch(HostSession& session, HostMonitor& monitor, LibraryLines& libraryLines);
    void show(const std::vector<std::string>& events, double now);
    // Takes the library's new lines: logged, and shown with -v.
    void passLibraryLines(LibraryLines& libraryLines);
    // Takes the source's events and counters and polls what it stored.
    void takeEvents(HostSession& session, HostMonitor& monitor, double now);
    // Takes what was typed on the live screen; a finished prompt line becomes a command.
    void takeKeys(LiveScreen& screen, double now);
    void drawScreen(HostMonitor& monitor, LiveScreen& screen);
    // One line of plchost's own, time-stamped, to standard output and the log.
    void say(const std::string& line);
    // A line to the log and, when `toOutput`, to standard output (as it is in JSON mode).
    void write(const std::string& stamp, const std::string& line, bool toOutput, bool toLog = true);
    // The values --ids names; false (reported) for a word the dictionary does not know.
    bool resolveIDs();
    // Why a run that ended without the link online failed, from what happened during it.
    std::string closingMessage(const HostMonitor& monitor) const;

    Options _options;
    ItemDictionary _items;
    HostPlan _plan;
    bool _plain = false;
    bool _outputClosed = false;
    std::ofstream _log;
    std::set<unsigned int> _shownIDs; // empty: every value
    size_t _curvesWritten = 0;
    ConsoleCommands* _commands = nullptr; // while the run watches
    CommandPrompt _prompt;
    std::deque<std::string> _recentEvents;
    std::deque<std::string> _libraryLines;
};

} // namespace plchost

#endif // PLCHOST_RUNCOMMAND_H
