// SPDX-License-Identifier: MIT
// One communication source run on behalf of a plchost command: the data storage filled from the
// item dictionary, the source configured and started, and stopped (destroyed) at the end.
// Owns the source. Use from the thread that created it; the source's own threads run inside.
#ifndef PLCHOST_HOSTSESSION_H
#define PLCHOST_HOSTSESSION_H

#include "vexplcevent.h"
#include "vexplcstatistics.h"

#include <memory>
#include <string>
#include <vector>

namespace Orrery {
class CvexPlcCommon;
class CvexAbstractCommSource;
} // namespace Orrery

namespace plchost {

class ItemDictionary;

class HostSession {
public:
    HostSession();
    ~HostSession();
    HostSession(const HostSession&) = delete;
    HostSession& operator=(const HostSession&) = delete;

    // Fills the storage and starts the source. False with error() set when the source cannot
    // bind its "Src" endpoint.
    bool start(const std::string& commonFile, const ItemDictionary* items);
    const std::string& error() const { return _error; }

    bool running() const { return _source != nullptr; }
    int lineStatus() const;
    // The source's events since the last call, oldest first.
    std::vector<Orrery::CvexPlcEvent> takeEvents();
    Orrery::CvexPlcStatistics statistics() const;
    Orrery::CvexAbstractCommSource& source();
    // Destroys the source; its threads end before this returns.
    void stop();

private:
    std::unique_ptr<Orrery::CvexPlcCommon> _source;
    std::string _error;
    std::vector<Orrery::CvexPlcEvent> _startEvents; // taken while checking the bind
};

} // namespace plchost

#endif // PLCHOST_HOSTSESSION_H
