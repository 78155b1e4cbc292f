// SPDX-License-Identifier: MIT
// One communication source run on behalf of a plchost command: the data storage filled from the
// item dictionary, the source configured and started, and stopped (destroyed) at the end.
// Owns the source. Use from the thread that created it; the source's own threads run inside.
#ifndef PLCHOST_HOSTSESSION_H
#define PLCHOST_HOSTSESSION_H

#include <memory>
#include <string>

namespace Orrery {
class CvexPlcCommon;
class CvexAbstractCommSource;
} // namespace Orrery

namespace plchost {

class ItemDictionary;
struct HostPlan;

class HostSession {
public:
    HostSession();
    ~HostSession();
    HostSession(const HostSession&) = delete;
    HostSession& operator=(const HostSession&) = delete;

    // Checks that the "Src" endpoint can be bound, fills the storage and starts the source.
    // False with error() set when the endpoint is taken.
    bool start(const std::string& commonFile, const HostPlan& plan, const ItemDictionary* items);
    const std::string& error() const { return _error; }

    bool running() const { return _source != nullptr; }
    int lineStatus() const;
    Orrery::CvexAbstractCommSource& source();
    // Destroys the source; its threads end before this returns.
    void stop();

private:
    std::unique_ptr<Orrery::CvexPlcCommon> _source;
    std::string _error;
};

} // namespace plchost

#endif // PLCHOST_HOSTSESSION_H
