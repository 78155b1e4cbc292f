// SPDX-License-Identifier: MIT
// `plchost upload`, `download` and `action`: start a source, send one command, and report what
// the PLC answered. Read replies land in the data storage, so upload (and the read-back after a
// download) waits for the values to appear; action states are known only from the library's own
// "state: " lines, which are watched on their way to standard output. Use from the main thread.
#ifndef PLCHOST_ONESHOTCOMMAND_H
#define PLCHOST_ONESHOTCOMMAND_H

#include "commandline.h"
#include "itemdictionary.h"
#include "vexbytearray.h"

#include <map>
#include <vector>

namespace plchost {

class HostSession;
struct HostPlan;

class OneShotCommand {
public:
    explicit OneShotCommand(Options options);
    // 0 when the PLC answered everything as asked; 1 when the link did not come up, an answer
    // did not come in time, a value read back differs or an action failed; 2 for bad input.
    int execute();

private:
    bool resolveIDs(std::vector<unsigned int>* ids) const;
    bool resolveAssignments(std::map<unsigned int, Orrery::CvexVariant>* values) const;
    bool resolveCodes(std::vector<unsigned int>* codes) const;
    bool waitOnline(HostSession& session, const HostPlan& plan) const;
    // Asks the PLC for `ids` and waits for the replies; prints each value.
    int readBack(HostSession& session, const std::vector<unsigned int>& ids,
                 const std::map<unsigned int, Orrery::CvexVariant>* expected) const;
    int upload(HostSession& session);
    int download(HostSession& session);
    int action(HostSession& session);

    Options _options;
    ItemDictionary _items;
    std::vector<unsigned int> _ids;                      // upload
    std::map<unsigned int, Orrery::CvexVariant> _values; // download
    std::vector<unsigned int> _codes;                    // action
};

} // namespace plchost

#endif // PLCHOST_ONESHOTCOMMAND_H
