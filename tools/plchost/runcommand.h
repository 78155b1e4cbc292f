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
    void drawScreen(HostMonitor& monitor, LiveScreen& screen, LibraryOutput& libraryOutput);

    Options _options;
    ItemDictionary _items;
    HostPlan _plan;
    bool _plain = false;
    std::deque<std::string> _recentEvents;
    std::deque<std::string> _libraryLines;
};

} // namespace plchost

#endif // PLCHOST_RUNCOMMAND_H
