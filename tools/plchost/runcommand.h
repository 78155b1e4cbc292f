// SPDX-License-Identifier: MIT
// `plchost run`: starts a source with the item dictionary in the storage, watches it until the
// duration ends or Ctrl-C, shows a live screen (or plain event lines) and ends with a summary.
// Use from the main thread; it installs handlers for SIGINT and SIGTERM while it runs.
#ifndef PLCHOST_RUNCOMMAND_H
#define PLCHOST_RUNCOMMAND_H

#include "commandline.h"
#include "hostplan.h"
#include "itemdictionary.h"

#include <deque>
#include <string>

namespace plchost {

class HostMonitor;
class HostSession;
class LibraryOutput;
class LiveScreen;

class RunCommand {
public:
    explicit RunCommand(Options options);
    // The process exit code: 0 after a run in which the link came up, 1 when it never did (the
    // reason goes to standard error), 2 when the inputs are unusable.
    int execute();

private:
    // Loads and judges the common file and the items; false (reported) when unusable.
    bool prepare();
    void watch(HostSession& session, HostMonitor& monitor, LibraryOutput& libraryOutput);
    void show(const std::vector<std::string>& events, double now);
    // Takes the library's new lines: passed on in plain mode, kept for the screen otherwise, and
    // read by the monitor for trigger acknowledgements.
    void passLibraryLines(HostMonitor& monitor, LibraryOutput& libraryOutput, double now);
    void drawScreen(HostMonitor& monitor, LiveScreen& screen);
    // One line of plchost's own, whole, to where standard output was when the run began.
    void say(const std::string& line) const;

    Options _options;
    ItemDictionary _items;
    HostPlan _plan;
    bool _plain = false;
    int _outFd = 1;
    std::deque<std::string> _recentEvents;
    std::deque<std::string> _libraryLines;
};

} // namespace plchost

#endif // PLCHOST_RUNCOMMAND_H
