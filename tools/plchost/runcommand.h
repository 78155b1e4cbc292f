// SPDX-License-Identifier: MIT
// `plchost run`: starts a source with the item dictionary in the storage, watches it until the
// duration ends or Ctrl-C, shows a live screen (or plain event lines) and ends with a summary.
// Use from the main thread; it installs handlers for SIGINT and SIGTERM while it runs.
#ifndef PLCHOST_RUNCOMMAND_H
#define PLCHOST_RUNCOMMAND_H

#include "commandline.h"

namespace plchost {

class RunCommand {
public:
    explicit RunCommand(Options options);
    // The process exit code: 0 after a run, 2 when the inputs are unusable.
    int execute();

private:
    Options _options;
};

} // namespace plchost

#endif // PLCHOST_RUNCOMMAND_H
