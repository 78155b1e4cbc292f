// SPDX-License-Identifier: MIT
// The one-shot commands typed into a running `plchost run` on standard input, one a line
// ("upload 2001", "download Name=12.5", "action 3"), so that one process keeps the port while a
// plant engineer reads or writes a parameter. Commands wait until the link is online, then go
// out once; the answers come back as lines to show. Reads standard input without blocking.
// Use from one thread.
#ifndef PLCHOST_CONSOLECOMMANDS_H
#define PLCHOST_CONSOLECOMMANDS_H

#include "vexplcevent.h"

#include <deque>
#include <set>
#include <string>
#include <vector>

namespace plchost {

class HostSession;
struct ValueRow;
class ItemDictionary;

class ConsoleCommands {
public:
    // `fd` < 0: commands come only through take().
    ConsoleCommands(const ItemDictionary& items, int fd);

    // Takes what arrived on the input; returns lines about commands it could not read.
    std::vector<std::string> read();
    // Takes a line of input as if it had been typed.
    std::vector<std::string> take(const std::string& line);
    // Sends the waiting commands once the link is online and reports the answers in `events`,
    // in the storage and among the values the monitor took out of it (`arrivals`).
    std::vector<std::string> step(HostSession& session,
                                  const std::vector<Orrery::CvexPlcEvent>& events,
                                  const std::vector<ValueRow>& arrivals, int lineStatus);

private:
    unsigned int resolve(const std::string& word, std::string* error) const;
    void send(HostSession& session, const std::string& command, std::vector<std::string>* lines);

    const ItemDictionary& _items;
    int _fd;
    bool _open;
    std::string _partial;
    std::deque<std::string> _waiting;
    std::set<unsigned int> _uploads; // IDs whose value is awaited
    std::deque<unsigned int> _actions;
};

} // namespace plchost

#endif // PLCHOST_CONSOLECOMMANDS_H
